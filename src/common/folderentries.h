// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A folder's entries as the kernel lists them. The C library's opendir asks for the folder's
// status before its first name, which on a share is a round trip of its own; a folder opened as
// a folder needs none.

#include <dirent.h>
#include <fcntl.h>

#include <memory>
#include <string>

class FolderEntries {
public:
    // Opens folder (bytes), relative to the open folder at when given; isOpen() false with
    // errno set when it cannot be.
    explicit FolderEntries(const std::string& folder, int at = AT_FDCWD);
    ~FolderEntries();
    FolderEntries(const FolderEntries&) = delete;
    FolderEntries& operator=(const FolderEntries&) = delete;

    bool isOpen() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    // The next entry, "." and ".." included, valid until the next call; nullptr at the end or
    // on an error, which error() then tells (0 at the end).
    const dirent64* next();
    int error() const { return error_; }

private:
    static constexpr size_t kBlock = 32 * 1024; // as much as the C library reads at once
    int fd_ = -1;
    int error_ = 0;
    size_t at_ = 0;
    size_t end_ = 0;
    std::unique_ptr<char[]> block_;
};
