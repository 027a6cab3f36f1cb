#include "app/savedlist.h"

#include "common/errors.h"
#include "jtext/cp932.h"

#include <array>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <thread>
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

// text in quotes, each quote in it doubled, appended to out.
void AppendQuoted(std::string& out, std::string_view text) {
    out += '"';
    for (size_t start = 0;;) {
        const size_t quote = text.find('"', start);
        if (quote == std::string_view::npos) {
            out.append(text.substr(start));
            break;
        }
        out.append(text.substr(start, quote + 1 - start)).append(1, '"');
        start = quote + 1;
    }
    out += '"';
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
    AppendQuoted(quoted, cell);
    return quoted;
}

namespace {

// At least the bytes the lines of rows[from, to) take (932 is never longer than UTF-8).
size_t LinesSize(const std::vector<ListRow>& rows, size_t from, size_t to) {
    size_t size = 0;
    for (size_t i = from; i < to; ++i) {
        size += rows[i].caption.size() + 3 * rows[i].cells.size() + 8;
        for (const std::string& cell : rows[i].cells)
            size += cell.size();
    }
    return size;
}

// The lines of rows[from, to) appended to out in the encoding asked for; returns how many
// file rows they were.
int AppendRowLines(const std::vector<ListRow>& rows, size_t from, size_t to,
                   ListEncoding encoding, std::string& out) {
    int files = 0;
    std::string line;
    for (size_t i = from; i < to; ++i) {
        // The texts of a large list lie all over memory once it is sorted: those of a few
        // rows ahead are fetched while this one is written.
        if (constexpr size_t kAhead = 8; i + kAhead < to) {
            const ListRow& ahead = rows[i + kAhead];
            __builtin_prefetch(ahead.caption.data());
            for (const std::string& cell : ahead.cells)
                __builtin_prefetch(cell.data());
        }
        const ListRow& row = rows[i];
        if (row.isFolder)
            continue;
        // A comma or a quote in a name would split the line into extra columns; other names,
        // blanks included, are written as they are.
        const bool quoteName = row.caption.find_first_of(",\"") != std::string::npos;
        line = "  ";
        if (quoteName)
            AppendQuoted(line, row.caption);
        else
            line += row.caption;
        for (const std::string& cell : row.cells) {
            line += ',';
            if (NeedsQuotes(cell))
                AppendQuoted(line, cell);
            else
                line += cell;
        }
        line += "\r\n";
        // Each line ends in ASCII, so no character is cut between two lines.
        if (encoding == ListEncoding::Cp932)
            AppendUtf8AsCp932(out, line);
        else
            out.append(line);
        ++files;
    }
    return files;
}

} // namespace

std::string BuildSavedList(const std::string& folder, const std::vector<ListRow>& rows,
                           ListEncoding encoding) {
    const std::string eol = "\r\n";
    std::string out = encoding == ListEncoding::Cp932 ? "" : "\xEF\xBB\xBF";
    auto put = [&](const std::string& text) {
        out += encoding == ListEncoding::Cp932 ? Utf8ToCp932(text) : text;
    };
    // Room for the whole list at once, so that a large one is not copied as it grows.
    out.reserve(LinesSize(rows, 0, rows.size()) + 512);
    put("ファイルの場所：" + AppendBackslash(folder) + eol + HeaderLine() + eol);
    // A large list is written in two halves at once, the second on a thread of its own.
    constexpr size_t kRowsForTwoHalves = 4096;
    const size_t half = rows.size() >= kRowsForTwoHalves ? rows.size() / 2 : rows.size();
    std::string secondHalf;
    int secondFiles = 0;
    std::thread helper;
    try {
        if (half < rows.size())
            helper = std::thread([&] {
                secondHalf.reserve(LinesSize(rows, half, rows.size()));
                secondFiles = AppendRowLines(rows, half, rows.size(), encoding, secondHalf);
            });
    } catch (const std::system_error&) {
        // no thread to be had: one goes through all the rows
    }
    const size_t firstEnd = helper.joinable() ? half : rows.size();
    int files = AppendRowLines(rows, 0, firstEnd, encoding, out);
    if (helper.joinable()) {
        helper.join();
        out += secondHalf;
        files += secondFiles;
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
