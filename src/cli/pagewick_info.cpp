// SPDX-License-Identifier: GPL-3.0-or-later
// pagewick-info [--password P] [--lenient] FILE...
// Prints one JSON object per line for each file: its document properties, or why it could not
// be read (the reader's message, or that it is missing, a folder or not a regular file).
// Exits with 1 when any file could not be read, 2 for bad arguments or when standard output
// cannot be written.

#include "cli/infojson.h"
#include "common/errors.h"
#include "jtext/cp932.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

const char kUsage[] = "usage: pagewick-info [--password P] [--lenient] FILE...\n"
                      "       pagewick-info --help | --version\n";

// Why file cannot be read as a document before the reader is asked; empty when it can. The
// reader would take a folder or a missing file for an empty document, and would wait for
// ever on a FIFO.
std::string NotAFile(const std::string& file) {
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0)
        return errno == ENOENT || errno == ENOTDIR ? "ファイルがありません" : std::strerror(errno);
    if (S_ISDIR(st.st_mode))
        return "フォルダです";
    if (!S_ISREG(st.st_mode))
        return "通常のファイルではありません";
    return {};
}

} // namespace

int main(int argc, char** argv) {
    std::string password;
    bool lenient = false;
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (arg == "--version") {
            std::puts("pagewick-info " PAGEWICK_VERSION);
            return 0;
        } else if (arg == "--password" && i + 1 < argc) {
            password = argv[++i];
        } else if (arg.rfind("--password=", 0) == 0) {
            password = arg.substr(11);
        } else if (arg == "--lenient") {
            lenient = true;
        } else if (arg == "--") {
            files.insert(files.end(), argv + i + 1, argv + argc);
            break;
        } else if (arg.size() > 1 && arg[0] == '-') {
            std::fprintf(stderr, "pagewick-info: unknown option %s\n%s", arg.c_str(), kUsage);
            return 2;
        } else {
            files.push_back(arg);
        }
    }
    if (files.empty()) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    // The password is typed as UTF-8 here; the reader compares code page 932 bytes.
    const std::string password932 = Utf8ToCp932(password);
    bool anyFailed = false;
    for (const std::string& file : files) {
        TpdfInfomation info;
        std::string line;
        if (const std::string why = NotAFile(file); !why.empty()) {
            line = ErrorToJson(file, why);
            anyFailed = true;
        } else {
            try {
                ReadPdfInfo(file, password932, info, lenient, password);
                line = InfoToJson(file, info);
            } catch (const std::exception& e) {
                line = ErrorToJson(file, e.what());
                anyFailed = true;
            }
        }
        line += '\n';
        if (std::fwrite(line.data(), 1, line.size(), stdout) != line.size())
            break;
    }
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "pagewick-info: 標準出力に書けません: %s\n", std::strerror(errno));
        return 2;
    }
    return anyFailed ? 1 : 0;
}
