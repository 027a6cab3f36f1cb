#pragma once
// The saved list: comma-separated lines of the file rows as the list shows them.

#include "app/listrows.h"

#include <functional>
#include <string>
#include <vector>

enum class ListEncoding {
    Cp932,        // code page 932 bytes, no mark
    Utf8WithMark, // UTF-8 after EF BB BF, which spreadsheet programs take for UTF-8
};

// A cell in double quotes (quotes inside doubled) when its column's quoting rule asks for it
// (columns.h); an empty cell stays empty.
std::string QuoteCell(const std::string& cell);

// Every line ends with CR LF: the location, the header, one line per file row (folder rows
// are left out) in the order given, the header again and the total.
std::string BuildSavedList(const std::string& folder, const std::vector<ListRow>& rows,
                           ListEncoding encoding);

// Writes bytes to a new file beside path and renames it over path only when every byte is
// written, so a failure leaves an existing file as it was. A link is followed and the file it
// ends at is replaced in that file's own folder; a file with more names (hard links) is
// rewritten in place after its space is reserved, so that it stays one file. A folder, a
// device, a FIFO, a socket and a read-only file are refused. Raises EFCreateError whose
// message says why (「空き容量がありません」, 「書き込みの権限がありません」, ...).
// writeSome is the write(2)-like call used for the data, replaceable for tests.
using WriteSome = std::function<long(int fd, const char* data, size_t count)>;
void WriteFileSafely(const std::string& path, const std::string& bytes,
                     const WriteSome& writeSome = {});
