// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/bytestream.h"

#include <algorithm>
#include <cstring>

int64_t MemoryStream::Read(void* buffer, int64_t count) {
    if (count <= 0 || position_ >= Size())
        return 0;
    const int64_t n = std::min(count, Size() - position_);
    std::memcpy(buffer, data_.data() + position_, size_t(n));
    position_ += n;
    return n;
}

int64_t MemoryStream::Write(const void* buffer, int64_t count) {
    if (count <= 0)
        return 0;
    if (position_ + count > Size())
        data_.resize(size_t(position_ + count));
    std::memcpy(data_.data() + position_, buffer, size_t(count));
    position_ += count;
    return count;
}

void MemoryStream::Seek(int64_t position) {
    position_ = std::clamp<int64_t>(position, 0, Size());
}
