// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// PDF objects as values, and the parser that reads them from a file's bytes. Dictionaries are
// read whole, so a key is looked up at the level it belongs to: a value's bytes (a string
// holding "/Count" or line breaks, a nested dictionary) can never pass for a key.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct PdfEntry;

struct PdfObject {
    enum class Kind { Null, Boolean, Integer, Real, String, Name, Array, Dictionary, Reference };
    Kind kind = Kind::Null;
    int64_t integer = 0;    // Integer, Boolean (0 or 1), Reference (the object number)
    int32_t generation = 0; // Reference
    double real = 0;
    // String: its bytes, escapes resolved and hexadecimal digits decoded (and, once the object
    // store gives it, decrypted); Name: without the slash, #xx escapes resolved.
    std::string text;
    std::vector<PdfObject> items;  // Array
    std::vector<PdfEntry> entries; // Dictionary: one entry a key, in the order Get searches

    bool IsNull() const { return kind == Kind::Null; }
    bool IsInteger() const { return kind == Kind::Integer; }
    bool IsString() const { return kind == Kind::String; }
    bool IsReference() const { return kind == Kind::Reference; }
    bool IsArray() const { return kind == Kind::Array; }
    bool IsDictionary() const { return kind == Kind::Dictionary; }
    bool IsName(std::string_view name) const { return kind == Kind::Name && text == name; }
    // The entry for key (no slash) of a dictionary, else one equal to it without regard to
    // case (files with "/title" exist); nullptr if none. Found by binary search: a dictionary
    // of many keys costs a lookup no more than a few comparisons.
    const PdfObject* Get(std::string_view key) const;
    // Entries of other that this dictionary lacks are added (a newer trailer over an older).
    void AddMissing(PdfObject other);
    // key set to value, replacing an entry of that exact key.
    void Set(std::string key, PdfObject value);
};

// One key (without its slash) and its value.
struct PdfEntry {
    PdfEntry() = default;
    // Made in place by emplace_back, value moved once: clang before 16 makes no aggregate from
    // parentheses, and a braced entry pushed costs a second move (2 % more instructions on modern
    // files).
    PdfEntry(std::string&& k, PdfObject&& v) : key(std::move(k)), value(std::move(v)) {}
    std::string key;
    PdfObject value;
};

// A dictionary or an array nests at most this deep; deeper input is damaged or hostile.
constexpr int kMaxObjectDepth = 64;
// One object holds at most this many values (a page tree's flat /Kids of 200,000 pages is
// far beyond real files); more raise EReadError(OverBudget).
constexpr size_t kMaxObjectValues = size_t(1) << 18;

// The keys (without their slash) a dictionary is read for; empty for all of them.
using KeySet = std::span<const std::string_view>;

// Reads one object from text at pos (white space and comments first skipped), leaving pos
// after it; "n g R" is a reference. A damaged object gives what was read of it: an unclosed
// dictionary ends at the end of the text, an unknown keyword is null, a character that is no
// hexadecimal digit inside <...> is passed over. cutShort, when given, tells whether the text
// ended inside the object (an unclosed string or dictionary). More than kMaxObjectValues values
// raise EReadError(OverBudget).
// When keep names keys and the object is a dictionary, only its entries of those keys (in any
// case, as Get finds them) are made: the other values are stepped over, which costs a fraction
// of making them (a page tree's /Kids of every page, when only its /Count is wanted). Whatever
// keep holds, pos, cutShort and the budget come out the same.
PdfObject ParseObject(std::string_view text, size_t& pos, bool* cutShort = nullptr,
                      KeySet keep = {});

// The integer at pos as ParseObject reads it, with pos left after it; false when the value there
// is anything else (a real, a keyword, "n g R"). Plain digits, as tables of numbers hold them,
// are read without making a value.
bool ParseIntegerAt(std::string_view text, size_t& pos, int64_t& value);

// "n g obj" at pos (after white space), with pos left after "obj". False when not there.
bool ParseObjectHeader(std::string_view text, size_t& pos, int64_t& number, int32_t& generation);

// After an object at pos: the offset just past the "stream" keyword and its line end, or npos
// when no stream follows.
size_t StreamDataStart(std::string_view text, size_t pos);

// What each byte is to the parser, looked up rather than searched for: the readers ask it of
// every byte they read.
namespace pdfbytes {
enum class Class : uint8_t { Regular, Space, Delimiter };
inline constexpr auto kClasses = [] {
    std::array<Class, 256> classes{};
    for (const char c : std::string_view("\0\t\n\f\r ", 6))
        classes[uint8_t(c)] = Class::Space;
    for (const char c : std::string_view("()<>[]{}/%"))
        classes[uint8_t(c)] = Class::Delimiter;
    return classes;
}();
} // namespace pdfbytes

// PDF white space: NUL, TAB, LF, FF, CR, space.
inline bool IsPdfSpace(char c) {
    return pdfbytes::kClasses[uint8_t(c)] == pdfbytes::Class::Space;
}
// A byte that is neither white space nor a delimiter: part of a number, keyword or name.
inline bool IsRegularChar(char c) {
    return pdfbytes::kClasses[uint8_t(c)] == pdfbytes::Class::Regular;
}
