// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The RC4 stream cipher. Encrypting and decrypting are the same operation.

#include <array>
#include <cstdint>

class ByteStream;

// The permutation lives inside the state, so every state has a table of its own.
struct Rc4State {
    int32_t i = 0;
    int32_t j = 0;
    std::array<uint8_t, 256> S{};
};

// Key byte k of the schedule is key[(keyOffset + k) mod keyLength]; keyLength must be >= 1.
void Rc4Setup(Rc4State& state, const uint8_t* key, int keyLength, int keyOffset = 0);
// XORs count bytes of buffer in place with the key stream; count <= 0 does nothing.
void Rc4Apply(Rc4State& state, uint8_t* buffer, int64_t count);
// RC4 over stream data in 4096-byte blocks. No source: nothing happens. No destination: the
// source is overwritten in place. A negative count means the whole source from its start.
void Rc4ApplyStream(Rc4State& state, ByteStream* source, ByteStream* destination, int64_t count);
