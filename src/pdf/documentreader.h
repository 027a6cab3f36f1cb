// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Reading one PDF file's properties: the cross-reference table (walked from startxref, or
// recovered from a scan when that fails), the security handler, the catalog, the Info
// dictionary, the XMP packet and the page tree.

#include "pdf/documentinfo.h"

#include <string>

struct ReadOptions {
    std::string password;         // as typed, UTF-8; blanks are characters
    bool lenientPassword = false; // an empty typed password that matches opens the file
    // Read DocumentInfo::features too: a walk over the pages, the form and the name trees
    // that the information alone does not need.
    bool features = false;
};

// Reads the file at path (its bytes). Raises EPagewickError with the kind that says why it
// cannot be listed: Unreadable (cannot be opened or is no regular file), NotPdf (no "%PDF-" in
// its first 1,024 bytes and no document in it), Damaged (a header, but no document that
// recovery finds), UnsupportedFilter, WrongPassword (the document's structure is encrypted and
// the password does not open it) or OverBudget. A file whose strings the password does not
// open is no failure: it is read, with encryption.password Refused and no text.
DocumentInfo ReadPdfInfo(const std::string& path, const ReadOptions& options = {});
