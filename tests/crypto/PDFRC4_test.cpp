// SPDX-License-Identifier: GPL-3.0-or-later
#include "common/bytestream.h"
#include "crypto/PDFRC4.h"
#include "crypto/hex.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::string KeyStream(const std::string& key, size_t length) {
    Rc4State state;
    Rc4Setup(state, reinterpret_cast<const uint8_t*>(key.data()), int(key.size()), 0);
    std::string stream(length, '\0');
    Rc4Apply(state, reinterpret_cast<uint8_t*>(stream.data()), int64_t(length));
    return stream;
}

std::string Pattern(size_t length) {
    std::string bytes(length, '\0');
    for (size_t k = 0; k < length; ++k)
        bytes[k] = char(k * 31 + k / 256);
    return bytes;
}

// Records the size of every read so the block splitting can be observed.
class RecordingStream : public MemoryStream {
public:
    using MemoryStream::MemoryStream;
    int64_t Read(void* buffer, int64_t count) override {
        const int64_t got = MemoryStream::Read(buffer, count);
        reads.push_back(got);
        return got;
    }
    std::vector<int64_t> reads;
};

// Claims a size but never yields a byte, as a truncated or failing source might.
class EmptyReadStream : public ByteStream {
public:
    int64_t Read(void*, int64_t) override {
        ++readCalls;
        return 0;
    }
    int64_t Write(const void*, int64_t count) override {
        ++writeCalls;
        return count;
    }
    void Seek(int64_t) override {}
    int64_t Position() const override { return 0; }
    int64_t Size() const override { return 100; }
    int readCalls = 0;
    int writeCalls = 0;
};

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

TEST(Rc4, KeyOffsetRotatesTheKey) {
    const std::string key = "ABCDE";
    Rc4State rotated;
    Rc4Setup(rotated, reinterpret_cast<const uint8_t*>(key.data()), 5, 2);
    std::string data(20, '\0');
    Rc4Apply(rotated, reinterpret_cast<uint8_t*>(data.data()), 20);
    EXPECT_EQ(data, KeyStream("CDEAB", 20));
}

TEST(Rc4ApplyStream, InPlaceOverWholeSourceMatchesOneApplyInThreeBlocks) {
    const std::string plain = Pattern(10000);
    RecordingStream stream(plain);
    stream.Seek(1234); // a negative count starts from the beginning whatever the position
    Rc4State state;
    const uint8_t key[] = {1, 2, 3, 4, 5};
    Rc4Setup(state, key, 5, 0);
    Rc4ApplyStream(state, &stream, nullptr, -1);

    std::string expected = plain;
    Rc4State reference;
    Rc4Setup(reference, key, 5, 0);
    Rc4Apply(reference, reinterpret_cast<uint8_t*>(expected.data()), int64_t(expected.size()));
    EXPECT_EQ(stream.Bytes(), expected);
    EXPECT_EQ(stream.reads, (std::vector<int64_t>{4096, 4096, 1808}));
}

TEST(Rc4ApplyStream, WritesAtTheDestinationsPositionAndStopsAtCount) {
    MemoryStream source(Pattern(6000));
    source.Seek(100);
    MemoryStream destination(std::string("head"));
    destination.Seek(4);
    Rc4State state;
    const uint8_t key[] = {9, 8, 7};
    Rc4Setup(state, key, 3, 0);
    Rc4ApplyStream(state, &source, &destination, 5000);

    std::string expected = Pattern(6000).substr(100, 5000);
    Rc4State reference;
    Rc4Setup(reference, key, 3, 0);
    Rc4Apply(reference, reinterpret_cast<uint8_t*>(expected.data()), 5000);
    EXPECT_EQ(destination.Bytes(), "head" + expected);
    EXPECT_EQ(source.Bytes(), Pattern(6000)); // the source is only read
    EXPECT_EQ(source.Position(), 5100);
}

TEST(Rc4ApplyStream, SourceThatYieldsNothingEndsTheLoop) {
    EmptyReadStream source;
    Rc4State state;
    const uint8_t key[] = {1};
    Rc4Setup(state, key, 1, 0);
    Rc4ApplyStream(state, &source, nullptr, -1);
    EXPECT_EQ(source.readCalls, 1);
    EXPECT_EQ(source.writeCalls, 0);
    Rc4ApplyStream(state, nullptr, &source, 10); // no source: nothing at all
    EXPECT_EQ(source.readCalls, 1);
}
