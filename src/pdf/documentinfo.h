// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the reader gives for one PDF file: the properties the list shows, as plain values.

#include "common/datetime.h"

#include <cstdint>
#include <string>

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
    bool CanPrint() const { return (permissions & 4) != 0; }
    bool CanModify() const { return (permissions & 8) != 0; }
    bool CanCopy() const { return (permissions & 16) != 0; }
    bool CanAnnotate() const { return (permissions & 32) != 0; }
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
};
