#include "app/savedlist.h"

#include "app/columns.h"

#include "common/errors.h"
#include "jtext/cp932.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// text in quotes, each quote in it doubled, appended to out; put appends the pieces between
// (a quote is the same byte in UTF-8 and in 932, never part of a two-byte character there, so
// put may convert them).
template <class Put> void AppendQuoted(std::string& out, std::string_view text, Put put) {
    out += '"';
    for (size_t start = 0;;) {
        const size_t quote = text.find('"', start);
        put(text.substr(start, quote == std::string_view::npos ? quote : quote + 1 - start));
        if (quote == std::string_view::npos)
            break;
        out += '"';
        start = quote + 1;
    }
    out += '"';
}

std::string HeaderLine() {
    std::string line = "  ";
    for (const ColumnInfo& column : kColumns) {
        if (&column != &kColumns[0])
            line += ',';
        line.append("\"").append(column.caption).append("\"");
    }
    return line;
}

} // namespace

std::string QuoteCell(const std::string& cell) {
    if (!NeedsQuotes(Quoting::Cell, cell))
        return cell;
    std::string quoted;
    AppendQuoted(quoted, cell, [&](std::string_view piece) { quoted.append(piece); });
    return quoted;
}

std::string BuildSavedList(const std::string& folder, const std::vector<ListRow>& rows,
                           ListEncoding encoding) {
    const std::string eol = "\r\n";
    // Each text goes into the encoding asked for as it is written.
    std::string out = encoding == ListEncoding::Cp932 ? "" : "\xEF\xBB\xBF";
    auto put = [&](std::string_view text) {
        if (encoding == ListEncoding::Cp932)
            AppendUtf8AsCp932(out, text);
        else
            out.append(text);
    };
    // Room for the whole list at once (932 is never longer than UTF-8), so that a large one is
    // not copied as it grows.
    size_t size = 512;
    for (const ListRow& row : rows) {
        size += row.caption.size() + 3 * row.cells.size() + 8;
        for (const std::string& cell : row.cells)
            size += cell.size();
    }
    out.reserve(size);
    put("ファイルの場所：" + AppendBackslash(folder) + eol + HeaderLine() + eol);
    int files = 0;
    for (size_t i = 0; i < rows.size(); ++i) {
        // The texts of a large list lie all over memory once it is sorted: those of a few
        // rows ahead are fetched while this one is written.
        if (constexpr size_t kAhead = 8; i + kAhead < rows.size()) {
            const ListRow& ahead = rows[i + kAhead];
            __builtin_prefetch(ahead.caption.data());
            for (const std::string& cell : ahead.cells)
                __builtin_prefetch(cell.data());
        }
        const ListRow& row = rows[i];
        if (row.isFolder)
            continue;
        out += "  ";
        for (size_t c = 0; c < kColumns.size(); ++c) {
            const std::string& text = c == 0 ? row.caption : row.cells[c - 1];
            if (c > 0)
                out += ',';
            if (NeedsQuotes(kColumns[c].quoting, text))
                AppendQuoted(out, text, put);
            else
                put(text);
        }
        out += eol;
        ++files;
    }
    put(HeaderLine() + eol + "合計：" + std::to_string(files) + "ファイル" + eol);
    return out;
}

void WriteFileSafely(const std::string& path, const std::string& bytes,
                     const WriteSome& writeSome) {
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "./" : path.substr(0, slash + 1);
    std::string temp = folder + ".pagewick-save-XXXXXX";
    // A read-only file is not replaced behind the user's back (renaming over it would
    // succeed), not even for a user whom the system would let write it.
    struct stat target {};
    if (::stat(path.c_str(), &target) == 0 &&
        (S_ISDIR(target.st_mode) || (target.st_mode & 0222) == 0 ||
         ::access(path.c_str(), W_OK) != 0))
        throw EFCreateError(path);
    const int fd = ::mkstemp(temp.data());
    if (fd < 0)
        throw EFCreateError(path);
    bool ok = true;
    for (size_t done = 0; ok && done < bytes.size();) {
        const long n = writeSome ? writeSome(fd, bytes.data() + done, bytes.size() - done)
                                 : long(::write(fd, bytes.data() + done, bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        ok = n > 0;
        done += ok ? size_t(n) : 0;
    }
    const mode_t mask = ::umask(0);
    ::umask(mask);
    const mode_t mode = ::stat(path.c_str(), &target) == 0 ? target.st_mode & 07777 : 0666 & ~mask;
    ok = ok && ::fchmod(fd, mode) == 0 && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    if (!ok || ::rename(temp.c_str(), path.c_str()) != 0) {
        ::unlink(temp.c_str());
        throw EFCreateError(path);
    }
}
