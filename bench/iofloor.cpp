// SPDX-License-Identifier: GPL-3.0-or-later
// pagewick-iofloor [--threads N] DIR
// The least file-system work a folder listing of PDF properties could do: every entry of DIR
// in directory order is looked up, opened, its first 10 bytes and its last 1,024 bytes are
// read, and it is closed. The time this takes on a warm cache is the floor the lister is
// measured against. Prints the number of files read.
// The files are read one after another, never two at once: on a mount that makes each request
// wait (run.sh --latency-ms), this is the sequential floor, the time a reader that waits for
// every request in turn cannot beat. With --threads N the names are read first and N threads
// share the entries (the two-thread floor: what two processors could do at best).

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

std::atomic<long> files{0};
std::atomic<int> failures{0};

// The least work for one entry: look it up, open it, read its head and its tail, close it.
void ReadEntry(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        ++failures;
        return;
    }
    char head[10];
    char tail[1024];
    const off_t from = st.st_size > off_t(sizeof tail) ? st.st_size - off_t(sizeof tail) : 0;
    if (::pread(fd, head, sizeof head, 0) < 0 || ::pread(fd, tail, sizeof tail, from) < 0)
        ++failures;
    ::close(fd);
    ++files;
}

bool IsDotOrDotDot(const char* name) {
    return std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0;
}

} // namespace

int main(int argc, char** argv) {
    int threads = 1;
    if (argc == 4 && std::strcmp(argv[1], "--threads") == 0)
        threads = std::atoi(argv[2]);
    if ((argc != 2 && argc != 4) || threads < 1) {
        std::fprintf(stderr, "usage: pagewick-iofloor [--threads N] DIR\n");
        return 2;
    }
    const char* folder = argv[argc - 1];
    DIR* dir = ::opendir(folder);
    if (!dir) {
        std::fprintf(stderr, "pagewick-iofloor: %s: %s\n", folder, std::strerror(errno));
        return 2;
    }
    const std::string prefix = std::string(folder) + "/";
    if (threads == 1) {
        // One entry after another, as the folder gives them.
        while (const dirent* entry = ::readdir(dir))
            if (!IsDotOrDotDot(entry->d_name))
                ReadEntry(prefix + entry->d_name);
    } else {
        // The names first, then each thread takes its share of them at once.
        std::vector<std::string> paths;
        while (const dirent* entry = ::readdir(dir))
            if (!IsDotOrDotDot(entry->d_name))
                paths.push_back(prefix + entry->d_name);
        std::vector<std::thread> pool;
        for (int t = 0; t < threads; ++t)
            pool.emplace_back([&, t] {
                for (size_t i = size_t(t); i < paths.size(); i += size_t(threads))
                    ReadEntry(paths[i]);
            });
        for (std::thread& thread : pool)
            thread.join();
    }
    ::closedir(dir);
    std::printf("%ld\n", files.load());
    if (failures > 0)
        std::fprintf(stderr, "pagewick-iofloor: %d files could not be read\n", failures.load());
    return failures > 0 ? 1 : 0;
}
