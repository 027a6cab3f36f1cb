// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The bottom layer of the reader: one open file read through a few cached blocks, with reads
// at an offset and forward searches for a keyword. It knows nothing of PDF objects.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

struct KeywordRead {
    std::string bytes; // from the start offset up to, not including, the keyword
    bool found = false;
    int64_t keywordOffset = -1; // where the keyword starts in the file, when found
};

class ByteSource {
public:
    // Opens fileName read-only; other programs may go on reading and writing it.
    // Raises EFOpenError when it cannot be opened or is not a regular file.
    explicit ByteSource(const std::string& fileName);
    ~ByteSource();
    ByteSource(const ByteSource&) = delete;
    ByteSource& operator=(const ByteSource&) = delete;

    int64_t Size() const { return size_; }
    // Up to count bytes at offset through the block cache; returns how many were read.
    int64_t ReadAt(int64_t offset, char* buffer, int64_t count) const;
    // count bytes at offset (fewer at the end of the file) read past the cache: for long
    // reads such as a stream's data or a scan of the whole file.
    std::string ReadDirect(int64_t offset, int64_t count) const;
    // The first bytes of the file (at most 10) up to the first CR or LF.
    std::string HeaderLine();
    // Reads forward from offset until keyword (lower case) or until limit bytes are read.
    KeywordRead ReadUntilKeyword(int64_t offset, std::string_view keyword, size_t limit);

private:
    // Reads go through a few cached blocks: the reader asks for a few hundred bytes at a time,
    // mostly near the end of the file and near each other.
    struct CachedBlock {
        int64_t start = -1;
        std::unique_ptr<char[]> data; // kCacheBlockSize bytes, of which size were read
        int64_t size = 0;
        uint64_t lastUse = 0;
        std::string_view Bytes() const { return {data.get(), size_t(size)}; }
    };
    static constexpr int64_t kCacheBlockSize = 4 << 10;
    const CachedBlock& BlockAt(int64_t start) const;
    void TakeBuffer(CachedBlock& block) const;
    bool ReadWholeSmallFile() const;
    mutable std::array<CachedBlock, 8> cache_;
    mutable uint64_t useCount_ = 0;

    int fd_ = -1;
    int64_t size_ = 0;
};
