// SPDX-License-Identifier: GPL-3.0-or-later
#include "crypto/hex.h"
#include "crypto/md5.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

std::string Digest(std::string_view text) {
    Md5Digest digest;
    Md5OfString(text, digest);
    return ToHex(digest);
}

std::string Pattern(size_t length) {
    std::string bytes(length, '\0');
    for (size_t k = 0; k < length; ++k)
        bytes[k] = char((k * 7 + 3) & 0xff);
    return bytes;
}

std::string DigestInPieces(const std::string& data, size_t piece) {
    Md5State state{};
    Md5Start(state);
    for (size_t at = 0; at < data.size(); at += piece)
        Md5Feed(state, data.data() + at, std::min(piece, data.size() - at));
    Md5Digest digest;
    Md5Finish(state, digest);
    return ToHex(digest);
}

} // namespace

TEST(Md5, ReproducesTheRfc1321TestSuite) {
    const struct {
        std::string text;
        std::string digest;
    } cases[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
         "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"1234567890123456789012345678901234567890123456789012345678901234567890123456789"
         "0",
         "57edf4a22be3c955ac49da2e2107b67a"},
        {std::string("a\0b", 3), "70350f6027bce3713f6b76473084309b"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Digest(c.text), c.digest) << "text of " << c.text.size() << " bytes";
}

// The lengths around 56 and 64 bytes are where the final padding needs one or two blocks.
TEST(Md5, FeedingInPiecesGivesTheSameDigestAtThePaddingEdges) {
    const struct {
        size_t length;
        std::string digest;
    } cases[] = {
        {55, "52c0e574e1198de5fe3f8f11440dcb1b"}, {56, "46c9907fc908ee68b1e7b8e71286a518"},
        {63, "a62f6d59e837867693f042f5b8f5a236"}, {64, "7160b8fb5e9e4023d549c3971fbaeead"},
        {65, "70bd662e7aefbda85a0f7244167b7897"}, {1 << 20, "d8a469bb35fb5fad7156842ba2242434"},
    };
    for (const auto& c : cases) {
        const std::string data = Pattern(c.length);
        EXPECT_EQ(Digest(data), c.digest) << c.length;
        for (size_t piece : {1, 3, 55, 64, 65, 1000})
            EXPECT_EQ(DigestInPieces(data, piece), c.digest) << c.length << " in " << piece;
    }
}

TEST(Md5, StateIsAllZeroAfterFinish) {
    Md5State state{};
    Md5Start(state);
    Md5Feed(state, "some bytes", 10);
    Md5Digest digest;
    Md5Finish(state, digest);
    const auto* bytes = reinterpret_cast<const uint8_t*>(&state);
    EXPECT_TRUE(std::all_of(bytes, bytes + sizeof state, [](uint8_t b) { return b == 0; }));
    EXPECT_EQ(ToHex(digest), Digest("some bytes"));
}
