#include "crypto/PDFRC4.h"

#include "common/bytestream.h"

#include <algorithm>
#include <utility>
#include <vector>

void Rc4Setup(Rc4State& state, const uint8_t* key, int keyLength, int keyOffset) {
    state.i = 0;
    state.j = 0;
    for (int k = 0; k < 256; ++k)
        state.S[size_t(k)] = uint8_t(k);
    if (keyLength < 1)
        return; // no key to schedule; leaves the identity rather than dividing by zero
    int j = 0;
    // Key byte (keyOffset + k) mod keyLength, stepped rather than divided for each k.
    int keyIndex = int(((int64_t(keyOffset) % keyLength) + keyLength) % keyLength);
    for (int k = 0; k < 256; ++k) {
        j = (j + state.S[size_t(k)] + key[keyIndex]) & 0xff;
        std::swap(state.S[size_t(k)], state.S[size_t(j)]);
        if (++keyIndex == keyLength)
            keyIndex = 0;
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
