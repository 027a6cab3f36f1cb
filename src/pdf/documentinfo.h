// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the reader gives for one PDF file: the properties the list shows, as plain values.

#include "common/datetime.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// How the password handling went.
enum class PasswordOutcome {
    NotNeeded = 0, // not encrypted, or opened with the empty user password
    Owner = 1,     // the typed password is the owner password
    User = 2,      // the typed password is the user password
    Refused = -1,  // no password the reader was given opens the strings
};

// What the encryption dictionary says and what the password handling found; nothing of the
// key. Everything is zero or empty for a file that is not encrypted.
struct EncryptionFacts {
    bool encrypted = false;
    PasswordOutcome password = PasswordOutcome::NotNeeded;
    // The empty user password does not open the file (or the handler is not one the reader
    // knows).
    bool needsPassword = false;
    std::string handler;              // /Filter: "Standard" for the standard security handler
    std::string method;               // of the strings: "RC4", "AESV2", "AESV3", "Identity"; empty:
                                      // a method the reader does not know
    int32_t keyLengthBits = 0;        // of the file key the method uses (/Length for one unknown)
    int32_t version = 0;              // /V
    int32_t revision = 0;             // /R
    int32_t permissions = 0;          // /P
    bool permissionsConfirmed = true; // AES-256: /Perms confirms /P (false: /P was altered)
    std::string ownerEntry;           // /O, as bytes
    std::string userEntry;            // /U, as bytes
    std::string fileId;               // the first string of the trailer's /ID

    bool TextReadable() const { return password != PasswordOutcome::Refused; }
    // The permissions /P grants. Revision 2 has no bits of its own for the last four: they
    // follow the bit that covered them there (printing, copying, changing, annotating).
    bool CanPrint() const { return Bit(3); }
    bool CanPrintHighQuality() const { return Bit(3) && (revision < 3 || Bit(12)); }
    bool CanModify() const { return Bit(4); }
    bool CanCopy() const { return Bit(5); }
    bool CanAnnotate() const { return Bit(6); }
    bool CanFillForms() const { return revision < 3 ? Bit(6) : Bit(9); }
    bool CanExtractForAccessibility() const { return revision < 3 ? Bit(5) : Bit(10); }
    bool CanAssemble() const { return revision < 3 ? Bit(4) : Bit(11); }
    // Whether any of those is withheld (a file that is not encrypted withholds none).
    bool Restricted() const {
        return !(CanPrint() && CanPrintHighQuality() && CanModify() && CanCopy() && CanAnnotate() &&
                 CanFillForms() && CanExtractForAccessibility() && CanAssemble());
    }

private:
    bool Bit(int n) const { return !encrypted || (permissions & (1 << (n - 1))) != 0; }
};

// The first page as a viewer shows it: its /CropBox (else /MediaBox, else US Letter),
// inherited from the page tree, clipped to the /MediaBox, scaled by /UserUnit and turned by
// /Rotate.
struct PageFacts {
    bool found = false; // the document has a first page
    double widthMm = 0, heightMm = 0;
    int32_t rotate = 0; // 0, 90, 180 or 270
    // Whether the pages differ in size or orientation; nothing when the first
    // kMaxPagesCompared agree and more follow.
    std::optional<bool> mixedSizes = false;
};

// One signed signature field, as its dictionary and its CMS blob state it: read, not verified.
struct SignatureFacts {
    std::string signer; // the signing certificate's subject common name
    // The CMS signing time (signed with the document) in local time, else /M as written.
    TDateTime signingTime = 0;
    std::string subFilter;  // "adbe.pkcs7.detached", "ETSI.CAdES.detached", "ETSI.RFC3161", ...
    bool timestamp = false; // a document time-stamp, or a time-stamp token on the signature
    // The signed ranges do not run from the file's first byte to its last around exactly the
    // signature's /Contents: the file was changed (or appended to) after signing.
    bool changedAfterSigning = false;
};

enum class FormKind { None, AcroForm, Xfa };

// What the catalog, the page tree, the form and the XMP packet say of the document beyond
// its information: read when ReadOptions::features asks for it.
struct DocumentFeatures {
    bool read = false; // false: none of the below was looked for
    PageFacts firstPage;
    std::vector<SignatureFacts> signatures;
    std::string pdfA;        // XMP pdfaid:part and pdfaid:conformance: "2B", "1A", "4"
    std::string pdfUA;       // XMP pdfuaid:part: "1"
    bool tagged = false;     // /MarkInfo /Marked
    std::string direction;   // /ViewerPreferences /Direction: "L2R", "R2L" or empty
    std::string pageLayout;  // /PageLayout: "SinglePage", "TwoPageRight", ... or empty
    bool linearized = false; // laid out for a first page shown early, and still whole
    FormKind forms = FormKind::None;
    bool javaScript = false; // document, form, page or annotation actions that run scripts
    int32_t attachments = 0; // embedded files and file attachment annotations
    bool outlines = false;   // a bookmark tree with at least one entry
    int32_t updates = 0;     // incremental updates appended to the file
};

// Text is Unicode (UTF-8); a date is 0 when the file has none.
struct DocumentInfo {
    std::string pdfVersion; // the header's version ("1.7"); empty for a file without a header
    std::string title;
    std::string subject;
    std::string keywords;
    std::string author;
    std::string producer; // the program that wrote the PDF
    std::string creator;  // the program the document was made in
    TDateTime creationDate = 0;
    TDateTime modificationDate = 0;
    int32_t pageCount = 0;
    int64_t fileSize = 0;
    EncryptionFacts encryption;
    DocumentFeatures features;
};
