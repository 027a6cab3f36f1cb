// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The document properties of one PDF file, as the list shows them.

#include "common/datetime.h"
#include "crypto/pdfenc.h"

#include <cstdint>
#include <string>

// Text fields are code page 932 bytes; each text property is also kept as Unicode text (UTF-8),
// of which the 932 field is the code page 932 form ("?" for each character it lacks).
struct TpdfInfomation {
    std::string Version; // the header line, such as "%PDF-1.4"
    std::string Title;
    std::string Subject;
    std::string Keywords;
    std::string Author;
    std::string Producer;
    std::string Creator;
    std::string TitleUtf8;
    std::string SubjectUtf8;
    std::string KeywordsUtf8;
    std::string AuthorUtf8;
    std::string ProducerUtf8;
    std::string CreatorUtf8;
    int32_t PageCount = 0;
    int64_t FileSize = 0;
    // 0 not encrypted or opened with the empty user password; 1 owner password; 2 user
    // password; -1 the strings cannot be read.
    int32_t PasswordResult = 0;
    int32_t KeyLength = 40; // bits
    int32_t V = 0;
    int32_t R = 0;
    std::string Filter; // "Standard" for the standard security handler
    std::string Method; // of the strings: "RC4", "AESV2", "AESV3" or "Identity"
    EncryptionParams Encryption;
    std::string FileKey;    // empty until a password check succeeds
    bool PermsAgree = true; // AES-256: /Perms confirms P (false: P was altered)
    int32_t P = 0;
    bool Encrypted = false;
    bool Protected = false;
    bool CanPrint = false;
    bool CanCopy = false;
    bool CanModify = false;
    bool CanAnnotate = false;
    TDateTime CreationDate = 0;
    TDateTime ModDate = 0;
};

// Reads fileName into info (reset first). A missing file or one whose extension is not .pdf
// gives the reset record. Reader errors (EPagewickError) leave info filled as far as it got.
// lenientPassword: an empty typed password that still matches (1 or 2) opens the file.
// password is code page 932 bytes; AES-256 documents take Unicode passwords, so a caller that
// has the typed text as UTF-8 gives it as passwordUtf8 (else the 932 bytes are converted, and
// characters outside code page 932 are lost).
void ReadPdfInfo(const std::string& fileName, const std::string& password, TpdfInfomation& info,
                 bool lenientPassword = false, const std::string& passwordUtf8 = {});

// A PDF date without its "D:" prefix (the prefix is removed when present) to a local
// date-time; fields missing at the end take their defaults; an invalid date gives 0.
TDateTime ParsePdfDate(const std::string& text);
