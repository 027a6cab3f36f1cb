// SPDX-License-Identifier: GPL-3.0-or-later
#include "crypto/PDFRC4.h"

#include "common/bytestream.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>
#include <vector>

void Rc4Setup(Rc4State& state, const uint8_t* key, int keyLength, int keyOffset) {
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
    // Step k takes key byte (keyOffset + k) mod keyLength: the key is laid out repeated once,
    // from that byte on, so that the steps need no index of their own.
    std::array<uint8_t, 256> repeated;
    size_t filled = 0;
    for (int from = int(((int64_t(keyOffset) % keyLength) + keyLength) % keyLength);
         filled < repeated.size(); from = 0) {
        const size_t n = std::min(size_t(keyLength - from), repeated.size() - filled);
        std::memcpy(repeated.data() + filled, key + from, n);
        filled += n;
    }
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

void Rc4ApplyStream(Rc4State& state, ByteStream* source, ByteStream* destination, int64_t count) {
    constexpr int64_t kBlockSize = 4096;
    if (source == nullptr)
        return;
    if (destination == nullptr)
        destination = source;
    if (count < 0) {
        count = source->Size();
        source->Seek(0);
    }
    std::vector<uint8_t> block(static_cast<size_t>(kBlockSize));
    // Separate positions let one stream be read ahead of where it is being rewritten.
    int64_t readPosition = source->Position();
    int64_t writePosition = destination->Position();
    while (count > 0) {
        source->Seek(readPosition);
        const int64_t wanted = std::min(count, kBlockSize);
        const int64_t got = std::min(source->Read(block.data(), wanted), wanted);
        readPosition = source->Position();
        if (got <= 0)
            break;
        Rc4Apply(state, block.data(), got);
        destination->Seek(writePosition);
        destination->Write(block.data(), got);
        writePosition = destination->Position();
        count -= got;
    }
}
