// SPDX-License-Identifier: GPL-3.0-or-later
// pagewick-latencyfs --latency-ms N SOURCE MOUNTPOINT [FUSE options]
// A read-only passthrough of SOURCE at MOUNTPOINT that makes every lookup, getattr, open, read
// and readdir wait N milliseconds before it answers, the way a network share or a slow USB
// stick does. The kernel keeps nothing between requests (no entry or attribute cache, direct
// I/O for data), so each run of a benchmark pays every round trip again: the mount is cold
// however often it is read. Requests are served on many threads, so programs that keep many
// requests in flight see the delay overlap, as they would on a real share.
//
// Without -f it goes to the background once mounted; unmount with fusermount3 -u MOUNTPOINT.

#define FUSE_USE_VERSION 314
#include <fuse3/fuse.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

int sourceFd = -1;
std::chrono::microseconds delay{0};

void Wait() {
    if (delay.count() > 0)
        std::this_thread::sleep_for(delay);
}

// FUSE paths begin with "/"; the source folder's descriptor is their root.
const char* Relative(const char* path) {
    while (*path == '/')
        ++path;
    return *path ? path : ".";
}

void* Init(fuse_conn_info* connection, fuse_config* config) {
    // Lookups of names the kernel has not seen are otherwise made one at a time a folder, which
    // no network file system does.
    if (connection->capable & FUSE_CAP_PARALLEL_DIROPS)
        connection->want |= FUSE_CAP_PARALLEL_DIROPS;
    config->entry_timeout = 0;
    config->attr_timeout = 0;
    config->negative_timeout = 0;
    config->direct_io = 1;
    config->kernel_cache = 0;
    config->auto_cache = 0;
    config->use_ino = 1;
    return nullptr;
}

// The library looks names up through this too, so a lookup waits as a getattr does.
int GetAttr(const char* path, struct stat* st, fuse_file_info* fi) {
    Wait();
    const int result = fi ? ::fstat(int(fi->fh), st)
                          : ::fstatat(sourceFd, Relative(path), st, AT_SYMLINK_NOFOLLOW);
    return result == 0 ? 0 : -errno;
}

int ReadLink(const char* path, char* buffer, size_t size) {
    const ssize_t n = ::readlinkat(sourceFd, Relative(path), buffer, size - 1);
    if (n < 0)
        return -errno;
    buffer[n] = '\0';
    return 0;
}

int Open(const char* path, fuse_file_info* fi) {
    Wait();
    if ((fi->flags & O_ACCMODE) != O_RDONLY)
        return -EROFS;
    const int fd = ::openat(sourceFd, Relative(path), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return -errno;
    fi->fh = uint64_t(fd);
    fi->direct_io = 1;
    fi->keep_cache = 0;
    return 0;
}

int Read(const char*, char* buffer, size_t size, off_t offset, fuse_file_info* fi) {
    Wait();
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pread(int(fi->fh), buffer + done, size - done, offset + off_t(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return done > 0 ? int(done) : -errno;
        if (n == 0)
            break;
        done += size_t(n);
    }
    return int(done);
}

int Release(const char*, fuse_file_info* fi) {
    ::close(int(fi->fh));
    return 0;
}

int ReadDir(const char* path, void* buffer, fuse_fill_dir_t fill, off_t, fuse_file_info*,
            fuse_readdir_flags) {
    Wait();
    const int fd = ::openat(sourceFd, Relative(path), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return -errno;
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        const int error = errno;
        ::close(fd);
        return -error;
    }
    while (const dirent* entry = ::readdir(dir)) {
        struct stat st {};
        st.st_ino = entry->d_ino;
        st.st_mode = DTTOIF(entry->d_type);
        if (fill(buffer, entry->d_name, &st, 0, fuse_fill_dir_flags(0)) != 0)
            break;
    }
    ::closedir(dir);
    return 0;
}

int StatFs(const char*, struct statvfs* st) {
    return ::fstatvfs(sourceFd, st) == 0 ? 0 : -errno;
}

[[noreturn]] void Usage() {
    std::fprintf(stderr,
                 "usage: pagewick-latencyfs --latency-ms N SOURCE MOUNTPOINT [FUSE options]\n");
    std::exit(2);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 5 || std::strcmp(argv[1], "--latency-ms") != 0)
        Usage();
    char* end = nullptr;
    const double ms = std::strtod(argv[2], &end);
    if (end == argv[2] || *end != '\0' || !(ms >= 0) || ms > 60000)
        Usage();
    delay = std::chrono::microseconds(long(ms * 1000));
    sourceFd = ::open(argv[3], O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (sourceFd < 0) {
        std::fprintf(stderr, "pagewick-latencyfs: %s: %s\n", argv[3], std::strerror(errno));
        return 2;
    }

    fuse_operations ops{};
    ops.init = Init;
    ops.getattr = GetAttr;
    ops.readlink = ReadLink;
    ops.open = Open;
    ops.read = Read;
    ops.release = Release;
    ops.readdir = ReadDir;
    ops.statfs = StatFs;

    // Enough threads that a program with a hundred requests in flight finds them all served
    // at once; the default of ten would make the file system, not the program, the limit.
    std::vector<char*> args{argv[0], argv[4]};
    for (int i = 5; i < argc; ++i)
        args.push_back(argv[i]);
    std::string options = "-oro,fsname=pagewick-latency,max_threads=256,"
                          "max_idle_threads=256";
    args.push_back(options.data());
    return fuse_main(int(args.size()), args.data(), &ops, nullptr);
}
