// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The bottom layer of the reader: one open file read through a few cached blocks, with reads at
// an offset and forward searches for a keyword. It knows nothing of PDF objects.

#include "common/filestatus.h"

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>

class ByteSource {
public:
    // Opens path read-only; other programs may go on reading and writing it. Raises
    // EFOpenError (with the system's reason) when it cannot be opened or is no regular file.
    // folder, when given, is the open folder that holds the file: the file is opened by the
    // last name of path relative to it, and path names it in messages.
    explicit ByteSource(const std::string& path, int folder = -1);
    ~ByteSource();
    ByteSource(const ByteSource&) = delete;
    ByteSource& operator=(const ByteSource&) = delete;

    int64_t Size() const { return status_.size; }
    // The file as it was when opened.
    const FileStatus& Status() const { return status_; }
    // Up to count bytes at offset through the block cache; returns how many were read.
    int64_t ReadAt(int64_t offset, char* buffer, int64_t count) const;
    // count bytes at offset (fewer at the end of the file, none outside it): long reads such
    // as a stream's data go past the cache.
    std::string Read(int64_t offset, int64_t count) const;
    // The bytes from offset to the end of the cached block that holds it (read into the cache
    // first when it is not there): a view that stays valid until the next read or search of
    // this source. Empty outside the file.
    std::string_view CachedFrom(int64_t offset) const;
    // Where keyword next starts at or after from, looking at most limit bytes on (the keyword
    // must start within them); -1 when it does not. The ranges searched are remembered, so
    // that no byte is searched twice for one keyword whatever the order of the searches: a
    // file made of objects that each end nowhere costs one pass, not one pass an object.
    int64_t Find(std::string_view keyword, int64_t from, int64_t limit) const;

private:
    // Reads go through a few cached blocks: the reader asks for a few hundred bytes at a time,
    // mostly near the end of the file and near each other.
    struct CachedBlock {
        int64_t start = -1;
        std::unique_ptr<char[]> data; // kCacheBlockSize bytes, of which size were read
        int64_t size = 0;
        uint64_t lastUse = 0;
    };
    static constexpr int64_t kCacheBlockSize = 4 << 10;
    const CachedBlock& BlockAt(int64_t start) const;
    void TakeBuffer(CachedBlock& block) const;
    bool ReadWholeSmallFile() const;
    // A read across a block's end, such as the reader's first look at a file's tail, reads the
    // blocks first to last (their starts) in one call when none of them is cached: on a share
    // each call is a round trip.
    void ReadMissingSpan(int64_t first, int64_t last) const;
    int64_t Pread(char* buffer, int64_t count, int64_t offset) const;
    mutable std::array<CachedBlock, 8> cache_;
    mutable uint64_t useCount_ = 0;

    // For each keyword searched, the ranges known to hold no start of it, by their start: each
    // ends where the keyword starts (hit) or where the search stopped.
    struct Searched {
        int64_t end = 0;
        bool hit = false;
    };
    using SearchedRanges = std::map<int64_t, Searched>;
    void Remember(SearchedRanges& ranges, int64_t start, int64_t end, bool hit) const;
    mutable std::map<std::string, SearchedRanges, std::less<>> searched_;

    int fd_ = -1;
    FileStatus status_;
};
