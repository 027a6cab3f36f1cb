// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/savedlist.h"

#include "app/columns.h"

#include "common/errors.h"
#include "common/sidebyside.h"
#include "jtext/cp932.h"
#include "jtext/filename.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// text in quotes, each quote in it doubled and each zero byte left out (a damaged header can
// hold one, and many CSV readers end the cell there), appended to out; put appends the pieces
// between (a quote is the same byte in UTF-8 and in 932, never part of a two-byte character
// there, so put may convert them).
template <class Put> void AppendQuoted(std::string& out, std::string_view text, Put put) {
    out += '"';
    for (size_t start = 0;;) {
        // Looked for byte by byte: find_first_of asks memchr of the set for every byte.
        size_t stop = start;
        while (stop < text.size() && text[stop] != '"' && text[stop] != '\0')
            ++stop;
        put(text.substr(start, stop - start));
        if (stop == text.size())
            break;
        if (text[stop] == '"')
            out += "\"\"";
        start = stop + 1;
    }
    out += '"';
}

// A comma or a quote would split a line into extra columns, and a line break (any control
// byte, to be safe, so that no reader takes one for a separator of its own) would split the
// row.
bool HasSeparatorBytes(std::string_view text) {
    return std::any_of(text.begin(), text.end(), [](char c) {
        return c == ',' || c == '"' || static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
    });
}

// The table for other programs quotes only what RFC 4180 readers would otherwise take apart:
// the separator bytes above, and blanks at either end, which trimming readers drop; quoting a
// field that needs none is always valid.
bool NeedsCsvQuotes(std::string_view field) {
    constexpr std::string_view kIdeographicSpace = "\xE3\x80\x80";
    return !field.empty() &&
           (field.front() == ' ' || field.back() == ' ' || field.starts_with(kIdeographicSpace) ||
            field.ends_with(kIdeographicSpace) || HasSeparatorBytes(field));
}

void AppendCsvField(std::string& out, std::string_view field) {
    if (NeedsCsvQuotes(field))
        AppendQuoted(out, field, [&](std::string_view piece) { out.append(piece); });
    else
        out.append(field);
}

// A spreadsheet takes a field that begins with one of these for a formula and evaluates it (a
// link that sends data away, a command started through DDE). A signed number, digits with dots
// and commas between them, is still only a number.
bool LooksLikeFormula(std::string_view field) {
    if (field.empty())
        return false;
    switch (field.front()) {
    case '=':
    case '@':
    case '\t':
    case '\r':
        return true;
    case '+':
    case '-':
        break;
    default:
        return false;
    }
    const std::string_view digits = field.substr(1);
    auto digit = [](char c) { return c >= '0' && c <= '9'; };
    return digits.empty() || !digit(digits.front()) || !digit(digits.back()) ||
           digits.find_first_not_of("0123456789.,") != std::string_view::npos;
}

// A cell of the table: inert, and made text with a leading apostrophe where a spreadsheet would
// take it for a formula, which is how spreadsheets themselves mark such text.
void AppendCsvCell(std::string& out, std::string_view cell, std::string& scratch) {
    std::string_view text = InertText(cell, true, scratch);
    if (LooksLikeFormula(text)) {
        if (text.data() != scratch.data())
            scratch.assign(text);
        scratch.insert(scratch.begin(), '\'');
        text = scratch;
    }
    AppendCsvField(out, text);
}

// Room for a whole list or table at once, so that a large one is not copied as it grows.
size_t SizeOfList(const std::vector<ListRow>& rows) {
    size_t size = 512;
    for (const ListRow& row : rows) {
        size += row.caption.size() + 3 * row.cells.size() + 8 + row.cells.Text().size();
    }
    return size;
}

// The list keeps its own columns, whatever else a table may show.
std::string HeaderLine() {
    std::string line = "  ";
    for (int c = 0; c < kColumnCount; ++c) {
        if (c > 0)
            line += ',';
        line.append("\"").append(kColumns[size_t(c)].caption).append("\"");
    }
    return line;
}

// The lines of rows' file rows, each made by line(out, row, scratch) from its row alone, appended
// to out in order; a large list's two halves side by side.
template <class Line>
size_t AppendFileLines(std::string& out, const std::vector<ListRow>& rows, Line line) {
    auto make = [&line](std::string& to, const ListRow* first, const ListRow* last) {
        std::string scratch;
        size_t files = 0;
        for (const ListRow* row = first; row != last; ++row) {
            // The texts of a large list lie all over memory once it is sorted: those of a few
            // rows ahead are fetched while this one is written.
            if (constexpr ptrdiff_t kAhead = 8; last - row > kAhead) {
                __builtin_prefetch(row[kAhead].caption.data());
                __builtin_prefetch(row[kAhead].cells.Text().data());
            }
            if (row->isFolder)
                continue;
            line(to, *row, scratch);
            ++files;
        }
        return files;
    };
    const ListRow* begin = rows.data();
    const ListRow* end = begin + rows.size();
    if (!TwoThreadsPay(rows.size()))
        return make(out, begin, end);
    const ListRow* middle = begin + rows.size() / 2;
    std::string second;
    second.reserve((out.capacity() - out.size()) / 2);
    size_t files = 0, secondFiles = 0;
    RunSideBySide([&] { files = make(out, begin, middle); },
                  [&] { secondFiles = make(second, middle, end); });
    out += second;
    return files + secondFiles;
}

} // namespace

std::string QuoteCell(const std::string& cell) {
    if (!NeedsQuotes(Quoting::Cell, cell))
        return cell;
    std::string quoted;
    AppendQuoted(quoted, cell, [&](std::string_view piece) { quoted.append(piece); });
    return quoted;
}

std::string BuildCsvTable(const std::vector<ListRow>& rows, const std::vector<Column>& columns) {
    std::string out;
    out.reserve(SizeOfList(rows));
    out += "\xEF\xBB\xBF";
    for (size_t i = 0; i < columns.size(); ++i) {
        out += i ? "," : "";
        AppendCsvField(out, InfoOf(columns[i]).caption);
    }
    out += "\r\n";
    AppendFileLines(out, rows,
                    [&columns](std::string& to, const ListRow& row, std::string& scratch) {
                        for (size_t i = 0; i < columns.size(); ++i) {
                            to += i ? "," : "";
                            AppendCsvCell(to, CellText(row, columns[i]), scratch);
                        }
                        to += "\r\n";
                    });
    return out;
}

std::string BuildSavedList(const std::string& folder, const std::vector<ListRow>& rows,
                           ListEncoding encoding) {
    if (encoding == ListEncoding::Utf8WithMark)
        return BuildCsvTable(rows, DefaultColumns());
    const std::string eol = "\r\n";
    // Each text goes into code page 932 as it is written.
    std::string out;
    auto put = [&](std::string_view text) { AppendUtf8AsCp932(out, text); };
    // 932 is never longer than UTF-8.
    out.reserve(SizeOfList(rows));
    // The location is one line whatever the folder's name holds.
    std::string inertFolder;
    put("ファイルの場所：" + AppendBackslash(std::string(InertText(folder, false, inertFolder))) +
        eol + HeaderLine() + eol);
    const size_t files = AppendFileLines(
        out, rows, [&eol](std::string& to, const ListRow& row, std::string& scratch) {
            auto put = [&](std::string_view text) { AppendUtf8AsCp932(to, text); };
            to += "  ";
            // A Shift-JIS name is written as its own bytes in the 932 list: they are that name
            // (unless it holds a control character, which only the name as shown escapes).
            const std::string_view shown = InertText(row.caption, true, scratch);
            const bool ownBytes = IsCp932Name(row.nameBytes) && shown.data() == row.caption.data();
            auto putName = [&](std::string_view text) {
                if (ownBytes)
                    to.append(text);
                else
                    put(text);
            };
            const std::string_view name = ownBytes ? std::string_view(row.nameBytes) : shown;
            if (NeedsQuotes(kColumns[0].quoting, name))
                AppendQuoted(to, name, putName);
            else
                putName(name);
            for (size_t c = 1; c < size_t(kColumnCount); ++c) {
                const std::string_view cell = InertText(row.cells[c - 1], true, scratch);
                to += ',';
                if (NeedsQuotes(kColumns[c].quoting, cell))
                    AppendQuoted(to, cell, put);
                else
                    put(cell);
            }
            to += eol;
        });
    put(HeaderLine() + eol + "合計：" + std::to_string(files) + "ファイル" + eol);
    return out;
}

std::string WriteFailureReason(int error) {
    switch (error) {
    case ENOSPC:
    case EDQUOT:
        return "空き容量がありません";
    case EFBIG:
        return "ファイルが大きすぎます";
    case EACCES:
    case EPERM:
        return "書き込みの権限がありません";
    case EROFS:
        return "読み取り専用のファイルシステムです";
    case ENOENT:
    case ENOTDIR:
        return "フォルダがありません";
    case EISDIR:
        return "フォルダです";
    case ENAMETOOLONG:
        return "名前が長すぎます";
    default:
        return std::strerror(error);
    }
}

namespace {

[[noreturn]] void CannotWrite(const std::string& path, int error) {
    throw EFCreateError(FileNameForDisplay(path), WriteFailureReason(error));
}

// Where writing to path really goes: the file a chain of links ends at (it need not exist
// yet), so that the link stays a link and the file is replaced in its own folder.
std::string LinkTarget(std::string path) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return path;
        std::string link(size_t(st.st_size > 0 ? st.st_size : 255) + 1, '\0');
        const ssize_t n = ::readlink(path.c_str(), link.data(), link.size());
        if (n < 0)
            return path;
        link.resize(size_t(n));
        const size_t slash = path.rfind('/');
        path = link.starts_with('/') || slash == std::string::npos
                   ? link
                   : path.substr(0, slash + 1) + link;
    }
    errno = ELOOP;
    CannotWrite(path, ELOOP);
}

using Writer = std::function<long(int fd, const char* data, size_t count)>;

// Every byte written, or the errno of the failure.
int WriteAll(int fd, const std::string& bytes, const Writer& writeSome) {
    for (size_t done = 0; done < bytes.size();) {
        errno = 0;
        const long n = writeSome ? writeSome(fd, bytes.data() + done, bytes.size() - done)
                                 : long(::write(fd, bytes.data() + done, bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return errno ? errno : EIO;
        done += size_t(n);
    }
    return 0;
}

// A file with other names (hard links) is rewritten in place, so that every name keeps
// showing the one file; the space is reserved first, so a full disk fails before a byte of
// the old contents is touched.
void WriteInPlace(const std::string& path, const std::string& bytes, const Writer& writeSome) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        CannotWrite(path, errno);
    int error = bytes.empty() ? 0 : ::posix_fallocate(fd, 0, off_t(bytes.size()));
    if (error == EOPNOTSUPP || error == EINVAL)
        error = 0; // a file system without reservation: written as it comes
    if (error == 0)
        error = WriteAll(fd, bytes, writeSome);
    if (error == 0 && (::ftruncate(fd, off_t(bytes.size())) != 0 || ::fsync(fd) != 0))
        error = errno;
    if (::close(fd) != 0 && error == 0)
        error = errno;
    if (error)
        CannotWrite(path, error);
}

} // namespace

void WriteFileSafely(const std::string& requested, const std::string& bytes,
                     const WriteSome& writeSome) {
    // Over the file-size limit (ulimit -f) the system would end the whole program with this
    // signal, leaving the temporary file behind; ignored, the write fails with EFBIG instead
    // and is told like any other failure.
    std::signal(SIGXFSZ, SIG_IGN);
    const std::string path = LinkTarget(requested);
    struct stat target {};
    const bool exists = ::stat(path.c_str(), &target) == 0;
    if (exists && S_ISDIR(target.st_mode))
        CannotWrite(requested, EISDIR);
    // A device, a FIFO or a socket is never replaced by a file (as root, "-o /dev/null" would
    // otherwise replace the system's /dev/null), nor written into: this writer makes lists.
    if (exists && !S_ISREG(target.st_mode))
        throw EFCreateError(FileNameForDisplay(requested), "通常のファイルではありません");
    // A read-only file is not replaced behind the user's back (renaming over it would
    // succeed), not even for a user whom the system would let write it.
    if (exists && ((target.st_mode & 0222) == 0 || ::access(path.c_str(), W_OK) != 0))
        CannotWrite(requested, EACCES);
    if (exists && target.st_nlink > 1) {
        WriteInPlace(path, bytes, writeSome);
        return;
    }
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "./" : path.substr(0, slash + 1);
    std::string temp = folder + ".pagewick-save-XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0)
        CannotWrite(requested, errno);
    int error = WriteAll(fd, bytes, writeSome);
    const mode_t mask = ::umask(0);
    ::umask(mask);
    if (exists && ::geteuid() == 0) // root writing someone's list leaves it theirs
        [[maybe_unused]]
        const int ignored = ::fchown(fd, target.st_uid, target.st_gid);
    const mode_t mode = exists ? target.st_mode & 07777 : 0666 & ~mask;
    if (error == 0 && (::fchmod(fd, mode) != 0 || ::fsync(fd) != 0))
        error = errno;
    if (::close(fd) != 0 && error == 0)
        error = errno;
    if (error == 0 && ::rename(temp.c_str(), path.c_str()) != 0)
        error = errno;
    if (error) {
        ::unlink(temp.c_str());
        CannotWrite(requested, error);
    }
}
