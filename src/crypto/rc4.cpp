// SPDX-License-Identifier: GPL-3.0-or-later
#include "crypto/rc4.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <utility>

void Rc4Setup(Rc4State& state, const uint8_t* key, int keyLength) {
    static constexpr auto kIdentity = [] {
        std::array<uint8_t, 256> identity{};
        for (int k = 0; k < 256; ++k)
            identity[size_t(k)] = uint8_t(k);
        return identity;
    }();
    state.i = 0;
    state.j = 0;
    state.S = kIdentity;
    if (keyLength < 1)
        return; // no key to schedule; leaves the identity rather than dividing by zero
    // The key repeated over the 256 steps, laid out once rather than wrapped at every step.
    std::array<uint8_t, 256> repeated;
    for (size_t k = 0; k < 256; k += size_t(keyLength))
        std::memcpy(repeated.data() + k, key, std::min<size_t>(size_t(keyLength), 256 - k));
    unsigned j = 0;
    for (size_t k = 0; k < 256; ++k) {
        j = (j + state.S[k] + repeated[k]) & 0xff;
        std::swap(state.S[k], state.S[j]);
    }
}

void Rc4Apply(Rc4State& state, uint8_t* buffer, int64_t count) {
    uint8_t i = uint8_t(state.i);
    uint8_t j = uint8_t(state.j);
    for (int64_t n = 0; n < count; ++n) {
        i = uint8_t(i + 1);
        j = uint8_t(j + state.S[i]);
        std::swap(state.S[i], state.S[j]);
        buffer[n] ^= state.S[uint8_t(state.S[i] + state.S[j])];
    }
    state.i = i;
    state.j = j;
}
