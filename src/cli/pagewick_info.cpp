// pagewick-info [--password P] [--lenient] FILE...
// Prints one JSON object per line for each file: its document properties, or the reader's
// error message. Exits with 1 when any file could not be read, 2 for bad arguments.

#include "cli/infojson.h"
#include "common/errors.h"
#include "jtext/cp932.h"

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
    // The password is typed as UTF-8 here; the reader compares code page 932 bytes.
    const std::string password932 = Utf8ToCp932(password);
    bool anyFailed = false;
    for (const std::string& file : files) {
        TpdfInfomation info;
        std::string line;
        try {
            ReadPdfInfo(file, password932, info, lenient, password);
            line = InfoToJson(file, info);
        } catch (const EPagewickError& e) {
            line = ErrorToJson(file, e.what());
            anyFailed = true;
        } catch (const std::exception& e) {
            line = ErrorToJson(file, e.what());
            anyFailed = true;
        }
        std::fputs(line.c_str(), stdout);
        std::fputc('\n', stdout);
    }
    return anyFailed ? 1 : 0;
}
