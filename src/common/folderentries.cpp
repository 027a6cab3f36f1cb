// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/folderentries.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
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
        if (whole_)
            return nullptr;
        if (!block_) {
            block_.reset(new char[kBlock]); // not cleared: the kernel writes what is read
            capacity_ = kBlock;
        }
        const ssize_t got = ::getdents64(fd_, block_.get(), capacity_);
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

void FolderEntries::ReadWhole() {
    if (fd_ < 0 || whole_)
        return;
    whole_ = true;
    // What the last block still holds goes first; every block after it is read behind it.
    if (at_ > 0)
        std::memmove(block_.get(), block_.get() + at_, end_ - at_);
    end_ -= at_;
    at_ = 0;
    for (;;) {
        if (capacity_ - end_ < kBlock) {
            const size_t grown = std::max(2 * capacity_, end_ + kBlock);
            std::unique_ptr<char[]> larger(new char[grown]);
            if (end_ > 0)
                std::memcpy(larger.get(), block_.get(), end_);
            block_ = std::move(larger);
            capacity_ = grown;
        }
        const ssize_t got = ::getdents64(fd_, block_.get() + end_, capacity_ - end_);
        if (got <= 0) {
            error_ = got < 0 ? errno : 0;
            return;
        }
        end_ += size_t(got);
    }
}

FolderEntries::Listing FolderEntries::listing() const {
    if (!whole_)
        return {};
    return Listing(fd_, block_.get(), block_.get() + end_);
}

const dirent64* FolderEntries::Listing::next() {
    if (at_ == end_)
        return nullptr;
    const auto* entry = reinterpret_cast<const dirent64*>(at_);
    at_ += entry->d_reclen;
    return entry;
}
