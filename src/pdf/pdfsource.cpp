// SPDX-License-Identifier: GPL-3.0-or-later
#include "pdf/pdfsource.h"

#include "common/errors.h"
#include "pdf/pdftext.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

namespace {

constexpr int64_t kBlockSize = 256;

// Block buffers are kept for the next reader of the thread: a folder's files are read one
// after another, and fresh buffers for each file cost more than reading the bytes into them.
constexpr size_t kSpareBlocks = 16;
thread_local std::vector<std::unique_ptr<char[]>> spareBlocks;

} // namespace

ByteSource::ByteSource(const std::string& fileName) {
    // Non-blocking, so that a FIFO with a .pdf name cannot stall the open.
    fd_ = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    struct stat st {};
    if (fd_ < 0 || ::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
        throw EFOpenError(fileName);
    }
    size_ = int64_t(st.st_size);
    // The reader takes a few blocks near the start and the end; the kernel's read-ahead would
    // fetch far more of a file that is not cached, and push other files' blocks out for it.
    ::posix_fadvise(fd_, 0, 0, POSIX_FADV_RANDOM);
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
    if (useCount_ != 0 || size_ <= kCacheBlockSize || size_ > int64_t(kBlocks) * kCacheBlockSize)
        return false;
    std::array<iovec, kBlocks> parts{};
    const size_t count = size_t((size_ + kCacheBlockSize - 1) / kCacheBlockSize);
    for (size_t j = 0; j < count; ++j) {
        TakeBuffer(cache_[j]);
        parts[j] = {
            cache_[j].data.get(),
            size_t(std::min<int64_t>(kCacheBlockSize, size_ - int64_t(j) * kCacheBlockSize))};
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
    const int64_t wanted = std::clamp<int64_t>(size_ - start, 0, kCacheBlockSize);
    TakeBuffer(*slot);
    int64_t done = 0;
    while (done < wanted) {
        const ssize_t n =
            ::pread(fd_, slot->data.get() + done, size_t(wanted - done), off_t(start + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += n;
    }
    slot->size = done; // short at the end of the file, or after a read error
    return *slot;
}

int64_t ByteSource::ReadAt(int64_t offset, char* buffer, int64_t count) const {
    if (offset < 0 || count <= 0)
        return 0;
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

std::string ByteSource::HeaderLine() {
    char head[10];
    const int64_t n = ReadAt(0, head, sizeof head);
    const std::string_view bytes(head, size_t(n));
    return std::string(bytes.substr(0, bytes.find_first_of("\r\n")));
}

KeywordRead ByteSource::ReadUntilKeyword(int64_t offset, std::string_view keyword, size_t limit) {
    KeywordRead result;
    if (offset < 0)
        return result;
    // The read goes in steps of kBlockSize bytes and stops once at most one byte of the file is
    // left after a step, so a text that never holds the keyword ends where that step ends.
    const int64_t available = std::max<int64_t>(size_ - offset, 0);
    const int64_t steps = std::max<int64_t>(1, (available - 1 + kBlockSize - 1) / kBlockSize);
    const int64_t end = offset + std::min({int64_t(limit), available, steps * kBlockSize});
    for (int64_t at = offset; at < end;) {
        const CachedBlock& block = BlockAt(at - at % kCacheBlockSize);
        const int64_t within = at - block.start;
        const int64_t n = std::min(block.size - within, end - at);
        if (n <= 0)
            break; // the file shrank under us
        const std::string_view chunk = block.Bytes().substr(size_t(within), size_t(n));
        // A keyword that straddles the edge to the text read so far starts before any found
        // in the chunk itself; only the bytes before the keyword are copied.
        size_t p = std::string::npos;
        if (!result.bytes.empty() && keyword.size() > 1) {
            const size_t keep = std::min(result.bytes.size(), keyword.size() - 1);
            std::string edge = result.bytes.substr(result.bytes.size() - keep);
            edge.append(chunk.substr(0, keyword.size() - 1));
            if (const size_t q = FindNoCase(edge, keyword); q != std::string::npos)
                p = result.bytes.size() - keep + q;
        }
        if (p == std::string::npos) {
            if (const size_t q = FindNoCase(chunk, keyword); q != std::string::npos)
                p = result.bytes.size() + q;
        }
        if (p != std::string::npos) {
            if (p > result.bytes.size())
                result.bytes.append(chunk.substr(0, p - result.bytes.size()));
            else
                result.bytes.resize(p);
            result.found = true;
            result.keywordOffset = offset + int64_t(p);
            return result;
        }
        result.bytes.append(chunk);
        at += n;
    }
    return result;
}

std::string ByteSource::ReadDirect(int64_t offset, int64_t count) const {
    std::string out;
    if (offset < 0 || offset >= size_ || count <= 0)
        return out;
    count = std::min(count, size_ - offset);
    // Small reads are better served by the blocks, which neighbouring reads share.
    if (count <= kCacheBlockSize) {
        out.resize(size_t(count));
        out.resize(size_t(ReadAt(offset, out.data(), count)));
        return out;
    }
    out.resize(size_t(count));
    int64_t done = 0;
    while (done < count) {
        const ssize_t n =
            ::pread(fd_, out.data() + done, size_t(count - done), off_t(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += n;
    }
    out.resize(size_t(done));
    return out;
}
