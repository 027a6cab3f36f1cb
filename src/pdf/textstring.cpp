// SPDX-License-Identifier: GPL-3.0-or-later
#include "pdf/textstring.h"

#include "jtext/cp932.h"
#include "jtext/cp932_tables.h"
#include "jtext/encodingdetect.h"
#include "jtext/junicode.h"

#include <algorithm>

namespace {

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
    units.reserve(bytes.size() / 2);
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const auto a = uint8_t(bytes[i]), b = uint8_t(bytes[i + 1]);
        units += char16_t(bigEndian ? (a << 8 | b) : (b << 8 | a));
    }
    return units;
}

// unit as the list shows it, appended to out as UTF-8: a control character other than CR and
// LF shows nothing and becomes U+FFFD; the zero unit (padding some writers leave) gives nothing.
void AppendShownUnit(std::string& out, char32_t unit) {
    if (unit == 0)
        return;
    const bool control = (unit < 0x20 && unit != 0x0A && unit != 0x0D) || unit == 0x7F;
    AppendUtf8(out, control ? 0xFFFD : unit);
}

// Units to shown text: a surrogate pair is one character, a lone
// surrogate U+FFFD.
std::string UnitsToText(std::u16string_view units) {
    std::string out;
    out.reserve(units.size() * 2);
    for (size_t i = 0; i < units.size(); ++i) {
        const char32_t u = units[i];
        const bool high = u >= 0xD800 && u <= 0xDBFF, low = u >= 0xDC00 && u <= 0xDFFF;
        if (high && i + 1 < units.size() && units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
            AppendShownUnit(out, 0x10000 + ((u - 0xD800) << 10) + (units[i + 1] - 0xDC00u));
            ++i;
        } else {
            AppendShownUnit(out, high || low ? 0xFFFD : u);
        }
    }
    return out;
}

// PDFDocEncoding from 0x18 on; below that it is the same as Unicode. 0x7F, 0x9F and 0xAD stand
// for no character.
constexpr char16_t kPdfDocHigh[] = {
    0x02D8, 0x02C7, 0x02C6, 0x02D9, 0x02DD, 0x02DB, 0x02DA, 0x02DC, // 0x18
    0x2022, 0x2020, 0x2021, 0x2026, 0x2014, 0x2013, 0x0192, 0x2044, // 0x80
    0x2039, 0x203A, 0x2212, 0x2030, 0x201E, 0x201C, 0x201D, 0x2018, // 0x88
    0x2019, 0x201A, 0x2122, 0xFB01, 0xFB02, 0x0141, 0x0152, 0x0160, // 0x90
    0x0178, 0x017D, 0x0131, 0x0142, 0x0153, 0x0161, 0x017E, 0xFFFD, // 0x98
    0x20AC,                                                         // 0xA0
};

char32_t PdfDocChar(uint8_t b) {
    if (b >= 0x18 && b <= 0x1F)
        return kPdfDocHigh[b - 0x18];
    if (b >= 0x80 && b <= 0xA0)
        return kPdfDocHigh[8 + (b - 0x80)];
    if (b == 0x7F || b == 0xAD)
        return 0xFFFD;
    return b;
}

bool IsHalfWidthKana(uint8_t b) {
    return b >= 0xA1 && b <= 0xDF;
}

// Whether Unicode text decoded from a Japanese reading holds only characters a Japanese
// writer puts in a title: no U+FFFD (a byte or pair the reading does not define), no
// private-use character (user-defined pairs) and no lone 0x80.
bool AllDefined(std::string_view utf8) {
    for (size_t i = 0; i < utf8.size(); ++i) {
        const auto b = uint8_t(utf8[i]);
        if (b == 0xC2 && i + 1 < utf8.size() && uint8_t(utf8[i + 1]) == 0x80)
            return false; // U+0080
        if (b == 0xEF && i + 2 < utf8.size() && uint8_t(utf8[i + 1]) == 0xBF &&
            uint8_t(utf8[i + 2]) == 0xBD)
            return false; // U+FFFD
        if (b == 0xEE || (b == 0xEF && i + 1 < utf8.size() && uint8_t(utf8[i + 1]) < 0xA4))
            return false; // U+E000-U+F8FF
    }
    return true;
}

// What the Shift-JIS reading of bytes shows that no Latin string gives: a pair whose second
// byte is 0x80 or above, or two pairs in a row that both lead with 0x81-0x9F (kana, symbols,
// the first level of kanji) (strong); two half-width katakana in a row (weak: EUC-JP kana and
// kanji look the same).
enum class Evidence { None, Weak, Strong };
Evidence ShiftJisEvidence(std::string_view s) {
    bool lastWasLowPair = false, lastWasKana = false, kanaRun = false;
    for (size_t i = 0; i < s.size(); ++i) {
        const auto c = uint8_t(s[i]);
        if (IsCp932Lead(c) && i + 1 < s.size()) {
            const bool low = c <= 0x9F;
            if (uint8_t(s[i + 1]) >= 0x80 || (low && lastWasLowPair))
                return Evidence::Strong;
            lastWasLowPair = low, lastWasKana = false;
            ++i;
        } else if (IsHalfWidthKana(c)) {
            kanaRun = kanaRun || lastWasKana;
            lastWasKana = true, lastWasLowPair = false;
        } else {
            lastWasLowPair = lastWasKana = false;
        }
    }
    return kanaRun ? Evidence::Weak : Evidence::None;
}

} // namespace

std::string PdfDocToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 4);
    // Printable ASCII, most of any text, is itself.
    for (size_t i = 0; i < bytes.size(); ++i) {
        const size_t from = i;
        while (i < bytes.size() && uint8_t(bytes[i]) >= 0x20 && uint8_t(bytes[i]) < 0x7F)
            ++i;
        out.append(bytes.substr(from, i - from));
        if (i < bytes.size())
            AppendUtf8(out, PdfDocChar(uint8_t(bytes[i])));
    }
    return out;
}

// How a string without a UTF-16 mark is read. PDF says such strings are PDFDocEncoding, but
// Japanese producers have long written raw Shift-JIS (and some EUC-JP or JIS) into them, and
// others write UTF-8 without its mark. The reading is chosen in this order:
//  1. ESC $ B or ESC $ @ anywhere: JIS (ISO-2022-JP); no Latin text holds those bytes.
//  2. Only ASCII: PDFDocEncoding (the same as ASCII but for 0x18-0x1F and 0x7F).
//  3. The UTF-8 mark, or well-formed UTF-8 with at least one byte above 0x7F: UTF-8. Latin
//     PDFDocEncoding text is well-formed UTF-8 only when it is UTF-8 read as Latin already
//     ("CafÃ©"); Shift-JIS and EUC-JP titles nearly never are (their lead bytes 0x81-0x9F and
//     0xA1-0xBF are UTF-8 continuation bytes).
//  4. Shift-JIS or EUC-JP when DetectEncoding finds them (5 or 4) or cannot decide between
//     them (6), and the reading defines every character (no U+FFFD, no user-defined pair) and
//     shows Japanese evidence. For Shift-JIS that is a pair whose second byte is 0x80 or above
//     (every hiragana, most kanji) or two pairs in a row that lead with 0x81-0x9F (katakana
//     such as テスト, 83 65 83 58 83 67). Latin text has its accented letters and
//     PDFDocEncoding punctuation between ASCII bytes, so a misread pair has an ASCII second
//     byte; misread pairs do follow each other ("brûlée": FB 6C E9 65), but they lead with a
//     lower-case accented letter, 0xE0-0xFF. For EUC-JP it is any pair: both its bytes are
//     above 0xA0, which Latin text has side by side only in UTF-8 read as Latin, taken at
//     step 3. Two half-width katakana in a row are weaker evidence for Shift-JIS: EUC-JP kana
//     and kanji read as Shift-JIS look just so, so EUC-JP goes first unless DetectEncoding
//     said Shift-JIS. Where DetectEncoding said EUC-JP, EUC-JP is tried first.
//  5. Anything else: PDFDocEncoding.
// Tuned on: the raw Shift-JIS and EUC-JP titles of the tests (あい 82A0 82A2, 日本語 EUC
// C6FC CBDC B8EC) and of the corpus; "Niño" (F1 6F: a user-defined pair), "Café" (E9 at the
// end: a lone lead byte), "Müller" (FC 6C: undefined), "Garçon" (E7 6F: one pair with an
// ASCII second byte), "© 2020" (A9: one half-width katakana), "Author’s" written in
// Windows-1252 (92 73: one pair with an ASCII second byte), "crème brûlée" (two pairs in a row
// leading with 0xFB and 0xE9).
namespace {

// ChooseByteReading, keeping in utf8 (when given) the text of a Shift-JIS or EUC-JP reading,
// which the choice had to make to see that the reading defines every character.
ByteReading ReadingOf(std::string_view bytes, std::string* utf8) {
    if (bytes.find("\x1B$B") != std::string_view::npos ||
        bytes.find("\x1B$@") != std::string_view::npos)
        return ByteReading::Jis;
    if (std::all_of(bytes.begin(), bytes.end(), [](char c) { return uint8_t(c) < 0x80; }))
        return ByteReading::PdfDoc;
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF" || IsValidUtf8(bytes))
        return ByteReading::Utf8;
    const int detected = DetectEncoding(bytes);
    if (detected != 4 && detected != 5 && detected != 6)
        return ByteReading::PdfDoc;
    const Evidence evidence = ShiftJisEvidence(bytes);
    std::string shiftJisText, eucJpText;
    const bool shiftJis =
        evidence != Evidence::None && AllDefined(shiftJisText = Cp932ToUtf8(bytes));
    auto eucJp = [&] {
        int bad = 0;
        const std::string sjis = EucJpToShiftJis(bytes, &bad);
        return bad == 0 && sjis != bytes && AllDefined(eucJpText = Cp932ToUtf8(sjis));
    };
    auto found = [&](ByteReading reading) {
        if (utf8 && reading != ByteReading::PdfDoc)
            *utf8 = std::move(reading == ByteReading::ShiftJis ? shiftJisText : eucJpText);
        return reading;
    };
    if (detected == 4 && eucJp())
        return found(ByteReading::EucJp);
    if (shiftJis && (evidence == Evidence::Strong || detected == 5))
        return found(ByteReading::ShiftJis);
    if (eucJp())
        return found(ByteReading::EucJp);
    return found(shiftJis ? ByteReading::ShiftJis : ByteReading::PdfDoc);
}

} // namespace

ByteReading ChooseByteReading(std::string_view bytes) {
    return ReadingOf(bytes, nullptr);
}

std::string BytesToUtf8(std::string_view bytes) {
    std::string text;
    switch (ReadingOf(bytes, &text)) {
    case ByteReading::Jis:
        return Cp932ToUtf8(Iso2022JpToShiftJis(bytes));
    case ByteReading::Utf8:
        if (bytes.substr(0, 3) == "\xEF\xBB\xBF")
            bytes.remove_prefix(3);
        // A malformed byte after the mark becomes U+FFFD, as in code page 932 ("?").
        return RepairUtf8(bytes);
    case ByteReading::ShiftJis:
    case ByteReading::EucJp:
        return text;
    case ByteReading::PdfDoc:
        break;
    }
    return PdfDocToUtf8(bytes);
}

std::string TextStringToUtf8(std::string_view bytes) {
    const bool bigEndian = bytes.substr(0, 2) == "\xFE\xFF";
    if (bigEndian || bytes.substr(0, 2) == "\xFF\xFE") {
        std::u16string units = UnitsOf(bytes.substr(2), bigEndian);
        units.erase(0, LanguageEscapeUnits(units));
        return UnitsToText(units);
    }
    return BytesToUtf8(bytes);
}
