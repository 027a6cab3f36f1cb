// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The MD5 message digest (RFC 1321): start, feed any number of times, finish.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

struct Md5State {
    uint32_t abcd[4];   // chaining values A, B, C, D
    uint32_t count[2];  // message length in bits, low word first
    uint8_t buffer[64]; // the block being filled
};

using Md5Digest = std::array<uint8_t, 16>;

void Md5Start(Md5State& state);
void Md5Feed(Md5State& state, const void* bytes, size_t count);
// Pads, writes the digest and sets every byte of the state to zero.
void Md5Finish(Md5State& state, Md5Digest& digest);
// Digest of all bytes of text, zero bytes included.
void Md5OfString(std::string_view text, Md5Digest& digest);
