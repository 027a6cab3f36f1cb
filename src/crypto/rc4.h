// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The RC4 stream cipher: set up with a key, then apply to data in order. Encrypting and
// decrypting are the same operation.

#include <array>
#include <cstdint>

// The permutation lives inside the state, so every state has a table of its own.
struct Rc4State {
    int32_t i = 0;
    int32_t j = 0;
    std::array<uint8_t, 256> S{};
};

// The key schedule; a keyLength below 1 leaves the identity permutation.
void Rc4Setup(Rc4State& state, const uint8_t* key, int keyLength);
// XORs count bytes of buffer in place with the key stream; count <= 0 does nothing.
void Rc4Apply(Rc4State& state, uint8_t* buffer, int64_t count);
