// SPDX-License-Identifier: GPL-3.0-or-later
#include "crypto/md5.h"

#include <cstring>
#include <utility>

namespace {

constexpr uint32_t kSine[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};

constexpr int kShift[4][4] = {{7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};

uint32_t RotateLeft(uint32_t x, int n) {
    return (x << n) | (x >> (32 - n));
}

uint32_t LoadLittleEndian(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void StoreLittleEndian(uint32_t v, uint8_t* p) {
    for (int k = 0; k < 4; ++k)
        p[k] = uint8_t(v >> (8 * k));
}

// Step s of the 64. The four words take turns as a, b, c and d, one place along each step, so
// the word that was a receives the new value and nothing is moved.
template <int s> void Step(uint32_t v[4], const uint32_t x[16]) {
    constexpr int round = s / 16;
    uint32_t& a = v[(4 - s % 4) % 4];
    const uint32_t b = v[(5 - s % 4) % 4], c = v[(6 - s % 4) % 4], d = v[(7 - s % 4) % 4];
    uint32_t f;
    int g;
    if constexpr (round == 0) {
        f = (b & c) | (~b & d);
        g = s;
    } else if constexpr (round == 1) {
        f = (d & b) | (~d & c);
        g = (5 * s + 1) % 16;
    } else if constexpr (round == 2) {
        f = b ^ c ^ d;
        g = (3 * s + 5) % 16;
    } else {
        f = c ^ (b | ~d);
        g = (7 * s) % 16;
    }
    a = b + RotateLeft(a + f + kSine[s] + x[g], kShift[round][s % 4]);
}

void Transform(uint32_t abcd[4], const uint8_t block[64]) {
    uint32_t x[16];
    for (int k = 0; k < 16; ++k)
        x[k] = LoadLittleEndian(block + 4 * k);
    uint32_t v[4] = {abcd[0], abcd[1], abcd[2], abcd[3]};
    // Unrolled, so that every index and constant is known when compiled.
    [&]<int... steps>(std::integer_sequence<int, steps...>) {
        (Step<steps>(v, x), ...);
    }
    (std::make_integer_sequence<int, 64>{});
    for (int k = 0; k < 4; ++k)
        abcd[k] += v[k];
}

} // namespace

void Md5Start(Md5State& state) {
    state.abcd[0] = 0x67452301;
    state.abcd[1] = 0xefcdab89;
    state.abcd[2] = 0x98badcfe;
    state.abcd[3] = 0x10325476;
    state.count[0] = state.count[1] = 0;
    std::memset(state.buffer, 0, sizeof state.buffer);
}

void Md5Feed(Md5State& state, const void* bytes, size_t count) {
    const auto* in = static_cast<const uint8_t*>(bytes);
    size_t used = (state.count[0] >> 3) & 63;
    const uint64_t bits = (uint64_t(state.count[1]) << 32 | state.count[0]) + uint64_t(count) * 8;
    state.count[0] = uint32_t(bits);
    state.count[1] = uint32_t(bits >> 32);
    while (count > 0) {
        const size_t n = count < 64 - used ? count : 64 - used;
        std::memcpy(state.buffer + used, in, n);
        used += n;
        in += n;
        count -= n;
        if (used == 64) {
            Transform(state.abcd, state.buffer);
            used = 0;
        }
    }
}

void Md5Finish(Md5State& state, Md5Digest& digest) {
    uint8_t length[8];
    StoreLittleEndian(state.count[0], length);
    StoreLittleEndian(state.count[1], length + 4);
    // Pad to 56 bytes modulo 64 so the 8 length bytes complete the last block.
    static const uint8_t padding[64] = {0x80};
    const size_t used = (state.count[0] >> 3) & 63;
    Md5Feed(state, padding, used < 56 ? 56 - used : 120 - used);
    Md5Feed(state, length, 8);
    for (int k = 0; k < 4; ++k)
        StoreLittleEndian(state.abcd[k], digest.data() + 4 * k);
    std::memset(&state, 0, sizeof state);
}

void Md5OfString(std::string_view text, Md5Digest& digest) {
    Md5State state{};
    Md5Start(state);
    Md5Feed(state, text.data(), text.size());
    Md5Finish(state, digest);
}
