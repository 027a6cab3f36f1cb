// SPDX-License-Identifier: GPL-3.0-or-later
#include "pdf/bytesource.h"

#include "common/errors.h"
#include "jtext/filename.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>
#include <vector>

namespace {

// Block buffers are kept for the next reader of the thread: a folder's files are read one
// after another, and fresh buffers for each file cost more than reading the bytes into them.
constexpr size_t kSpareBlocks = 16;
thread_local std::vector<std::unique_ptr<char[]>> spareBlocks;

} // namespace

ByteSource::ByteSource(const std::string& path, int folder) {
    const char* name = path.c_str();
    if (folder >= 0)
        name += path.rfind('/') + 1; // npos + 1: the whole path
    else
        folder = AT_FDCWD;
    // Non-blocking, so that a FIFO with a .pdf name cannot stall the open.
    fd_ = ::openat(folder, name, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd_ < 0)
        throw EFOpenError(FileNameForDisplay(path), SystemReason(errno));
    // The attributes the open has just fetched: on a share a fresh ask would be one more
    // round trip for the same answer.
    const bool stated = StatFile(fd_, "", AT_EMPTY_PATH | AT_STATX_DONT_SYNC, status_);
    const int error = errno;
    if (!stated || !S_ISREG(status_.mode)) {
        ::close(fd_);
        fd_ = -1;
        throw EFOpenError(FileNameForDisplay(path), !stated ? SystemReason(error)
                                                    : S_ISDIR(status_.mode)
                                                        ? "フォルダです"
                                                        : "通常のファイルではありません");
    }
    // No advice against read-ahead: the kernel reads ahead only from the start of a file and
    // for reads that follow one another, and reads the few blocks the reader asks for elsewhere
    // as asked; the advice would cost a call a file.
}

ByteSource::~ByteSource() {
    if (fd_ >= 0)
        ::close(fd_);
    for (CachedBlock& block : cache_)
        if (block.data && spareBlocks.size() < kSpareBlocks)
            spareBlocks.push_back(std::move(block.data));
}

void ByteSource::TakeBuffer(CachedBlock& block) const {
    if (block.data)
        return;
    if (!spareBlocks.empty()) {
        block.data = std::move(spareBlocks.back());
        spareBlocks.pop_back();
    } else {
        block.data.reset(new char[kCacheBlockSize]); // left uninitialised: only read bytes count
    }
}

bool ByteSource::ReadWholeSmallFile() const {
    // A small file is read at its first read with one call, a block for each part of it: the
    // reader needs its head and its tail, and often the middle too.
    constexpr size_t kBlocks = 4;
    static_assert(kBlocks <= std::tuple_size_v<decltype(cache_)>);
    if (useCount_ != 0 || Size() <= kCacheBlockSize || Size() > int64_t(kBlocks) * kCacheBlockSize)
        return false;
    std::array<iovec, kBlocks> parts{};
    const size_t count = size_t((Size() + kCacheBlockSize - 1) / kCacheBlockSize);
    for (size_t j = 0; j < count; ++j) {
        TakeBuffer(cache_[j]);
        parts[j] = {
            cache_[j].data.get(),
            size_t(std::min<int64_t>(kCacheBlockSize, Size() - int64_t(j) * kCacheBlockSize))};
    }
    ssize_t n;
    do
        n = ::preadv(fd_, parts.data(), int(count), 0);
    while (n < 0 && errno == EINTR);
    // Only whole blocks are kept: a read may stop short (a network file system, a file that
    // shrank), and BlockAt then reads the rest block by block, as for a larger file.
    for (size_t j = 0; j < count; ++j) {
        const int64_t start = int64_t(j) * kCacheBlockSize;
        const bool whole = n >= start + int64_t(parts[j].iov_len);
        cache_[j].start = whole ? start : -1;
        cache_[j].size = whole ? int64_t(parts[j].iov_len) : 0;
        cache_[j].lastUse = ++useCount_;
    }
    return true;
}

const ByteSource::CachedBlock& ByteSource::BlockAt(int64_t start) const {
    if (ReadWholeSmallFile()) {
        for (CachedBlock& block : cache_)
            if (block.start == start)
                return block;
    }
    CachedBlock* slot = &cache_[0];
    for (CachedBlock& block : cache_) {
        if (block.start == start) {
            block.lastUse = ++useCount_;
            return block;
        }
        if (block.lastUse < slot->lastUse)
            slot = &block;
    }
    slot->start = start;
    slot->lastUse = ++useCount_;
    // Up to the size the file had when opened; a file that grew since is read as it was.
    const int64_t wanted = std::clamp<int64_t>(Size() - start, 0, kCacheBlockSize);
    TakeBuffer(*slot);
    slot->size = Pread(slot->data.get(), wanted, start); // short at the end, or after an error
    return *slot;
}

void ByteSource::ReadMissingSpan(int64_t first, int64_t last) const {
    // Only a span none of whose blocks is cached, and short enough to leave the cache blocks
    // that other reads of the file still use.
    constexpr int64_t kMostBlocks = 3;
    if (last <= first || last - first >= kMostBlocks * kCacheBlockSize)
        return;
    for (const CachedBlock& block : cache_)
        if (block.start >= first && block.start <= last)
            return;
    std::array<CachedBlock*, kMostBlocks> slots{};
    std::array<iovec, kMostBlocks> parts{};
    size_t count = 0;
    for (int64_t start = first; start <= last; start += kCacheBlockSize, ++count) {
        CachedBlock* slot = &cache_[0];
        for (CachedBlock& block : cache_)
            if (block.lastUse < slot->lastUse)
                slot = &block;
        slot->lastUse = ++useCount_; // not taken again for the next block of the span
        TakeBuffer(*slot);
        slots[count] = slot;
        parts[count] = {slot->data.get(),
                        size_t(std::min<int64_t>(kCacheBlockSize, Size() - start))};
    }
    ssize_t n;
    do
        n = ::preadv(fd_, parts.data(), int(count), first);
    while (n < 0 && errno == EINTR);
    // As for a small file read whole: only whole blocks are kept, BlockAt reads the rest.
    int64_t start = first;
    for (size_t j = 0; j < count; ++j, start += kCacheBlockSize) {
        const bool whole = n >= start - first + int64_t(parts[j].iov_len);
        slots[j]->start = whole ? start : -1;
        slots[j]->size = whole ? int64_t(parts[j].iov_len) : 0;
    }
}

int64_t ByteSource::ReadAt(int64_t offset, char* buffer, int64_t count) const {
    if (offset < 0 || count <= 0 || offset >= Size())
        return 0;
    if (const int64_t end = offset + std::min(count, Size() - offset); !ReadWholeSmallFile())
        ReadMissingSpan(offset - offset % kCacheBlockSize, (end - 1) - (end - 1) % kCacheBlockSize);
    int64_t done = 0;
    while (done < count) {
        const int64_t at = offset + done;
        const CachedBlock& block = BlockAt(at - at % kCacheBlockSize);
        const int64_t within = at - block.start;
        const int64_t available = block.size - within;
        if (available <= 0)
            break;
        const int64_t n = std::min(available, count - done);
        std::memcpy(buffer + done, block.data.get() + within, size_t(n));
        done += n;
        if (block.size < kCacheBlockSize)
            break; // the block ends the file
    }
    return done;
}

int64_t ByteSource::Pread(char* buffer, int64_t count, int64_t offset) const {
    int64_t done = 0;
    while (done < count) {
        const ssize_t n = ::pread(fd_, buffer + done, size_t(count - done), off_t(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += n;
    }
    return done;
}

std::string_view ByteSource::CachedFrom(int64_t offset) const {
    if (offset < 0 || offset >= Size())
        return {};
    const CachedBlock& block = BlockAt(offset - offset % kCacheBlockSize);
    const int64_t within = offset - block.start;
    if (within >= block.size)
        return {};
    return std::string_view(block.data.get() + within, size_t(block.size - within));
}

std::string ByteSource::Read(int64_t offset, int64_t count) const {
    std::string out;
    if (offset < 0 || offset >= Size() || count <= 0)
        return out;
    count = std::min(count, Size() - offset);
    out.resize(size_t(count));
    // Small reads are better served by the blocks, which neighbouring reads share.
    out.resize(size_t(count <= kCacheBlockSize ? ReadAt(offset, out.data(), count)
                                               : Pread(out.data(), count, offset)));
    return out;
}

void ByteSource::Remember(SearchedRanges& ranges, int64_t start, int64_t end, bool hit) const {
    auto [it, inserted] = ranges.insert_or_assign(start, Searched{end, hit});
    // Neighbours that meet without a hit between them become one range, so a run of searches
    // over one long stretch leaves one entry.
    if (it != ranges.begin()) {
        const auto previous = std::prev(it);
        if (!previous->second.hit && previous->second.end == start) {
            previous->second = it->second;
            ranges.erase(it);
            it = previous;
        }
    }
    if (const auto next = std::next(it);
        next != ranges.end() && !it->second.hit && it->second.end == next->first) {
        it->second = next->second;
        ranges.erase(next);
    }
}

int64_t ByteSource::Find(std::string_view keyword, int64_t from, int64_t limit) const {
    if (keyword.empty() || from < 0 || from >= Size() || limit <= 0)
        return -1;
    auto found = searched_.find(keyword);
    if (found == searched_.end())
        found = searched_.emplace(std::string(keyword), SearchedRanges()).first;
    SearchedRanges& ranges = found->second;
    const int64_t stop = from + std::min(limit, Size() - from); // the keyword starts before this
    constexpr int64_t kChunk = int64_t(64) << 10;
    std::string chunk;
    for (int64_t at = from; at < stop;) {
        auto next = ranges.upper_bound(at);
        if (next != ranges.begin()) {
            const Searched& known = std::prev(next)->second;
            if (at < known.end || (known.hit && at == known.end)) { // searched already
                if (known.hit)
                    return known.end < stop ? known.end : -1;
                at = known.end;
                continue;
            }
        }
        const int64_t end =
            std::min({stop, at + kChunk, next == ranges.end() ? stop : next->first});
        chunk = Read(at, end - at + int64_t(keyword.size()) - 1);
        const size_t p = chunk.find(keyword);
        if (p != std::string::npos && at + int64_t(p) < end) {
            Remember(ranges, at, at + int64_t(p), true);
            return at + int64_t(p);
        }
        Remember(ranges, at, end, false);
        at = end;
    }
    return -1;
}
