// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/folderentries.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

FolderEntries::FolderEntries(const std::string& folder, int at)
    : fd_(::openat(at, folder.c_str(), O_RDONLY | O_NONBLOCK | O_DIRECTORY | O_CLOEXEC)) {}

FolderEntries::~FolderEntries() {
    if (fd_ >= 0)
        ::close(fd_);
}

const dirent64* FolderEntries::next() {
    if (fd_ < 0)
        return nullptr;
    if (at_ == end_) {
        if (!block_)
            block_.reset(new char[kBlock]); // not cleared: the kernel writes what is read
        const ssize_t got = ::getdents64(fd_, block_.get(), kBlock);
        if (got <= 0) {
            error_ = got < 0 ? errno : 0;
            return nullptr;
        }
        at_ = 0;
        end_ = size_t(got);
    }
    const auto* entry = reinterpret_cast<const dirent64*>(block_.get() + at_);
    at_ += entry->d_reclen;
    return entry;
}
