#include "common/bytestream.h"
#include "crypto/PDFRC4.h"
#include "crypto/hex.h"
#include "crypto/md5.h"
#include "crypto/pdfenc.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

namespace {

// One document encrypted by qpdf, as tools/make_crypt_fixtures.sh recorded it.
struct CryptFixture {
    std::string file;
    int32_t length = 0;
    int32_t P = 0;
    Bytes32 O{}, U{};
    Bytes16 id{};
    std::string user, owner;
    std::string key; // qpdf's file key: 5 bytes for 40 bits, else 16
    int32_t infoObject = 0, infoGeneration = 0;
    std::string title; // the encrypted bytes of the /Title string
};

template <size_t N> std::array<uint8_t, N> ArrayFromHex(const std::string& hex) {
    const std::string bytes = FromHex(hex);
    std::array<uint8_t, N> result{};
    std::memcpy(result.data(), bytes.data(), std::min(N, bytes.size()));
    return result;
}

std::vector<CryptFixture> LoadFixtures() {
    std::ifstream in(PAGEWICK_TEST_DATA "/crypt/params.tsv");
    std::vector<CryptFixture> fixtures;
    std::string line;
    std::getline(in, line); // column names
    while (std::getline(in, line)) {
        std::vector<std::string> f;
        std::stringstream fields(line);
        for (std::string field; std::getline(fields, field, '\t');)
            f.push_back(field);
        f.resize(13);
        fixtures.push_back({f[0], std::stoi(f[1]), std::stoi(f[3]), ArrayFromHex<32>(f[4]),
                            ArrayFromHex<32>(f[5]), ArrayFromHex<16>(f[6]), f[7], f[8],
                            FromHex(f[9]), std::stoi(f[10]), std::stoi(f[11]), FromHex(f[12])});
    }
    return fixtures;
}

const std::vector<CryptFixture>& Fixtures() {
    static const std::vector<CryptFixture> fixtures = LoadFixtures();
    return fixtures;
}

std::string KeyPrefix(const Bytes16& key, int32_t length) {
    return std::string(reinterpret_cast<const char*>(key.data()), length == 40 ? 5 : 16);
}

Bytes16 Sentinel() {
    Bytes16 key;
    key.fill(0xA5);
    return key;
}

std::string Decrypt(const Bytes16& key, int32_t obj, int32_t gen, const std::string& bytes,
                    int32_t length) {
    MemoryStream stream(bytes);
    DecryptObjectData(key, obj, gen, &stream, nullptr, length, -1, 0);
    return stream.Bytes();
}

void PrintTo(const CryptFixture& f, std::ostream* os) {
    *os << f.file;
}

class QpdfFixture : public testing::TestWithParam<CryptFixture> {};

} // namespace

TEST(CryptFixtures, AllDocumentsAreListed) {
    EXPECT_EQ(Fixtures().size(), 7u);
}

TEST_P(QpdfFixture, EmptyUserPasswordOpensExactlyTheDocumentsWithoutOne) {
    const CryptFixture& f = GetParam();
    Bytes16 key = Sentinel();
    EXPECT_EQ(CheckEmptyUserPassword(f.O, f.id, f.U, f.P, f.length, key), f.user.empty());
    if (f.user.empty())
        EXPECT_EQ(KeyPrefix(key, f.length), f.key);
    else
        EXPECT_EQ(key, Sentinel());
}

TEST_P(QpdfFixture, CheckPasswordTellsOwnerUserAndWrong) {
    const CryptFixture& f = GetParam();
    struct Case {
        std::string password;
        int expected;
    };
    std::vector<Case> cases = {{f.owner, 1},
                               {"  " + f.owner + "\t", 1},
                               {"Owner", -1},
                               {"wrong", -1},
                               {f.owner + "x", -1}};
    // The owner test runs first, so a password that is both counts as the owner's.
    if (f.user == f.owner)
        cases.push_back({f.user, 1});
    else
        cases.push_back({f.user, 2});
    if (!f.user.empty())
        cases.insert(cases.end(), {{f.user.substr(1), -1}, {"x" + f.user, -1}, {"", -1}});
    for (const Case& c : cases) {
        Bytes16 key = Sentinel();
        EXPECT_EQ(CheckPassword(c.password, f.O, f.id, f.U, f.P, f.length, key), c.expected)
            << '"' << c.password << '"';
        if (c.expected > 0)
            EXPECT_EQ(KeyPrefix(key, f.length), f.key) << c.password;
        else
            EXPECT_EQ(key, Sentinel()) << c.password;
    }
}

// O holds the padded user password encrypted under the owner password; for "sixsix" that
// block ends in the pad byte 0x0C and must be used as it is.
TEST_P(QpdfFixture, OwnerEntryUnlocksThePaddedUserPassword) {
    const CryptFixture& f = GetParam();
    EXPECT_EQ(DecryptOwnerEntry(f.owner, f.O, f.length), PadPassword(f.user));
}

TEST_P(QpdfFixture, PermissionsHashWithTheirTwoLowestBitsCleared) {
    const CryptFixture& f = GetParam();
    const Bytes32 padded = PadPassword(f.user);
    const Bytes16 asRecorded = ComputeKeyAndU(padded, f.O, f.P, &f.id, f.length).fileKey;
    EXPECT_EQ(KeyPrefix(asRecorded, f.length), f.key);
    for (int32_t P : {-1, -2, -3, -4})
        EXPECT_EQ(ComputeKeyAndU(padded, f.O, P, &f.id, f.length).fileKey, asRecorded) << P;
    EXPECT_NE(ComputeKeyAndU(padded, f.O, -8, &f.id, f.length).fileKey, asRecorded);
}

TEST_P(QpdfFixture, TitleDecryptsWithTheObjectKey) {
    const CryptFixture& f = GetParam();
    const Bytes16 key = ArrayFromHex<16>(ToHex(f.key));
    EXPECT_EQ(Decrypt(key, f.infoObject, f.infoGeneration, f.title, f.length), "Report");
    EXPECT_NE(Decrypt(key, f.infoObject + 1, f.infoGeneration, f.title, f.length), "Report");
}

INSTANTIATE_TEST_SUITE_P(Qpdf, QpdfFixture, testing::ValuesIn(Fixtures()),
                         [](const testing::TestParamInfo<CryptFixture>& info) {
                             return info.param.file.substr(0, info.param.file.find('.'));
                         });

namespace {

const CryptFixture& FixtureNamed(const std::string& file) {
    for (const CryptFixture& f : Fixtures())
        if (f.file == file)
            return f;
    static const CryptFixture none;
    ADD_FAILURE() << file << " is not in params.tsv";
    return none;
}

} // namespace

TEST(PadPassword, TrimsCutsAndFillsFromThePad) {
    const struct {
        std::string password;
        std::string head;
    } cases[] = {
        {"", ""},
        {" \t\x01 ", ""},
        {"  user \r\n", "user"},
        {"a b", "a b"},
        {std::string(40, 'x'), std::string(32, 'x')},
        {" " + std::string(33, 'y') + " ", std::string(32, 'y')},
    };
    for (const auto& c : cases) {
        Bytes32 expected;
        std::memcpy(expected.data(), c.head.data(), c.head.size());
        std::memcpy(expected.data() + c.head.size(), PasswordPad.data(), 32 - c.head.size());
        EXPECT_EQ(PadPassword(c.password), expected) << '"' << c.password << '"';
    }
    EXPECT_EQ(PasswordPad[9], 0x00);
    EXPECT_EQ(PasswordPad[25], 0x0C);
}

TEST(CheckPassword, OnlyTheFirst32BytesOfALongPasswordCount) {
    const CryptFixture& f = FixtureNamed("long128.pdf");
    ASSERT_EQ(f.user.size(), 32u);
    Bytes16 key{};
    EXPECT_EQ(CheckPassword(f.user + "6789ABCD", f.O, f.id, f.U, f.P, f.length, key), 2);
    EXPECT_EQ(KeyPrefix(key, f.length), f.key);
    EXPECT_EQ(CheckPassword(f.user.substr(0, 31), f.O, f.id, f.U, f.P, f.length, key), -1);
}

// The variant follows the key length alone: 56 and 96 behave as 128, and a 40-bit check of a
// 128-bit document fails the comparison instead of erring.
TEST(CheckEmptyUserPassword, VariantFollowsTheKeyLengthAlone) {
    const CryptFixture& f128 = FixtureNamed("empty128.pdf");
    const CryptFixture& f40 = FixtureNamed("empty40.pdf");
    const struct {
        const CryptFixture* fixture;
        int32_t length;
        bool opens;
    } cases[] = {{&f128, 128, true}, {&f128, 56, true}, {&f128, 96, true}, {&f128, 0, true},
                 {&f128, 40, false}, {&f40, 40, true},  {&f40, 128, false}};
    for (const auto& c : cases) {
        Bytes16 key = Sentinel();
        const CryptFixture& f = *c.fixture;
        EXPECT_EQ(CheckEmptyUserPassword(f.O, f.id, f.U, f.P, c.length, key), c.opens)
            << f.file << " as " << c.length;
    }
}

TEST(CheckEmptyUserPassword, ComparesAll32BytesOf40BitUButOnly16Of128BitU) {
    const struct {
        const char* file;
        size_t changedByte;
        bool opens;
    } cases[] = {{"empty128.pdf", 16, true},
                 {"empty128.pdf", 31, true},
                 {"empty128.pdf", 15, false},
                 {"empty40.pdf", 31, false},
                 {"empty40.pdf", 0, false}};
    for (const auto& c : cases) {
        const CryptFixture& f = FixtureNamed(c.file);
        Bytes32 U = f.U;
        U[c.changedByte] ^= 0x5A;
        Bytes16 key = Sentinel();
        EXPECT_EQ(CheckEmptyUserPassword(f.O, f.id, U, f.P, f.length, key), c.opens)
            << c.file << " byte " << c.changedByte;
        EXPECT_EQ(key == Sentinel(), !c.opens);
    }
}

TEST(ComputeKeyAndU, WithoutIdNothingIsHashedForIt) {
    const CryptFixture& f = FixtureNamed("user40.pdf");
    const Bytes32 padded = PadPassword("user");
    Md5State state{};
    Md5Start(state);
    Md5Feed(state, padded.data(), 32);
    Md5Feed(state, f.O.data(), 32);
    const uint8_t p[4] = {0xFC, 0xFF, 0xFF, 0xFF};
    Md5Feed(state, p, 4);
    Md5Digest expected;
    Md5Finish(state, expected);

    const KeyAndU withoutId = ComputeKeyAndU(padded, f.O, f.P, nullptr, f.length);
    EXPECT_EQ(withoutId.fileKey, expected);
    const Bytes16 zeros{};
    EXPECT_NE(ComputeKeyAndU(padded, f.O, f.P, &zeros, f.length).fileKey, expected);
    EXPECT_EQ(withoutId.u.size(), 32u);
    EXPECT_EQ(ComputeKeyAndU(padded, f.O, f.P, nullptr, 128).u.size(), 16u);
}

TEST(ComputeObjectKey, HashesThreeObjectBytesAndTwoGenerationBytesAfterTheKey) {
    const Bytes16 key = ArrayFromHex<16>("55831911f0f2b9a08ac3cbcc766166db");
    const struct {
        int32_t object, generation, length;
        std::string referenceBytes;
    } cases[] = {
        {70000, 0, 128, "7011010000"},
        {70000, 0, 40, "7011010000"},
        {0x12345678, 0x1234, 128, "7856343412"},
        {2, 65537, 40, "0200000100"},
    };
    for (const auto& c : cases) {
        const std::string input = KeyPrefix(key, c.length) + FromHex(c.referenceBytes);
        Md5Digest expected;
        Md5OfString(input, expected);
        EXPECT_EQ(ComputeObjectKey(key, c.object, c.generation, c.length), expected)
            << c.object << " " << c.generation << " " << c.length;
    }
}

TEST(DecryptObjectData, EachCallUsesTheKeyOfItsOwnObject) {
    // Calls in a row for one object share a key schedule; any change of file key, object,
    // generation or key length must give the bytes a fresh schedule would.
    Bytes16 other = Sentinel();
    other[15] = 0x5A;
    const struct {
        Bytes16 key;
        int32_t obj, gen, length;
    } calls[] = {{Sentinel(), 7, 0, 128}, {Sentinel(), 7, 0, 128}, {Sentinel(), 8, 0, 128},
                 {other, 8, 0, 128},      {other, 8, 1, 128},      {other, 8, 1, 40},
                 {Sentinel(), 7, 0, 128}, {Sentinel(), 7, 0, 40}};
    const std::string plain = "Title of the document";
    for (const auto& c : calls) {
        const Bytes16 objectKey = ComputeObjectKey(c.key, c.obj, c.gen, c.length);
        Rc4State state;
        Rc4Setup(state, objectKey.data(), c.length == 40 ? 10 : 16, 0);
        std::string expected = plain;
        Rc4Apply(state, reinterpret_cast<uint8_t*>(expected.data()), int64_t(expected.size()));
        EXPECT_EQ(Decrypt(c.key, c.obj, c.gen, plain, c.length), expected)
            << c.obj << ' ' << c.gen << ' ' << c.length;
    }
}

TEST(DecryptObjectData, OffsetAdvancesTheSourceOnlyForACountedRange) {
    const CryptFixture& f = FixtureNamed("user128.pdf");
    const Bytes16 key = ArrayFromHex<16>(ToHex(f.key));
    MemoryStream source("XYZ" + f.title + "tail");
    MemoryStream destination;
    DecryptObjectData(key, f.infoObject, f.infoGeneration, &source, &destination, f.length,
                      int64_t(f.title.size()), 3);
    EXPECT_EQ(destination.Bytes(), "Report");
    EXPECT_EQ(source.Bytes(), "XYZ" + f.title + "tail");

    // A negative count means the whole source from its start; the offset is not applied.
    MemoryStream whole("XYZ" + f.title);
    whole.Seek(2);
    DecryptObjectData(key, f.infoObject, f.infoGeneration, &whole, nullptr, f.length, -1, 3);
    EXPECT_EQ(whole.Bytes(), Decrypt(key, f.infoObject, f.infoGeneration, "XYZ" + f.title, 128));
    EXPECT_NE(whole.Bytes().substr(3), "Report");
}
