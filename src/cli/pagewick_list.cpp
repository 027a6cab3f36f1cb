// SPDX-License-Identifier: GPL-3.0-or-later
// pagewick-list [options] [FOLDER]
// The list the window shows for FOLDER, written as the window saves it (the code page 932 list
// or the UTF-8 CSV table), or as TSV or JSON, without a window. Exit status: 0, 1 when some file
// could not be read, 2 for bad arguments or a folder that cannot be listed.

#include "app/columns.h"
#include "app/folderscan.h"
#include "app/listlocale.h"
#include "app/listrows.h"
#include "app/savedlist.h"
#include "app/sorting.h"
#include "cli/infojson.h"
#include "common/errors.h"
#include "jtext/filename.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

const char kUsage[] =
    "使い方: pagewick-list [オプション] [フォルダ]\n"
    "フォルダ（省略時は現在のフォルダ）の一覧を、ウィンドウの「一覧の保存」と同じ形で書き出します。"
    "\n"
    "  --type pdf|images|all    ファイルの種類（既定 pdf）\n"
    "  --password P             暗号化された PDF のパスワード\n"
    "  --lenient                空のパスワードでも開ける文書を読む\n"
    "  --sort N|列名            並べ替える列: 番号 1-34 か列名、- を前に付けると降順（既定 1）\n"
    "  --columns 列名,...       csv, tsv, json に書く列（見出しか英字名、all で全列）。\n"
    "                           既定は一覧の 14 列。list はいつも 14 列で、--columns は使えない\n"
    "  --format list|csv|tsv|json  出力の形式（既定 list）\n"
    "      list  ウィンドウの「テキスト」: 場所・見出し・合計の行もある一覧、コードページ 932\n"
    "      csv   ウィンドウの「CSV UTF-8」: RFC 4180 の表（BOM 付き UTF-8、CR LF、見出し 1 行\n"
    "            と 1 ファイル 1 行だけ）。表計算ソフトや CSV を読むプログラム向け\n"
    "      tsv, json  UTF-8\n"
    "  --encoding cp932|utf8    前からの書き方: cp932 は list、utf8 は --format csv と同じ\n"
    "                           （変わるのは文字コードだけでなく形なので、--format csv を使う）\n"
    "  -o FILE                  標準出力の代わりに FILE に書く\n"
    "  --recursive              サブフォルダも読む（名前は FOLDER からの相対パス）\n"
    "  -L, --follow-links       --recursive でリンク先のフォルダも読む（どれも一度だけ）\n"
    "  --progress               進み具合を標準エラーに表示する（端末のとき）\n"
    "  --help, --version\n";

struct Options {
    std::string folder = ".";
    int typeIndex = 0;
    std::string password;
    bool lenient = false;
    int sortColumn = 1;
    std::vector<Column> columns; // empty when not given: the list's own
    std::string encoding;        // as given; empty when not
    std::string format;          // as given; empty when not
    std::string output;
    bool recursive = false;
    bool followLinks = false;
    bool progress = false;
};

// Every message goes out through here: a name or a title in it cannot act on the terminal.
void Tell(std::string_view message) {
    std::string scratch;
    const std::string_view text = InertText(message, false, scratch);
    std::fprintf(stderr, "pagewick-list: %.*s\n", int(text.size()), text.data());
}

[[noreturn]] void BadArguments(const std::string& message) {
    Tell(message);
    std::fputs(kUsage, stderr);
    std::exit(2);
}

// "all", or column captions and ids separated by commas, each once.
std::vector<Column> ParseColumns(const std::string& list) {
    std::vector<Column> columns;
    if (list == "all") {
        for (int i = 0; i < kAllColumnCount; ++i)
            columns.push_back(Column(i));
        return columns;
    }
    for (size_t start = 0; start <= list.size();) {
        const size_t comma = std::min(list.find(',', start), list.size());
        const std::string name = list.substr(start, comma - start);
        const std::optional<Column> column = ColumnNamed(name);
        if (!column)
            BadArguments("--columns: 知らない列です: " + name);
        if (std::find(columns.begin(), columns.end(), *column) != columns.end())
            BadArguments("--columns: 同じ列が 2 度あります: " + name);
        columns.push_back(*column);
        start = comma + 1;
    }
    return columns;
}

Options ParseOptions(int argc, char** argv) {
    Options o;
    bool folderGiven = false;
    auto value = [&](int& i, const std::string& name) -> std::string {
        if (i + 1 >= argc)
            BadArguments(name + " には値が要ります");
        return argv[++i];
    };
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            std::exit(0);
        } else if (arg == "--version") {
            std::puts("pagewick-list 1.0");
            std::exit(0);
        } else if (arg == "--type") {
            const std::string t = value(i, arg);
            o.typeIndex = t == "pdf" ? 0 : t == "images" ? 1 : t == "all" ? 2 : -1;
            if (o.typeIndex < 0)
                BadArguments("--type は pdf, images, all のどれかです");
        } else if (arg == "--password") {
            o.password = value(i, arg);
        } else if (arg == "--lenient") {
            o.lenient = true;
        } else if (arg == "--sort") {
            const std::string n = value(i, arg);
            char* end = nullptr;
            const long number = std::strtol(n.c_str(), &end, 10);
            const bool descending = !n.empty() && n[0] == '-';
            const std::optional<Column> named = ColumnNamed(descending ? n.substr(1) : n);
            if (named)
                o.sortColumn = (int(*named) + 1) * (descending ? -1 : 1);
            else if (!n.empty() && *end == '\0' && number != 0 && number >= -kAllColumnCount &&
                     number <= kAllColumnCount)
                o.sortColumn = int(number);
            else
                BadArguments("--sort は 1 から " + std::to_string(kAllColumnCount) +
                             " までの番号か列名（降順は前に -）です");
        } else if (arg == "--columns") {
            o.columns = ParseColumns(value(i, arg));
        } else if (arg == "--encoding") {
            o.encoding = value(i, arg);
            if (o.encoding != "cp932" && o.encoding != "utf8")
                BadArguments("--encoding は cp932 か utf8 です");
        } else if (arg == "--format") {
            o.format = value(i, arg);
            if (o.format != "list" && o.format != "csv" && o.format != "tsv" && o.format != "json")
                BadArguments("--format は list, csv, tsv, json のどれかです");
        } else if (arg == "-o") {
            o.output = value(i, arg);
            if (o.output.empty())
                BadArguments("-o にはファイル名が要ります");
        } else if (arg == "--recursive") {
            o.recursive = true;
        } else if (arg == "--follow-links" || arg == "-L") {
            o.followLinks = true;
        } else if (arg == "--progress") {
            o.progress = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            BadArguments("知らないオプションです: " + arg);
        } else if (folderGiven) {
            BadArguments("フォルダは 1 つだけ指定できます");
        } else {
            o.folder = arg;
            folderGiven = true;
        }
    }
    // "--encoding utf8" once gave the list in UTF-8; the UTF-8 save is the CSV table now, and
    // the old spelling gives it, so that scripts written for it keep getting UTF-8.
    if (o.format.empty())
        o.format = o.encoding == "utf8" ? "csv" : "list";
    if ((o.format == "list" && o.encoding == "utf8") ||
        (o.format == "csv" && o.encoding == "cp932"))
        BadArguments("list はコードページ 932、csv は UTF-8 だけで書きます");
    // The saved list is read back by programs that expect its 14 columns.
    if (o.format == "list" && !o.columns.empty())
        BadArguments(
            "list はいつも一覧の 14 列で書きます（--columns は csv, tsv, json に使います）");
    if (o.columns.empty())
        o.columns = DefaultColumns();
    return o;
}

// Whether the rows need the documents' features: an optional column is written or sorted by.
bool NeedsFeatures(const Options& o) {
    return std::any_of(o.columns.begin(), o.columns.end(), IsOptional) ||
           IsOptional(Column(std::abs(o.sortColumn) - 1));
}

class Lister {
public:
    explicit Lister(const Options& options) : options_(options) {
        settings_.fileMask = FileMaskForIndex(options.typeIndex);
        settings_.password = options.password;
        settings_.lenientPassword = options.lenient;
        settings_.format = LocaleCellFormat();
        settings_.readFeatures = NeedsFeatures(options);
        showProgress_ = options.progress && ::isatty(2);
    }

    // Lists folder (bytes) as the window's scan does, its subfolders too when recursive.
    // Raises EInvalidFileName with the window's message when folder cannot be listed; a
    // subfolder that cannot be listed is told on standard error and left out.
    void List(const std::string& folder) {
        ScanEvents events;
        events.onFolderStart = [&](const platform::WalkedFolder&, size_t pdfFiles, size_t) {
            // Room for the rows of at least those, growing as push_back does, so that a large
            // folder's rows are not moved again and again as the list grows.
            if (const size_t needed = rows_.size() + pdfFiles; needed > rows_.capacity())
                rows_.reserve(std::max(needed, 2 * rows_.capacity()));
        };
        events.onRow = [&](ListRow&& row) {
            // ".." of the listed folder is a row as in the window; the subfolders' are not.
            rows_.push_back(std::move(row));
            if (showProgress_ && ++counted_ % 100 == 0)
                std::fprintf(stderr, "\r%zu 件", counted_);
        };
        events.onFailure = [&](const ReadFailure& failure) {
            Complain(failure.name + ": " + failure.message);
        };
        events.onUnlistable = [&](const std::string& message) { Complain(message); };
        // A folder behind a link, or reached again, is not missing from a list that says why:
        // these are told, and the exit status stays that of a complete list.
        events.onLinkNotFollowed = [&](const std::string& path) {
            Complain(FileNameForDisplay(path) +
                         ": フォルダへのリンクなので中は読みません（--follow-links で読みます）",
                     false);
        };
        events.onRepeat = [&](const std::string& path, const std::string& firstPath) {
            Complain(FileNameForDisplay(path) + ": " + FileNameForDisplay(firstPath) +
                         " と同じフォルダなので、もう一度は読みません",
                     false);
        };
        ScanFolder(folder, settings_, {options_.recursive, 0, options_.followLinks}, events);
    }

    std::vector<ListRow>& Rows() { return rows_; }
    bool Failed() const { return failed_; }
    void EndProgress() const {
        if (showProgress_)
            std::fprintf(stderr, "\r%zu 件\n", counted_);
    }

private:
    void Complain(const std::string& text, bool failed = true) {
        if (showProgress_)
            std::fputc('\n', stderr);
        Tell(text);
        failed_ = failed_ || failed;
    }

    const Options& options_;
    ScanSettings settings_;
    std::vector<ListRow> rows_;
    bool failed_ = false;
    bool showProgress_ = false;
    size_t counted_ = 0;
};

// Inert, and a line break or tab, which would split the record, as a blank.
std::string TsvField(std::string_view cell) {
    std::string scratch;
    std::string out(InertText(cell, true, scratch));
    std::replace_if(
        out.begin(), out.end(), [](char c) { return c == '\t' || c == '\r' || c == '\n'; }, ' ');
    return out;
}

// One record per file row, the columns named by their captions.
std::string Records(const std::vector<ListRow>& rows, const std::vector<Column>& columns,
                    bool json) {
    std::string out = json ? "[" : "";
    if (!json) {
        for (size_t i = 0; i < columns.size(); ++i)
            out.append(i ? "\t" : "").append(InfoOf(columns[i]).caption);
        out += "\n";
    }
    bool first = true;
    for (const ListRow& row : rows) {
        if (row.isFolder)
            continue;
        for (size_t i = 0; i < columns.size(); ++i) {
            const std::string_view cell = CellText(row, columns[i]);
            if (!json) {
                out.append(i ? "\t" : "").append(TsvField(cell));
                continue;
            }
            out += std::string(i       ? ", "
                               : first ? "\n{"
                                       : ",\n{") +
                   JsonString(std::string(InfoOf(columns[i]).caption)) + ": " +
                   JsonString(std::string(cell));
            // The caption only shows a name that is not UTF-8; its bytes name the file.
            if (columns[i] == Column::Name)
                if (const std::string bytes = PathBytesField(row.nameBytes); !bytes.empty())
                    out += ", " + bytes;
        }
        out += json ? "}" : "\n";
        first = false;
    }
    return json ? out + "\n]\n" : out;
}

// The folder's bytes as given, made absolute, without "." and ".." names, doubled slashes or a
// trailing one: the path the list's first line shows.
std::string AbsoluteFolder(const std::string& given) {
    namespace fs = std::filesystem;
    std::error_code error;
    // As given when it cannot be made absolute: the current folder is gone, or it is empty
    // (and refused as such by the listing).
    fs::path path = fs::absolute(given, error);
    std::string clean = (error ? fs::path(given) : path).lexically_normal().native();
    while (clean.size() > 1 && clean.back() == '/')
        clean.pop_back();
    return clean;
}

} // namespace

int main(int argc, char** argv) {
    // Over the file-size limit (ulimit -f), standard output redirected to a file would end the
    // program with this signal and no word; ignored, the write fails and is told.
    std::signal(SIGXFSZ, SIG_IGN);
    const Options options = ParseOptions(argc, argv);
    const std::string folderBytes = AbsoluteFolder(options.folder);
    Lister lister(options);
    try {
        lister.List(folderBytes);
    } catch (const EPagewickError& e) {
        Tell(e.what());
        return 2;
    }
    lister.EndProgress();
    SortRowsByLocale(lister.Rows(), options.sortColumn);
    const std::string bytes =
        options.format == "list"
            ? BuildSavedList(FileNameForDisplay(folderBytes), lister.Rows(), ListEncoding::Cp932)
        : options.format == "csv"
            ? BuildCsvTable(lister.Rows(), options.columns)
            : Records(lister.Rows(), options.columns, options.format == "json");
    try {
        if (!options.output.empty())
            WriteFileSafely(options.output, bytes);
        else if (std::fwrite(bytes.data(), 1, bytes.size(), stdout) != bytes.size() ||
                 std::fflush(stdout) != 0)
            throw EPagewickError("標準出力に書けません（" + WriteFailureReason(errno) + "）");
    } catch (const EPagewickError& e) {
        Tell(e.what());
        return 2;
    }
    // The process ends without freeing the rows one by one, which for a large folder takes
    // about as long as sorting them.
    std::fflush(nullptr);
    std::_Exit(lister.Failed() ? 1 : 0);
}
