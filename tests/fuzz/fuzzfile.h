// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A scratch file that a fuzz target rewrites for every input, in a folder of its own that is
// removed when the process ends.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <string_view>
#include <unistd.h>

class FuzzFile {
public:
    explicit FuzzFile(std::string_view name) {
        // Memory-backed when possible: the fuzzer writes a file for every execution.
        const char* base = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : std::getenv("TMPDIR");
        std::string dir = std::string(base ? base : "/tmp") + "/pagewick-fuzz-XXXXXX";
        if (!::mkdtemp(dir.data()))
            std::abort();
        dir_ = dir;
        path_ = dir_ + "/" + std::string(name);
        fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        if (fd_ < 0)
            std::abort();
    }
    ~FuzzFile() {
        ::close(fd_);
        ::unlink(path_.c_str());
        ::rmdir(dir_.c_str());
    }
    FuzzFile(const FuzzFile&) = delete;
    FuzzFile& operator=(const FuzzFile&) = delete;

    const std::string& Path() const { return path_; }

    void Write(const uint8_t* data, size_t size) {
        if (::ftruncate(fd_, 0) != 0)
            std::abort();
        size_t done = 0;
        while (done < size) {
            const ssize_t n = ::pwrite(fd_, data + done, size - done, off_t(done));
            if (n <= 0)
                std::abort();
            done += size_t(n);
        }
    }

private:
    std::string dir_, path_;
    int fd_ = -1;
};
