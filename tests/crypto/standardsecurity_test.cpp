// SPDX-License-Identifier: GPL-3.0-or-later
#include "crypto/hex.h"
#include "crypto/md5.h"
#include "crypto/rc4.h"
#include "crypto/standardsecurity.h"
#include "support/tsv.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

// One document encrypted by qpdf, as tools/make_crypt_fixtures.sh recorded it.
struct CryptFixture {
    std::string file;
    EncryptionParams params;
    std::string user, owner;
    std::string key; // qpdf's file key: 5 bytes for 40 bits, else 16
    int32_t infoObject = 0, infoGeneration = 0;
    std::string title; // the encrypted bytes of the /Title string
};

std::vector<CryptFixture> LoadFixtures() {
    std::vector<CryptFixture> fixtures;
    for (const std::vector<std::string>& f :
         ReadTsvRows(PAGEWICK_TEST_DATA "/crypt/params.tsv", 13)) {
        EncryptionParams params;
        params.Filter = "Standard";
        params.Length = std::stoi(f[1]);
        params.R = std::stoi(f[2]);
        params.V = params.R == 2 ? 1 : 2;
        params.P = std::stoi(f[3]);
        params.O = FromHex(f[4]);
        params.U = FromHex(f[5]);
        params.ID = FromHex(f[6]);
        fixtures.push_back({f[0], params, f[7], f[8], FromHex(f[9]), std::stoi(f[10]),
                            std::stoi(f[11]), FromHex(f[12])});
    }
    return fixtures;
}

const std::vector<CryptFixture>& Fixtures() {
    static const std::vector<CryptFixture> fixtures = LoadFixtures();
    return fixtures;
}

const std::string kSentinel = "sentinel";

std::string Decrypt(const std::string& key, int32_t obj, int32_t gen, const std::string& bytes) {
    StringDecryptor decryptor(CryptMethod::RC4, key);
    return decryptor.Decrypt(bytes, obj, gen).value_or("(unreadable)");
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
    std::string key = kSentinel;
    EXPECT_EQ(CheckEmptyUserPassword(f.params, key), f.user.empty());
    EXPECT_EQ(key, f.user.empty() ? f.key : kSentinel);
}

TEST_P(QpdfFixture, CheckPasswordTellsOwnerUserAndWrong) {
    const CryptFixture& f = GetParam();
    struct Case {
        std::string password;
        int expected;
    };
    std::vector<Case> cases = {{f.owner, 1},
                               {"  " + f.owner + "\t", -1}, // blanks are characters
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
        std::string key = kSentinel;
        EXPECT_EQ(CheckPassword(c.password, f.params, key), c.expected) << '"' << c.password << '"';
        EXPECT_EQ(key, c.expected > 0 ? f.key : kSentinel) << c.password;
    }
}

// O holds the padded user password encrypted under the owner password; for "sixsix" that
// block ends in the pad byte 0x0C and must be used as it is.
TEST_P(QpdfFixture, OwnerEntryUnlocksThePaddedUserPassword) {
    const CryptFixture& f = GetParam();
    EXPECT_EQ(DecryptOwnerEntry(f.owner, f.params), PadPassword(f.user));
}

TEST_P(QpdfFixture, TitleDecryptsWithTheObjectKey) {
    const CryptFixture& f = GetParam();
    EXPECT_EQ(Decrypt(f.key, f.infoObject, f.infoGeneration, f.title), "Report");
    EXPECT_NE(Decrypt(f.key, f.infoObject + 1, f.infoGeneration, f.title), "Report");
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

std::string Md5Hex(const std::string& bytes) {
    Md5Digest digest;
    Md5OfString(bytes, digest);
    return ToHex(digest);
}

} // namespace

TEST(PadPassword, KeepsBlanksCutsAndFillsFromThePad) {
    const struct {
        std::string password;
        std::string head;
    } cases[] = {
        {"", ""},
        {" ", " "},
        {"    ", "    "},
        {"  user \r\n", "  user \r\n"},
        {std::string(40, 'x'), std::string(32, 'x')},
        {" " + std::string(33, 'y'), " " + std::string(31, 'y')},
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
    std::string key;
    EXPECT_EQ(CheckPassword(f.user + "6789ABCD", f.params, key), 2);
    EXPECT_EQ(key, f.key);
    EXPECT_EQ(CheckPassword(f.user.substr(0, 31), f.params, key), -1);
}

// The variant follows R: a 128-bit document read as revision 2, or a 40-bit one read as
// revision 3, fails the comparison instead of erring; so does a 128-bit document whose key
// length is misread.
TEST(CheckEmptyUserPassword, VariantFollowsTheRevision) {
    const struct {
        const char* file;
        int32_t R, length;
        bool opens;
    } cases[] = {{"empty128.pdf", 3, 128, true}, {"empty128.pdf", 4, 128, true},
                 {"empty128.pdf", 3, 56, false}, {"empty128.pdf", 2, 128, false},
                 {"empty128.pdf", 0, 128, true}, {"empty40.pdf", 2, 40, true},
                 {"empty40.pdf", 0, 40, true},   {"empty40.pdf", 3, 40, false},
                 {"empty40.pdf", 2, 128, true}};
    for (const auto& c : cases) {
        EncryptionParams p = FixtureNamed(c.file).params;
        p.R = c.R;
        p.Length = c.length;
        std::string key = kSentinel;
        EXPECT_EQ(CheckEmptyUserPassword(p, key), c.opens)
            << c.file << " R" << c.R << " " << c.length;
    }
}

TEST(CheckEmptyUserPassword, ComparesAll32BytesOfRevision2UButOnly16OfLaterU) {
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
        EncryptionParams p = FixtureNamed(c.file).params;
        p.U[c.changedByte] = char(p.U[c.changedByte] ^ 0x5A);
        std::string key = kSentinel;
        EXPECT_EQ(CheckEmptyUserPassword(p, key), c.opens) << c.file << " byte " << c.changedByte;
        EXPECT_EQ(key == kSentinel, !c.opens);
    }
    // A U shorter than what is compared fails; it is never read past its end.
    EncryptionParams p = FixtureNamed("empty128.pdf").params;
    p.U.resize(15);
    std::string key;
    EXPECT_FALSE(CheckEmptyUserPassword(p, key));
}

// The mends of revisions 2 to 4, each against the hash input the standard defines: the MD5 of
// padded password, O, P as four little-endian bytes, the whole first ID string and, for
// revision 4 without metadata encryption, four 0xFF bytes; then 50 rehashes of the key's
// first n bytes from revision 3 on.
TEST(ComputeFileKey, HashInputFollowsEveryEntry) {
    const std::string O(32, 'o');
    const std::string pad(reinterpret_cast<const char*>(PasswordPad.data()), 32);
    const struct {
        const char* what;
        int32_t R, length, P;
        std::string id;
        bool encryptMetadata;
        std::string pBytes, tail;
        size_t n;
    } cases[] = {
        {"P -1 as it is", 2, 40, -1, "0123456789abcdef", true, "\xff\xff\xff\xff", "", 5},
        {"P -3 as it is", 3, 128, -3, "0123456789abcdef", true, "\xfd\xff\xff\xff", "", 16},
        {"unsigned P", 3, 128, int32_t(0xFFFFF0C0u), "", true, "\xc0\xf0\xff\xff", "", 16},
        {"20-byte ID whole", 3, 128, -4, "0123456789abcdefghij", true, "\xfc\xff\xff\xff", "", 16},
        {"8-byte ID whole", 2, 40, -4, "01234567", true, "\xfc\xff\xff\xff", "", 5},
        {"no ID hashes nothing", 2, 40, -4, "", true, "\xfc\xff\xff\xff", "", 5},
        {"R3 with 40 bits", 3, 40, -4, "0123456789abcdef", true, "\xfc\xff\xff\xff", "", 5},
        {"R3 with 56 bits", 3, 56, -4, "0123456789abcdef", true, "\xfc\xff\xff\xff", "", 7},
        {"R3 with 96 bits", 3, 96, -4, "0123456789abcdef", true, "\xfc\xff\xff\xff", "", 12},
        {"R4 metadata in clear", 4, 128, -4, "0123456789abcdef", false, "\xfc\xff\xff\xff",
         "\xff\xff\xff\xff", 16},
        {"R3 ignores EncryptMetadata", 3, 128, -4, "0123456789abcdef", false, "\xfc\xff\xff\xff",
         "", 16},
    };
    for (const auto& c : cases) {
        EncryptionParams p;
        p.Filter = "Standard";
        p.V = c.R == 4 ? 4 : 2;
        p.StrF = p.StmF = c.R == 4 ? "StdCF" : "";
        p.CryptFilters["StdCF"] = "V2";
        p.R = c.R;
        p.Length = c.length;
        p.P = c.P;
        p.O = O;
        p.ID = c.id;
        p.EncryptMetadata = c.encryptMetadata;
        Md5Digest digest;
        Md5OfString(pad + O + c.pBytes + c.id + c.tail, digest);
        std::string expected(digest.begin(), digest.end());
        if (c.R >= 3)
            for (int round = 0; round < 50; ++round)
                expected = FromHex(Md5Hex(expected.substr(0, c.n)));
        expected.resize(c.n);
        EXPECT_EQ(ToHex(ComputeFileKey(PasswordPad, p)), ToHex(expected)) << c.what;
        EXPECT_EQ(KeyLengthBits(p), int(c.n * 8)) << c.what;
        EXPECT_EQ(ComputeU(expected, p).size(), c.R == 2 ? 32u : 16u) << c.what;
    }
}

TEST(ComputeObjectKey, HashesThreeObjectBytesTwoGenerationBytesAndTheAesSalt) {
    const std::string key16 = FromHex("55831911f0f2b9a08ac3cbcc766166db");
    const struct {
        std::string fileKey;
        int32_t object, generation;
        CryptMethod method;
        std::string referenceBytes;
        size_t keyBytes;
    } cases[] = {
        {key16, 70000, 0, CryptMethod::RC4, "7011010000", 16},
        {key16.substr(0, 5), 70000, 0, CryptMethod::RC4, "7011010000", 10},
        {key16.substr(0, 7), 2, 0, CryptMethod::RC4, "0200000000", 12},
        {key16, 0x12345678, 0x1234, CryptMethod::RC4, "7856343412", 16},
        {key16.substr(0, 5), 2, 65537, CryptMethod::RC4, "0200000100", 10},
        {key16, 12, 0, CryptMethod::AESV2, "0c00000000" + ToHex(std::string("sAlT")), 16},
    };
    for (const auto& c : cases) {
        const std::string expected =
            FromHex(Md5Hex(c.fileKey + FromHex(c.referenceBytes))).substr(0, c.keyBytes);
        EXPECT_EQ(ComputeObjectKey(c.fileKey, c.object, c.generation, c.method), expected)
            << c.object << " " << c.generation;
    }
    const std::string key32(32, 'k');
    EXPECT_EQ(ComputeObjectKey(key32, 5, 0, CryptMethod::AESV3), key32);
}

TEST(StringDecryptor, EachCallUsesTheKeyOfItsOwnObject) {
    // Calls in a row for one object share a key schedule; a change of object or generation
    // must give the bytes a fresh schedule would.
    const struct { int32_t obj, gen; } calls[] = {{7, 0}, {7, 0}, {8, 0}, {8, 1}, {7, 0}, {7, 0}};
    const std::string fileKey = FromHex("0102030405060708090a0b0c0d0e0f10");
    StringDecryptor decryptor(CryptMethod::RC4, fileKey);
    const std::string plain = "Title of the document";
    for (const auto& c : calls) {
        const std::string objectKey = ComputeObjectKey(fileKey, c.obj, c.gen, CryptMethod::RC4);
        Rc4State state;
        Rc4Setup(state, reinterpret_cast<const uint8_t*>(objectKey.data()), 16);
        std::string expected = plain;
        Rc4Apply(state, reinterpret_cast<uint8_t*>(expected.data()), int64_t(expected.size()));
        EXPECT_EQ(decryptor.Decrypt(plain, c.obj, c.gen), expected) << c.obj << ' ' << c.gen;
    }
}

TEST(StringDecryptor, IdentityPassesBytesAndBadAesIsOneUnreadableString) {
    StringDecryptor identity(CryptMethod::Identity, "");
    EXPECT_EQ(identity.Decrypt(std::string("a\0b", 3), 1, 0), std::string("a\0b", 3));
    StringDecryptor aes(CryptMethod::AESV2, std::string(16, 'k'));
    EXPECT_EQ(aes.Decrypt("too short", 1, 0), std::nullopt);
    EXPECT_EQ(aes.Decrypt(std::string(48, 'x'), 1, 0), std::nullopt); // pad byte 'x' is > 16
    EXPECT_EQ(aes.Decrypt(std::string(47, 'x'), 1, 0), std::nullopt);
}

TEST(CryptFilters, MethodsAndSupportFollowVersionAndFilters) {
    const struct {
        int32_t V, R;
        std::string cfm, strF, stmF;
        CryptMethod strings, streams;
        bool supported;
    } cases[] = {
        {1, 2, "", "", "", CryptMethod::RC4, CryptMethod::RC4, true},
        {2, 3, "AESV2", "StdCF", "StdCF", CryptMethod::RC4, CryptMethod::RC4, true},
        {4, 4, "AESV2", "StdCF", "StdCF", CryptMethod::AESV2, CryptMethod::AESV2, true},
        {4, 4, "V2", "StdCF", "StdCF", CryptMethod::RC4, CryptMethod::RC4, true},
        {4, 4, "AESV2", "Identity", "StdCF", CryptMethod::Identity, CryptMethod::AESV2, true},
        {4, 4, "AESV2", "", "", CryptMethod::Identity, CryptMethod::Identity, true},
        {4, 4, "None", "StdCF", "StdCF", CryptMethod::Identity, CryptMethod::Identity, true},
        // A filter /CF does not define is no method at all: the file stays protected.
        {4, 4, "AESV2", "OtherCF", "StdCF", CryptMethod::Identity, CryptMethod::AESV2, false},
        {4, 4, "AESV2", "StdCF", "OtherCF", CryptMethod::AESV2, CryptMethod::Identity, false},
        {4, 4, "Weird", "StdCF", "StdCF", CryptMethod::Identity, CryptMethod::Identity, false},
        {5, 6, "AESV3", "StdCF", "StdCF", CryptMethod::AESV3, CryptMethod::AESV3, true},
        {5, 5, "AESV3", "StdCF", "StdCF", CryptMethod::AESV3, CryptMethod::AESV3, true},
        {4, 6, "AESV3", "StdCF", "StdCF", CryptMethod::AESV3, CryptMethod::AESV3, false},
        {4, 4, "AESV3", "StdCF", "StdCF", CryptMethod::AESV3, CryptMethod::AESV3, false},
        {2, 7, "", "", "", CryptMethod::RC4, CryptMethod::RC4, false},
        {1, 1, "", "", "", CryptMethod::RC4, CryptMethod::RC4, false},
    };
    for (const auto& c : cases) {
        EncryptionParams p;
        p.Filter = "Standard";
        p.V = c.V;
        p.R = c.R;
        p.CryptFilters["StdCF"] = c.cfm;
        p.StrF = c.strF;
        p.StmF = c.stmF;
        EXPECT_EQ(StringMethod(p), c.strings) << c.V << c.R << c.cfm << c.strF;
        EXPECT_EQ(StreamMethod(p), c.streams) << c.V << c.R << c.cfm << c.stmF;
        EXPECT_EQ(IsSupported(p), c.supported) << c.V << c.R << c.cfm << c.strF;
        p.Filter = "Adobe.PubSec";
        EXPECT_FALSE(IsSupported(p));
    }
}
