// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The saved list: the file rows as the list shows them, either as the program's own list in
// code page 932 or as a plain comma-separated table in UTF-8 for other programs.

#include "app/columns.h"
#include "app/listrows.h"

#include <functional>
#include <string>
#include <vector>

enum class ListEncoding {
    Cp932,        // the list: code page 932 bytes, no mark
    Utf8WithMark, // the table (BuildCsvTable): UTF-8 after EF BB BF, which spreadsheet
                  // programs take for UTF-8
};

// A cell in double quotes (quotes inside doubled) when its column's quoting rule asks for it
// (columns.h); an empty cell stays empty.
std::string QuoteCell(const std::string& cell);

// An RFC 4180 table that spreadsheets and CSV readers take in whole: the mark EF BB BF, one
// header record of the captions of columns, then one record per file row (folder rows are left
// out) in the order given, each ended by CR LF. Every field is made inert (InertText, line breaks
// and tabs kept), and one that begins with =, +, -, @, a tab or a carriage return gets a leading
// apostrophe, so that no spreadsheet takes it for a formula, unless it is a signed number. A
// field is quoted, quotes inside doubled, when it holds a comma, a quote, a line break or
// another control character, or begins or ends with a blank.
std::string BuildCsvTable(const std::vector<ListRow>& rows,
                          const std::vector<Column>& columns = DefaultColumns());

// Cp932: every line ends with CR LF: the location, the header of the list's own columns, one
// line per file row (folder rows are left out) in the order given, the header again and the total.
// The folder, names and cells are made inert first (InertText; line breaks and tabs kept in the
// quoted cells). Utf8WithMark: the table of BuildCsvTable, which has no place for the folder.
std::string BuildSavedList(const std::string& folder, const std::vector<ListRow>& rows,
                           ListEncoding encoding);

// Why writing failed with errno error, in the words of the messages (「空き容量がありません」,
// 「ファイルが大きすぎます」, ...).
std::string WriteFailureReason(int error);

// Writes bytes to a new file beside path and renames it over path only when every byte is
// written, so a failure leaves an existing file as it was. A link is followed and the file it
// ends at is replaced in that file's own folder; a file with more names (hard links) is
// rewritten in place after its space is reserved, so that it stays one file. A folder, a
// device, a FIFO, a socket and a read-only file are refused. Raises EFCreateError whose
// message says why (WriteFailureReason). The file-size limit's signal is ignored from the first
// call on, so that going over the limit is a failure like any other.
// writeSome is the write(2)-like call used for the data, replaceable for tests.
using WriteSome = std::function<long(int fd, const char* data, size_t count)>;
void WriteFileSafely(const std::string& path, const std::string& bytes,
                     const WriteSome& writeSome = {});
