#include "app/savedlist.h"

#include "common/errors.h"
#include "jtext/cp932.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

const std::array<std::string, kCellCount + 1> kColumnCaptions = {
    "名前", "タイトル", "サブタイトル", "作成者",  "キーワード", "PDF変換", "作成日",
    "暗号", "頁数",     "容量",         "PDFVer.", "サイズ",     "種類",    "更新日時"};

namespace {

bool NeedsQuotes(const std::string& cell) {
    // Blanks and control bytes, DEL, the quote and the comma.
    static constexpr auto kQuoted = [] {
        std::array<bool, 256> quoted{};
        for (int c = 0; c <= 0x20; ++c)
            quoted[size_t(c)] = true;
        quoted[0x7F] = quoted['"'] = quoted[','] = true;
        return quoted;
    }();
    for (unsigned char c : cell)
        if (kQuoted[c])
            return true;
    return false;
}

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

// The table for other programs quotes only what RFC 4180 readers would otherwise take apart:
// a comma, a quote or a line break, and blanks at either end, which trimming readers drop.
// Other control bytes are quoted as well, so that no reader takes one for a separator of its
// own; quoting a field that needs none is always valid.
bool NeedsCsvQuotes(std::string_view field) {
    if (field.empty())
        return false;
    constexpr std::string_view kIdeographicSpace = "\xE3\x80\x80";
    if (field.front() == ' ' || field.back() == ' ' || field.starts_with(kIdeographicSpace) ||
        field.ends_with(kIdeographicSpace))
        return true;
    return std::any_of(field.begin(), field.end(), [](char c) {
        return c == ',' || c == '"' || static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
    });
}

void AppendCsvField(std::string& out, std::string_view field) {
    if (NeedsCsvQuotes(field))
        AppendQuoted(out, field, [&](std::string_view piece) { out.append(piece); });
    else
        out.append(field);
}

// Room for a whole list or table at once, so that a large one is not copied as it grows.
size_t SizeOfList(const std::vector<ListRow>& rows) {
    size_t size = 512;
    for (const ListRow& row : rows) {
        size += row.caption.size() + 3 * row.cells.size() + 8;
        for (const std::string& cell : row.cells)
            size += cell.size();
    }
    return size;
}

std::string HeaderLine() {
    std::string line = "  \"名前\"";
    for (int i = 1; i <= kCellCount; ++i)
        line += ",\"" + kColumnCaptions[size_t(i)] + "\"";
    return line;
}

} // namespace

std::string QuoteCell(const std::string& cell) {
    if (!NeedsQuotes(cell))
        return cell;
    std::string quoted;
    AppendQuoted(quoted, cell, [&](std::string_view piece) { quoted.append(piece); });
    return quoted;
}

std::string BuildCsvTable(const std::vector<ListRow>& rows) {
    std::string out;
    out.reserve(SizeOfList(rows));
    out += "\xEF\xBB\xBF";
    for (size_t i = 0; i < kColumnCaptions.size(); ++i) {
        out += i ? "," : "";
        AppendCsvField(out, kColumnCaptions[i]);
    }
    out += "\r\n";
    for (const ListRow& row : rows) {
        if (row.isFolder)
            continue;
        AppendCsvField(out, row.caption);
        for (const std::string& cell : row.cells) {
            out += ',';
            AppendCsvField(out, cell);
        }
        out += "\r\n";
    }
    return out;
}

std::string BuildSavedList(const std::string& folder, const std::vector<ListRow>& rows,
                           ListEncoding encoding) {
    if (encoding == ListEncoding::Utf8WithMark)
        return BuildCsvTable(rows);
    const std::string eol = "\r\n";
    // Each text goes into code page 932 as it is written.
    std::string out;
    auto put = [&](std::string_view text) { AppendUtf8AsCp932(out, text); };
    // 932 is never longer than UTF-8.
    out.reserve(SizeOfList(rows));
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
        // A comma or a quote in a name would split the line into extra columns; other names,
        // blanks included, are written as they are.
        if (std::any_of(row.caption.begin(), row.caption.end(),
                        [](char c) { return c == ',' || c == '"'; }))
            AppendQuoted(out, row.caption, put);
        else
            put(row.caption);
        for (const std::string& cell : row.cells) {
            out += ',';
            if (NeedsQuotes(cell))
                AppendQuoted(out, cell, put);
            else
                put(cell);
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
