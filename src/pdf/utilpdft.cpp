#include "pdf/utilpdft.h"

#include "common/bytestream.h"
#include "common/errors.h"
#include "jtext/cp932.h"
#include "jtext/jconvert.h"
#include "pdf/pdffile.h"
#include "pdf/pdfvalue.h"

#include <algorithm>
#include <optional>

namespace {

constexpr std::string_view kEscapedMark = "\\376\\377";

char16_t ParseUnit(std::string_view group) {
    unsigned value = 0;
    for (char c : group) {
        const int d = HexDigit(c);
        if (d < 0)
            throw EConvertError("'" + std::string(group) + "' は16進数ではありません");
        value = value * 16 + unsigned(d);
    }
    return char16_t(value);
}

std::string UpperFour(std::string_view digits) {
    std::string s(digits.substr(0, 4));
    for (char& c : s)
        if (c >= 'a' && c <= 'z')
            c = char(c - 32);
    return s;
}

// A language escape is the unit 001B, a two-byte language code, an optional two-byte country
// code and 001B again. Returns how many units it spans at the start, or 0 when none starts.
size_t LanguageEscapeUnits(const std::u16string& units) {
    if (units.empty() || units[0] != 0x1B)
        return 0;
    for (size_t k = 2; k <= 3 && k < units.size(); ++k)
        if (units[k] == 0x1B)
            return k + 1;
    return std::min<size_t>(3, units.size()); // no closing unit: the usual three
}

std::u16string UnitsOf(std::string_view bytes, bool bigEndian) {
    std::u16string units;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const auto a = uint8_t(bytes[i]), b = uint8_t(bytes[i + 1]);
        units += char16_t(bigEndian ? (a << 8 | b) : (b << 8 | a));
    }
    return units;
}

// unit as 932 bytes appended to out, "?" for one that shows nothing; the zero unit gives
// nothing.
void AppendFiltered(std::string& out, char16_t unit) {
    if (unit == 0)
        return;
    const size_t at = out.size();
    AppendUnitAsCp932(out, unit);
    if (!IsDisplayableChar(std::string_view(out).substr(at))) {
        out.resize(at);
        out += '?';
    }
}

// The byte of an escape's digits (at most three, each counted with its decimal value).
uint8_t OctalEscapeValue(std::string_view digits) {
    unsigned value = 0;
    for (char c : digits.substr(0, 3))
        value = value * 8 + unsigned(c - '0');
    return uint8_t(value);
}

} // namespace

std::string OctalEscapeToHex(std::string_view digits) {
    static const char hex[] = "0123456789ABCDEF";
    const uint8_t value = OctalEscapeValue(digits);
    return {hex[value >> 4], hex[value & 15]};
}

bool IsDisplayableChar(std::string_view c) {
    if (c.empty())
        return false;
    const auto b0 = uint8_t(c[0]);
    if (c.size() == 1)
        return b0 == 0x0A || b0 == 0x0D || (b0 >= 0x20 && b0 <= 0x7E) || (b0 >= 0xA1 && b0 <= 0xDF);
    const auto b1 = uint8_t(c[1]);
    const bool lead = (b0 >= 0x80 && b0 <= 0x9F) || (b0 >= 0xE0 && b0 <= 0xFC);
    const bool trail = (b1 >= 0x40 && b1 <= 0x7E) || (b1 >= 0x80 && b1 <= 0xFC);
    return lead && trail;
}

std::string HexToText(std::string_view hex, bool littleEndian) {
    const std::string digits = StripHexWhiteSpace(hex);
    std::string out;
    out.reserve(digits.size() / 2);
    for (size_t i = 0; i + 4 <= digits.size(); i += 4) {
        const char16_t unit = ParseUnit(std::string_view(digits).substr(i, 4));
        AppendFiltered(out, littleEndian ? char16_t((unit >> 8) | (unit << 8)) : unit);
    }
    return out;
}

std::string Utf16LiteralToText(std::string_view content) {
    if (content.substr(0, kEscapedMark.size()) == kEscapedMark)
        content.remove_prefix(kEscapedMark.size());
    std::string bytes; // big-endian units
    for (size_t i = 0; i < content.size() && content[i] != '\0'; ++i) {
        const char c = content[i];
        if (c != '\\') {
            bytes += c;
            continue;
        }
        if (++i == content.size() || content[i] == '\0')
            break;
        switch (const char e = content[i]) {
        case '(':
        case ')':
        case '\\':
            bytes += e;
            break;
        case 'n':
            bytes += '\n';
            break;
        case 'r':
            bytes += '\r';
            break;
        case 't':
            bytes += '\t';
            break;
        case 'b':
            bytes += '\b';
            break;
        case 'f':
            bytes += '\f';
            break;
        case '\n':
            break;
        case '\r':
            if (i + 1 < content.size() && content[i + 1] == '\n')
                ++i;
            break;
        default:
            if (e >= '0' && e <= '9') {
                size_t n = 1;
                while (n < 3 && i + n < content.size() && content[i + n] >= '0' &&
                       content[i + n] <= '9')
                    ++n;
                bytes += char(OctalEscapeValue(content.substr(i, n)));
                i += n - 1;
            }
        }
    }
    std::string out;
    out.reserve(bytes.size());
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
        AppendFiltered(out, char16_t(uint8_t(bytes[i]) << 8 | uint8_t(bytes[i + 1])));
    return out;
}

std::string DecodeStringBytes(std::string bytes) {
    // ASCII carries no mark and is the same in every encoding told apart here.
    if (std::all_of(bytes.begin(), bytes.end(), [](char c) { return uint8_t(c) < 0x80; }))
        return bytes;
    const int encoding = DetectEncoding(bytes);
    if (encoding == 7 || encoding == 8) {
        const bool bigEndian = encoding == 8;
        std::u16string units = UnitsOf(std::string_view(bytes).substr(2), bigEndian);
        units.erase(0, LanguageEscapeUnits(units));
        std::string le;
        for (char16_t u : units) {
            le += char(u & 0xFF);
            le += char(u >> 8);
        }
        return Utf16LeToAnsi(le);
    }
    if (encoding == 9 || encoding == 10)
        return Utf8ToCp932(encoding == 9 ? std::string_view(bytes).substr(3) : bytes);
    return bytes;
}

namespace {

// The text of a value as ReadInfoText gives it.
std::string InfoTextOf(ValueText value) {
    if (value.kind == StringKind::Literal) {
        if (value.text.substr(0, kEscapedMark.size()) == kEscapedMark)
            return Utf16LiteralToText(value.text);
        // Most literals have no escapes: their bytes are taken as they are.
        if (value.text.find('\\') == std::string::npos)
            return DecodeStringBytes(std::move(value.text));
        return DecodeStringBytes(UnescapeLiteral(value.text));
    }
    std::string digits = StripHexWhiteSpace(value.text);
    const std::string mark = UpperFour(digits);
    if (mark != "FEFF" && mark != "FFFE")
        return DecodeStringBytes(HexToBytes(digits));
    const bool littleEndian = mark == "FFFE";
    digits.erase(0, 4);
    std::u16string units;
    for (size_t i = 0; i + 4 <= digits.size() && i < 16; i += 4) {
        const char16_t u = ParseUnit(std::string_view(digits).substr(i, 4));
        units += littleEndian ? char16_t((u >> 8) | (u << 8)) : u;
    }
    digits.erase(0, 4 * LanguageEscapeUnits(units));
    return HexToText(digits, littleEndian);
}

// decode(value), kept in the reader for a value read from an object: a dictionary may name one
// large object many times.
template <class Decode>
std::string DecodedOnce(PdfReader& reader, ValueText value, int minLength, bool decrypted,
                        Decode decode) {
    if (value.object <= 0)
        return decode(std::move(value));
    auto& known = reader.DecodedValues();
    const PdfReader::DecodedKey key{value.object, minLength, decrypted};
    if (const auto it = known.find(key); it != known.end())
        return it->second;
    return known.emplace(key, decode(std::move(value))).first->second;
}

} // namespace

std::string ReadInfoText(PdfReader& reader, std::string_view key, std::string_view text,
                         int minLength) {
    return DecodedOnce(reader, reader.ExtractValueText(key, text, minLength), minLength, false,
                       InfoTextOf);
}

namespace {

std::string DecryptedText(ValueText value, StringDecryptor& decryptor, int32_t objectNumber,
                          int32_t generation) {
    const std::optional<std::string> decrypted =
        decryptor.Decrypt(value.kind == StringKind::Hexadecimal ? HexToBytes(value.text)
                                                                : UnescapeLiteral(value.text),
                          objectNumber, generation);
    if (!decrypted)
        return {};
    if (decrypted->substr(0, kEscapedMark.size()) == kEscapedMark)
        return Utf16LiteralToText(*decrypted);
    return DecodeStringBytes(*decrypted);
}

} // namespace

std::string ReadEncryptedInfoText(PdfReader& reader, StringDecryptor& decryptor,
                                  int32_t objectNumber, int32_t generation, std::string_view key,
                                  std::string_view text, int minLength) {
    // The key of one reader's decryption never changes, so a decoded value of an object is
    // kept as for plain files. A value given by reference is decrypted with its own object's
    // key.
    return DecodedOnce(reader, reader.ExtractValueText(key, text, minLength), minLength, true,
                       [&](ValueText value) {
                           const int32_t own = value.object;
                           return own > 0 ? DecryptedText(std::move(value), decryptor, own,
                                                          reader.ObjectGeneration(own))
                                          : DecryptedText(std::move(value), decryptor, objectNumber,
                                                          generation);
                       });
}

std::string StringValueText(PdfReader& reader, ValueText value) {
    return DecodedOnce(reader, std::move(value), -1, false, InfoTextOf);
}

std::string DecryptedStringValueText(PdfReader& reader, ValueText value, StringDecryptor& decryptor,
                                     int32_t objectNumber, int32_t generation) {
    return DecodedOnce(reader, std::move(value), -1, true, [&](ValueText v) {
        return DecryptedText(std::move(v), decryptor, objectNumber, generation);
    });
}
