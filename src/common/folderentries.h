// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A folder's entries as the kernel lists them. The C library's opendir asks for the folder's
// status before its first name, which on a share is a round trip of its own; a folder opened as
// a folder needs none.

#include <dirent.h>
#include <fcntl.h>

#include <cstddef>
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

    // The entries ReadWhole read, gone over again from memory: valid as long as the
    // FolderEntries they come from, and only from one thread at a time with its next().
    class Listing {
    public:
        Listing() = default;
        // The folder the entries are in, open (-1 for a listing of nothing).
        int fd() const { return fd_; }
        // As FolderEntries::next, without the error.
        const dirent64* next();

    private:
        friend class FolderEntries;
        Listing(int fd, const char* at, const char* end) : fd_(fd), at_(at), end_(end) {}
        int fd_ = -1;
        const char* at_ = nullptr;
        const char* end_ = nullptr;
    };
    // Reads the entries next() has not handed out yet at once, for a folder gone over more
    // than once (on a share each pass is round trips to the server): next() then hands them
    // out from memory, and listing() goes over them again. Once only, before any next(), to
    // have listing() give them all. A listing that fails part way keeps what it read and
    // tells the error once next() reaches its end.
    void ReadWhole();
    // What ReadWhole read; nothing before it.
    Listing listing() const;

private:
    static constexpr size_t kBlock = 32 * 1024; // as much as the C library reads at once
    int fd_ = -1;
    int error_ = 0;
    size_t at_ = 0;
    size_t end_ = 0;
    size_t capacity_ = 0;
    bool whole_ = false;
    std::unique_ptr<char[]> block_;
};
