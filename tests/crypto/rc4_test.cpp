// SPDX-License-Identifier: GPL-3.0-or-later
#include "crypto/hex.h"
#include "crypto/rc4.h"

#include <gtest/gtest.h>

namespace {

std::string KeyStream(const std::string& key, size_t length) {
    Rc4State state;
    Rc4Setup(state, reinterpret_cast<const uint8_t*>(key.data()), int(key.size()));
    std::string stream(length, '\0');
    Rc4Apply(state, reinterpret_cast<uint8_t*>(stream.data()), int64_t(length));
    return stream;
}

} // namespace

TEST(Rc4, ReproducesTheRfc6229KeyStreams) {
    const struct {
        std::string key;
        size_t offset;
        std::string stream;
    } cases[] = {
        {"0102030405", 0, "b2396305f03dc027ccc3524a0a1118a8"},
        {"0102030405", 16, "6982944f18fc82d589c403a47a0d0919"},
        {"0102030405", 4080, "068326a2118416d21f9d04b2cd1ca050"},
        {"0102030405", 4096, "ff25b58995996707e51fbdf08b34d875"},
        {"0102030405060708090a", 0, "ede3b04643e586cc907dc21851709902"},
        {"0102030405060708090a", 4096, "08b6be45124a43e2eb77953f84dc8553"},
        {"0102030405060708090a0b0c0d0e0f10", 0, "9ac7cc9a609d1ef7b2932899cde41b97"},
        {"0102030405060708090a0b0c0d0e0f10", 4080, "ff38265c1642c1abe8d3c2fe5e572bf8"},
        {"0102030405060708090a0b0c0d0e0f10", 4096, "a36a4c301ae8ac13610ccbc12256cacc"},
    };
    for (const auto& c : cases) {
        const std::string stream = KeyStream(FromHex(c.key), c.offset + 16);
        EXPECT_EQ(ToHex(stream.substr(c.offset)), c.stream) << c.key << " at " << c.offset;
    }
}
