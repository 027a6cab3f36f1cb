// SPDX-License-Identifier: GPL-3.0-or-later
// pagewick-iofloor DIR
// The least file-system work a folder listing of PDF properties could do: every entry of DIR
// in directory order is looked up, opened, its first 10 bytes and its last 1,024 bytes are
// read, and it is closed. The time this takes on a warm cache is the floor the lister is
// measured against. Prints the number of files read.
// The files are read one after another, never two at once: on a mount that makes each request
// wait (run.sh --latency-ms), this is the sequential floor, the time a reader that waits for
// every request in turn cannot beat.

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: pagewick-iofloor DIR\n");
        return 2;
    }
    DIR* dir = ::opendir(argv[1]);
    if (!dir) {
        std::fprintf(stderr, "pagewick-iofloor: %s: %s\n", argv[1], std::strerror(errno));
        return 2;
    }
    const std::string prefix = std::string(argv[1]) + "/";
    char head[10];
    char tail[1024];
    long files = 0;
    int failures = 0;
    while (const dirent* entry = ::readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0)
            continue;
        const std::string path = prefix + entry->d_name;
        struct stat st;
        if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
            continue;
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            ++failures;
            continue;
        }
        const off_t from = st.st_size > off_t(sizeof tail) ? st.st_size - off_t(sizeof tail) : 0;
        if (::pread(fd, head, sizeof head, 0) < 0 || ::pread(fd, tail, sizeof tail, from) < 0)
            ++failures;
        ::close(fd);
        ++files;
    }
    ::closedir(dir);
    std::printf("%ld\n", files);
    if (failures > 0)
        std::fprintf(stderr, "pagewick-iofloor: %d files could not be read\n", failures);
    return failures > 0 ? 1 : 0;
}
