// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The cross-reference table of a damaged file, rebuilt from a scan of the whole file for
// "n g obj" headers, trailers and cross-reference streams, as mainstream readers do.

#include "pdf/xreftable.h"

#include <cstdint>
#include <utility>
#include <vector>

class ByteSource;
class ReadBudget;
class SecurityHandler;

// What a scan of the whole file finds, everything in file order.
struct FileScan {
    std::vector<std::pair<int64_t, int64_t>> objects; // (number, offset of "n g obj")
    std::vector<int64_t> trailers;                    // offsets of "trailer" keywords
    std::vector<int64_t> objectStreams;               // offsets of objects of /Type /ObjStm
    std::vector<int64_t> xrefStreams;                 // offsets of objects of /Type /XRef
    std::vector<int64_t> catalogs;                    // numbers of objects of /Type /Catalog
};

// Scans the file; each header found counts as an entry against budget.
FileScan ScanFile(const ByteSource& source, ReadBudget& budget);

// The table the scan gives: of each number its last header in the file, then the objects of
// the object streams found, which only an encrypted file's handler can read (security, once it
// is known). The trailers found fill in the trailer, newest first; without a /Root in any, the
// last catalog found is the root.
XrefTable RecoverXrefTable(const ByteSource& source, const FileScan& scan,
                           const SecurityHandler* security, ReadBudget& budget);
