// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A minimal seekable stream of bytes, so the cipher can work on files and buffers alike.

#include <cstdint>
#include <string>

class ByteStream {
public:
    virtual ~ByteStream() = default;
    // Reads up to count bytes at the position and advances it; returns how many were read.
    virtual int64_t Read(void* buffer, int64_t count) = 0;
    // Writes count bytes at the position and advances it; returns how many were written.
    virtual int64_t Write(const void* buffer, int64_t count) = 0;
    virtual void Seek(int64_t position) = 0;
    virtual int64_t Position() const = 0;
    virtual int64_t Size() const = 0;
};

// A stream over a byte string it owns; writing past the end grows it.
class MemoryStream : public ByteStream {
public:
    MemoryStream() = default;
    explicit MemoryStream(std::string bytes) : data_(std::move(bytes)) {}

    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    void Seek(int64_t position) override;
    int64_t Position() const override { return position_; }
    int64_t Size() const override { return int64_t(data_.size()); }

    const std::string& Bytes() const { return data_; }

private:
    std::string data_;
    int64_t position_ = 0;
};
