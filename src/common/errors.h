// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The exceptions the program raises. Each carries its kind and its message as UTF-8 text; the
// message is made here from the kind and what it names, once, so that the window's failure box,
// the list's tooltip and the command line all say the same thing.

#include <stdexcept>
#include <string>

enum class ErrorKind {
    // The reader's failures.
    NotPdf,            // nothing in the file is a PDF document (no header, no catalog)
    Damaged,           // a PDF header, but no document that recovery can find
    UnsupportedFilter, // data behind a compression or encryption method the reader lacks
    WrongPassword,     // the document's structure is encrypted and the password does not open it
    OverBudget,        // the file asks for more memory or work than any real file needs
    Unreadable,        // the file cannot be opened or read (the system's reason)
    // Others.
    CannotCreate,    // a file that cannot be created or written
    InvalidFileName, // a folder that cannot be listed
    Other,
};

// The stable name of a kind, for scripts ("not-pdf", "damaged", "unsupported-filter",
// "wrong-password", "over-budget", "unreadable", "cannot-create", "invalid-file-name", "other").
const char* ErrorKindName(ErrorKind kind);

class EPagewickError : public std::runtime_error {
public:
    explicit EPagewickError(const std::string& message)
        : EPagewickError(ErrorKind::Other, message) {}
    EPagewickError(ErrorKind kind, const std::string& message)
        : std::runtime_error(message), kind_(kind) {}
    ErrorKind Kind() const { return kind_; }

private:
    ErrorKind kind_;
};

// A failure of the PDF reader. detail is what the message names: the filter
// (UnsupportedFilter), the bound that was reached (OverBudget), the file and the system's reason
// (Unreadable), or what was missing (Damaged); NotPdf and WrongPassword need none.
class EReadError : public EPagewickError {
public:
    explicit EReadError(ErrorKind kind, const std::string& detail = {});
};

// A file that cannot be opened for reading; reason, when given, is the system's in words.
class EFOpenError : public EPagewickError {
public:
    explicit EFOpenError(const std::string& fileName, const std::string& reason = {});
};

// A file that cannot be created or written.
class EFCreateError : public EPagewickError {
public:
    explicit EFCreateError(const std::string& fileName);
    // With the reason in words ("空き容量がありません").
    EFCreateError(const std::string& fileName, const std::string& reason);
};

class EInvalidFileName : public EPagewickError {
public:
    explicit EInvalidFileName(const std::string& message)
        : EPagewickError(ErrorKind::InvalidFileName, message) {}
};

// The system's reason for errno in words: Japanese for the reasons a user meets when a file
// cannot be opened, the C library's text for the rest.
std::string SystemReason(int error);
