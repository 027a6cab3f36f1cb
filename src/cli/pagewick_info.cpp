// SPDX-License-Identifier: GPL-3.0-or-later
// pagewick-info [--password P] [--lenient] FILE...
// Prints one JSON object per line for each file: its document properties, or why it could not
// be read (the reader's message and the kind of failure).
// Exits with 1 when any file could not be read, 2 for bad arguments or when standard output
// cannot be written.

#include "cli/infojson.h"
#include "common/errors.h"
#include "pdf/documentreader.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char kUsage[] = "usage: pagewick-info [--password P] [--lenient] FILE...\n"
                      "       pagewick-info --help | --version\n";

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
    const ReadOptions options{.password = password, .lenientPassword = lenient, .features = true};
    bool anyFailed = false;
    for (const std::string& file : files) {
        std::string line;
        try {
            line = InfoToJson(file, ReadPdfInfo(file, options));
        } catch (const EPagewickError& e) {
            line = ErrorToJson(file, e.what(), e.Kind());
            anyFailed = true;
        } catch (const std::exception& e) {
            line = ErrorToJson(file, e.what(), ErrorKind::Other);
            anyFailed = true;
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
