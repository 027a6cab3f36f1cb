#include "pdf/utilpdft.h"

#include "common/bytestream.h"
#include "common/errors.h"
#include "pdf/pdffile.h"
#include "support/pdfbuilder.h"

#include <gtest/gtest.h>

using namespace std::string_literals;

namespace {

// A file with one string object, so that values can refer to it.
class StringsFile : public ::testing::Test {
protected:
    void SetUp() override {
        PdfBuilder pdf;
        pdf.Object(1, "<< /Type /Catalog >>").Object(12, "(Indirect title)");
        pdf.FullSection("/Size 13 /Root 1 0 R");
        reader_ = std::make_unique<PdfReader>(dir_.Write("s.pdf", pdf.Bytes()));
        reader_->ReadXrefChain(reader_->FindStartXref());
    }
    std::string Title(const std::string& value) {
        return ReadInfoText(*reader_, "/title", "/Title " + value, -1);
    }
    TempDir dir_;
    std::unique_ptr<PdfReader> reader_;
};

const std::string kA = "A";
const std::string kHiragana = "\x82\xA0"; // あ in code page 932

} // namespace

TEST(OctalEscapeToHex, CountsEachDigitWithItsDecimalValue) {
    const std::pair<const char*, const char*> cases[] = {
        {"0", "00"},   {"7", "07"},   {"8", "08"},   {"12", "0A"}, {"101", "41"},
        {"377", "FF"}, {"777", "FF"}, {"400", "00"}, {"99", "51"},
    };
    for (const auto& [digits, hex] : cases)
        EXPECT_EQ(OctalEscapeToHex(digits), hex) << digits;
}

TEST(IsDisplayableChar, AcceptsPrintableBytesKatakanaAndDoubleByteCharacters) {
    const std::pair<std::string, bool> cases[] = {
        {"", false},         {"\n", true},        {"\r", true},        {"\t", false},
        {" ", true},         {"~", true},         {"\x7F", false},     {"\xA1", true},
        {"\xDF", true},      {"\xE0", false},     {"\x1B", false},     {"\x82\xA0", true},
        {"\x80\x40", true},  {"\x82\x7F", false}, {"\x82\x3F", false}, {"\xFC\xFC", true},
        {"\xFD\x40", false},
    };
    for (const auto& [bytes, shown] : cases)
        EXPECT_EQ(IsDisplayableChar(bytes), shown) << bytes;
}

TEST(HexToText, ConvertsOneUnitAtATime) {
    const std::pair<const char*, std::string> cases[] = {
        {"", ""},           {"004", ""},   {"00410", kA},       {"0041", kA},
        {"00410042", "AB"}, {"0009", "?"}, {"001B", "?"},       {"3042", kHiragana},
        {"00e9", "?"},      {"0000", ""},  {"0041 0042", "AB"}, {"D83DDE00", "??"},
    };
    for (const auto& [hex, text] : cases)
        EXPECT_EQ(HexToText(hex), text) << hex;
    EXPECT_EQ(HexToText("41004200", true), "AB");
    EXPECT_THROW(HexToText("00G1"), EConvertError);
}

TEST(Utf16LiteralToText, TurnsEscapesIntoUnits) {
    const std::pair<std::string, std::string> cases[] = {
        {"", ""},
        {"\\376\\377\\000A", kA},
        {"\\376\\377\\0000A", "0"}, // hex 003041: one whole unit, the last digits ignored
        {"\\376\\377\\000\\101", kA},
        {"\\376\\377\\000\\\r\nA", kA},
        {"\\376\\377\\000\\\nA", kA},
        {"\\376\\3770B", kHiragana}, // the raw bytes "0B" are 30 42: unit 3042
        {"\\376\\377\\000\\(", "("},
        {"\\376\\377\\000A\0\\000B"s, kA}, // the walk ends at a zero byte
    };
    for (const auto& [content, text] : cases)
        EXPECT_EQ(Utf16LiteralToText(content), text) << content;
}

TEST_F(StringsFile, LiteralValuesAreUnescapedAndDecoded) {
    const std::pair<std::string, std::string> cases[] = {
        {"(abc)", "abc"},
        {"(a\\)b)", "a)b"}, // short content is unescaped too
        {"(Hello\\)World)", "Hello)World"},
        {"(Report (v2) final)", "Report (v2) final"},
        {"(\\101\\102)", "AB"},
        {"(\\202\\240)", kHiragana}, // Shift-JIS written as octal escapes
        {"(\x82\xA0\x82\xA2)", "\x82\xA0\x82\xA2"},
        {"(\\376\\377\\000A)", kA},
        {"(\xFE\xFF\\000A)", kA},
        {"(\xFF\xFE"
         "A\\000)",
         kA},
        // 小 is U+5C0F: its first byte is a backslash the producer had to escape.
        {"(\xFE\xFF\\\\\x0F)", "\x8F\xAC"},
        {"(\xFE\xFF\\(\x0F)", "?"},                   // U+280F: braille, not in the code page
        {"(\xFE\xFF\\000\x1Bja\\000\x1B\\000A)", kA}, // language escape
        {"(\xE3\x81\x82\xE3\x81\x84xyz)", "\x82\xA0\x82\xA2xyz"},
        {"(\xEF\xBB\xBF\xE3\x81\x82\xE3\x81\x84xyz)", "\x82\xA0\x82\xA2xyz"},
        {"12 0 R", "Indirect title"},
    };
    for (const auto& [value, text] : cases)
        EXPECT_EQ(Title(value), text) << value;
}

TEST_F(StringsFile, HexadecimalValuesFollowTheirMark) {
    const std::pair<std::string, std::string> cases[] = {
        {"<FEFF0041>", kA},
        {"<feff0041>", kA},
        {"<FEFF0041>>>", kA},
        {"<FEFF001B6A61001B0041>", kA},
        {"<FEFF001B6A614A50001B0041>", kA}, // with a country code
        {"<FEFF3042>", kHiragana},
        {"<FEFF0009>", "?"},
        {"<FEFF004>", ""},
        {"<FFFE4100>", kA}, // little-endian, as the mark says
        {"<FFFE1B006A611B004100>", kA},
        {"<FE FF 00 41\n00 42>", "AB"},
        {"<48656C6C6F>", "Hello"}, // no mark: bytes
        {"<82A0>", kHiragana},
        {"<E38182E38184787A7A>", "\x82\xA0\x82\xA2xzz"},
        {"<>", ""},
    };
    for (const auto& [value, text] : cases)
        EXPECT_EQ(Title(value), text) << value;
    EXPECT_THROW(Title("<FEFF00G1>"), EConvertError);
    EXPECT_THROW(Title("<4X>"), EConvertError);
}

TEST_F(StringsFile, EncryptedValuesAreDecryptedWithTheObjectKeyThenDecoded) {
    const std::string key = "\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a\x0b\x0c\x0d\x0e\x0f\x10";
    auto encrypt = [&](const std::string& plain, int32_t keyLength) {
        StringDecryptor rc4(CryptMethod::RC4, key.substr(0, keyLength == 40 ? 5 : 16));
        return *rc4.Decrypt(plain, 7, 0);
    };
    auto hex = [](const std::string& bytes) {
        static const char digits[] = "0123456789ABCDEF";
        std::string out;
        for (unsigned char c : bytes)
            out += {digits[c >> 4], digits[c & 15]};
        return out;
    };
    const std::pair<std::string, std::string> cases[] = {
        {"Report", "Report"},
        {"\xFE\xFF\0A"s, kA},
        {"\xFF\xFE"
         "A\0"s,
         kA},
        {"\xFE\xFF\0\x1Bja\0\x1B\0A"s, kA},
        {"", ""},
        {"a\0b"s, "a\0b"s},
        {"\xE3\x81\x82\xE3\x81\x84xyz", "\x82\xA0\x82\xA2xyz"},
        {"\\376\\377\\000A", kA},
    };
    for (const int32_t keyLength : {40, 128}) {
        for (const auto& [plain, text] : cases) {
            const std::string secret = encrypt(plain, keyLength);
            StringDecryptor decryptor(CryptMethod::RC4, key.substr(0, keyLength == 40 ? 5 : 16));
            const std::string asHex = "/Title <" + hex(secret) + ">";
            EXPECT_EQ(ReadEncryptedInfoText(*reader_, decryptor, 7, 0, "/title", asHex, -1), text)
                << plain;
            std::string escaped; // the same bytes as a literal, every byte an octal escape
            for (unsigned char c : secret)
                escaped += "\\" + std::to_string(c >> 6) + std::to_string((c >> 3) & 7) +
                           std::to_string(c & 7);
            EXPECT_EQ(ReadEncryptedInfoText(*reader_, decryptor, 7, 0, "/title",
                                            "/Title (" + escaped + ")", -1),
                      text)
                << plain;
        }
    }
}
