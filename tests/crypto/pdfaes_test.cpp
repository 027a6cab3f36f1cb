// SPDX-License-Identifier: GPL-3.0-or-later
#include "crypto/hex.h"
#include "crypto/pdfaes.h"
#include "crypto/standardsecurity.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

// FIPS-197 appendix C.1: AES-128 with key 000102..0f turns 00112233..ff into 69c4e0d8...
// With CBC the IV is XORed into the plain block first, so choosing IV = wanted plain text XOR
// 00112233..ff makes that one published block decrypt to any wanted 16 bytes.
const std::string kFipsKey128 = FromHex("000102030405060708090a0b0c0d0e0f");
const std::string kFipsBlock128 = FromHex("69c4e0d86a7b0430d8cdb78070b4c55a");

std::string Ivd(const std::string& ivHex) {
    return FromHex(ivHex) + kFipsBlock128;
}

} // namespace

TEST(AesDecryptString, IvInFrontAndPaddingRemovedOrRefused) {
    const struct {
        std::string data;
        std::optional<std::string> plain;
    } cases[] = {
        {Ivd("10013223544576679889baabdccdfeef"), ""},                 // a whole block of padding
        {Ivd("6173413e49586b7a8594a7b6c1d0e3f2"), "abc"},              // "abc" and 13 pad bytes
        {Ivd("00112233445566778899aabbccddeeff"), std::nullopt},       // plain all zero: pad 0
        {Ivd("617341572133011fe1f3c1d7a1b381fd"), std::nullopt},       // ends 'o' 02: mixed pad
        {Ivd("10013223544576679889baabdccdfeef") + "x", std::nullopt}, // not whole blocks
        {FromHex("10013223544576679889baabdccdfeef"), std::nullopt},   // the IV alone
        {"", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(AesDecryptString(kFipsKey128, c.data), c.plain) << ToHex(c.data);
}

TEST(AesCbc, PublishedVectors) {
    // NIST SP 800-38A F.2.2 (CBC-AES128, first block) and FIPS-197 C.3 (AES-256, zero IV).
    EXPECT_EQ(AesCbcDecrypt(FromHex("2b7e151628aed2a6abf7158809cf4f3c"),
                            FromHex("000102030405060708090a0b0c0d0e0f"),
                            FromHex("7649abac8119b246cee98e9b12e9197d")),
              FromHex("6bc1bee22e409f96e93d7e117393172a"));
    const std::string key256 =
        FromHex("000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f");
    EXPECT_EQ(
        AesCbcDecrypt(key256, std::string(16, '\0'), FromHex("8ea2b7ca516745bfeafc49904b496089")),
        FromHex("00112233445566778899aabbccddeeff"));
    EXPECT_EQ(AesCbcDecrypt(kFipsKey128, std::string(16, '\0'), kFipsBlock128),
              FromHex("00112233445566778899aabbccddeeff"));
    EXPECT_EQ(AesCbcDecrypt("short key", std::string(16, '\0'), kFipsBlock128), std::nullopt);
}

namespace {

// Published revision 5 and 6 values for user "user" and owner "owner" (the test expectations
// of a widely used PDF reader's crypto suite).
struct AesVector {
    int R;
    std::string uHash, uValidation, uKeySalt, oHash, oValidation, oKeySalt, UE, OE, fileKey;
};

const AesVector kVectors[] = {
    {5, "83f28fa057028a864ffdbdade04990f1be51c50ff96991970fc24103017ebbdd", "75a904209f6516dc",
     "a85ed7c06426bc28", "3c6289233365c898d2b2e2e486cda318cc7eb1246a32247dd2acab78de6c8b73",
     "f37647998011653e", "c8f5f20cda7b1878",
     "2396c3a9f53333ff9e9e21f2e74b7dbe197eac72c3f489f5eaa52a4a3c261111",
     "d5ca0ebd6e4c46bf06c30abe9d649055083e7bb29ce53228e5d836de22266adf",
     "3f7288d1573d0c1ef901ba90fef8a3999733850a5098ce0f48bbe721e0ef0dd5"},
    {6, "5ee6cd4ba663fa4cdb801155391121a4962e67b0a09cbbe9a6dfa3fd93eb5fb8", "53f59265c6f722c6",
     "bf0b105eedd814af", "58e83e36f51af5d1897bdd48c73125d91f4a73a77f9eb04d2da3572f275ad98d",
     "8ee8a9d0cad605b9", "1dd0b92e0b4c8795",
     "79d002b5e6599c3cfd8fd41c54b4c4b1ad80dd6b2e145eba87335f1814dffe24",
     "d149e04d679bc9b5be44df143e5a38d205f0b280ee7c44fefdf43e6cd0870afb",
     "2adad527495b484f4326f88512bd3d226b4f1d383bb5d576712241d257ae16ef"},
};

EncryptionParams ParamsOf(const AesVector& v) {
    EncryptionParams p;
    p.Filter = "Standard";
    p.V = 5;
    p.R = v.R;
    p.Length = 256;
    p.CryptFilters["StdCF"] = "AESV3";
    p.StrF = p.StmF = "StdCF";
    p.U = FromHex(v.uHash + v.uValidation + v.uKeySalt);
    p.O = FromHex(v.oHash + v.oValidation + v.oKeySalt);
    p.UE = FromHex(v.UE);
    p.OE = FromHex(v.OE);
    return p;
}

} // namespace

TEST(AesHash, UserAndOwnerHashesMatchPublishedValues) {
    for (const AesVector& v : kVectors) {
        auto hash = v.R == 5 ? HashR5 : HashR6;
        const std::string U = FromHex(v.uHash + v.uValidation + v.uKeySalt);
        EXPECT_EQ(ToHex(hash("user", FromHex(v.uValidation), "")), v.uHash) << v.R;
        EXPECT_EQ(ToHex(hash("owner", FromHex(v.oValidation), U)), v.oHash) << v.R;
        EXPECT_NE(ToHex(hash("User", FromHex(v.uValidation), "")), v.uHash) << v.R;
    }
}

TEST(AesPasswords, UserAndOwnerUnlockThePublishedFileKey) {
    for (const AesVector& v : kVectors) {
        const EncryptionParams params = ParamsOf(v);
        EXPECT_TRUE(IsSupported(params));
        EXPECT_EQ(KeyLengthBits(params), 256);
        const struct {
            std::string password;
            int expected;
        } cases[] = {{"owner", 1}, {"user", 2}, {"", -1}, {"Owner", -1}, {"use", -1}};
        for (const auto& c : cases) {
            std::string key = "untouched";
            EXPECT_EQ(CheckPassword(c.password, params, key), c.expected)
                << v.R << " " << c.password;
            EXPECT_EQ(key, c.expected > 0 ? FromHex(v.fileKey) : "untouched") << c.password;
        }
        std::string key = "untouched";
        EXPECT_FALSE(CheckEmptyUserPassword(params, key));
        EXPECT_EQ(key, "untouched");
    }
}

TEST(AesPasswords, AShortEntryFailsOnlyTheChecksThatNeedIt) {
    const struct {
        std::string EncryptionParams::*entry;
        const char* name;
        int owner, user;
    } cases[] = {{&EncryptionParams::U, "U", -1, -1},
                 {&EncryptionParams::O, "O", -1, 2},
                 {&EncryptionParams::UE, "UE", 1, -1},
                 {&EncryptionParams::OE, "OE", -1, 2}};
    for (const AesVector& v : kVectors)
        for (const auto& c : cases) {
            EncryptionParams p = ParamsOf(v);
            (p.*c.entry).resize(20);
            std::string key;
            EXPECT_EQ(CheckPassword("owner", p, key), c.owner) << v.R << " " << c.name;
            EXPECT_EQ(CheckPassword("user", p, key), c.user) << v.R << " " << c.name;
        }
}
