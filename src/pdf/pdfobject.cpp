// SPDX-License-Identifier: GPL-3.0-or-later
#include "pdf/pdfobject.h"

#include "common/errors.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdlib>
#include <type_traits>

namespace {

bool IsDelimiter(char c) {
    return pdfbytes::kClasses[uint8_t(c)] == pdfbytes::Class::Delimiter;
}

bool IsRegular(char c) {
    return IsRegularChar(c);
}

// The value of one hexadecimal digit (either case), or -1 for any other character.
int HexDigit(char c) {
    static constexpr auto kDigits = [] {
        std::array<int8_t, 256> digits{};
        for (int i = 0; i < 256; ++i)
            digits[size_t(i)] = i >= '0' && i <= '9'   ? int8_t(i - '0')
                                : i >= 'a' && i <= 'f' ? int8_t(i - 'a' + 10)
                                : i >= 'A' && i <= 'F' ? int8_t(i - 'A' + 10)
                                                       : int8_t(-1);
        return digits;
    }();
    return kDigits[uint8_t(c)];
}

// text[from] is just after an opening '('. The index of the ')' that balances it (backslash
// escapes stepped over), or text.size() when the string never closes.
size_t FindLiteralEnd(std::string_view text, size_t from) {
    int depth = 1;
    for (size_t i = from; i < text.size(); ++i) {
        if (text[i] == '\\')
            ++i;
        else if (text[i] == '(')
            ++depth;
        else if (text[i] == ')' && --depth == 0)
            return i;
    }
    return text.size();
}

// The bytes of literal string content: \n \r \t \b \f \( \) \\, octal escapes of one to three
// digits (bits beyond the eighth dropped); a backslash before a line end (CR, LF or CR LF)
// continues the line, and before any other character keeps that character.
std::string UnescapeLiteral(std::string_view content) {
    if (content.find('\\') == std::string_view::npos)
        return std::string(content);
    std::string out;
    out.reserve(content.size());
    for (size_t i = 0; i < content.size(); ++i) {
        if (content[i] != '\\') {
            out += content[i];
            continue;
        }
        if (++i == content.size())
            break;
        switch (const char c = content[i]) {
        case 'n':
            out += '\n';
            break;
        case 'r':
            out += '\r';
            break;
        case 't':
            out += '\t';
            break;
        case 'b':
            out += '\b';
            break;
        case 'f':
            out += '\f';
            break;
        case '\r':
            if (i + 1 < content.size() && content[i + 1] == '\n')
                ++i;
            break;
        case '\n':
            break;
        default:
            if (c >= '0' && c <= '7') {
                int value = c - '0';
                for (int k = 0; k < 2 && i + 1 < content.size() && content[i + 1] >= '0' &&
                                content[i + 1] <= '7';
                     ++k)
                    value = value * 8 + (content[++i] - '0');
                out += char(value & 0xFF);
            } else {
                out += c; // covers \( \) \\ and any character that starts no escape
            }
        }
    }
    return out;
}

// Hexadecimal digits to bytes, anything else passed over as the major readers do: a damaged
// string gives what its digits spell and costs nothing else. A final odd digit stands as if
// followed by 0.
std::string HexToBytes(std::string_view text) {
    // Made at the most it can hold and cut to what the digits gave: a byte appended at a time
    // cost as much as the digits' lookups.
    std::string out((text.size() + 1) / 2, '\0');
    size_t made = 0;
    int high = -1;
    for (char c : text) {
        const int d = HexDigit(c);
        if (d < 0)
            continue;
        if (high < 0) {
            high = d;
        } else {
            out[made++] = char(high * 16 + d);
            high = -1;
        }
    }
    if (high >= 0)
        out[made++] = char(high * 16);
    out.resize(made);
    return out;
}

char Fold(char c) {
    return c >= 'A' && c <= 'Z' ? char(c + 32) : c;
}

// Keys in the order of a dictionary's entries: without regard to case first, so that keys
// that differ only in case stand together, then byte by byte.
int CompareFolded(std::string_view a, std::string_view b) {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i)
        if (const char x = Fold(a[i]), y = Fold(b[i]); x != y)
            return uint8_t(x) < uint8_t(y) ? -1 : 1;
    return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

bool KeyLess(std::string_view a, std::string_view b) {
    const int folded = CompareFolded(a, b);
    return folded != 0 ? folded < 0 : a < b;
}

// The values of the arrays and dictionaries being read, nested ones above the ones they are in:
// each is moved into a vector of its own size once it is read whole, so that no vector grows
// entry by entry, and the buffers are kept from one object (and file) to the next on a thread.
struct ParseScratch {
    std::vector<PdfEntry> entries;
    std::vector<PdfObject> items;
    std::vector<uint32_t> order;
};

constexpr size_t kKeptScratch = 4096;

ParseScratch& Scratch() {
    thread_local ParseScratch scratch;
    return scratch;
}

// Moves the entries from first on, in file order, out of the scratch into the order Get
// searches; of a key written twice the later value stays, as a later entry overrides an
// earlier one. Their positions are sorted, not the entries themselves.
void TakeSortedEntries(ParseScratch& scratch, size_t first, std::vector<PdfEntry>& out) {
    std::vector<PdfEntry>& from = scratch.entries;
    std::vector<uint32_t>& order = scratch.order;
    order.clear();
    for (size_t i = first; i < from.size(); ++i)
        order.push_back(uint32_t(i));
    // Equal keys stay in file order; sorted so, a dictionary's few entries need no buffer.
    std::sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
        const std::string_view x = from[a].key, y = from[b].key;
        return KeyLess(x, y) || (x == y && a < b);
    });
    // Of each run of one key, the last (in file order) is kept.
    size_t kept = 0;
    for (size_t i = 0; i < order.size(); ++i)
        if (i + 1 == order.size() || from[order[i + 1]].key != from[order[i]].key)
            order[kept++] = order[i];
    out.reserve(kept);
    for (size_t i = 0; i < kept; ++i)
        out.push_back(std::move(from[order[i]]));
    from.resize(first);
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

void SkipSpace(std::string_view text, size_t& pos) {
    while (pos < text.size()) {
        if (IsPdfSpace(text[pos])) {
            ++pos;
        } else if (text[pos] == '%') {
            while (pos < text.size() && text[pos] != '\r' && text[pos] != '\n')
                ++pos;
        } else {
            return;
        }
    }
}

// The regular characters from pos on: a number, a keyword or (after its slash) a name.
std::string_view RegularRun(std::string_view text, size_t& pos) {
    const size_t start = pos;
    while (pos < text.size() && IsRegular(text[pos]))
        ++pos;
    return text.substr(start, pos - start);
}

// The value of a run of at most 18 digits, which cannot overflow.
int64_t DigitsValue(std::string_view digits) {
    int64_t value = 0;
    for (const char c : digits)
        value = value * 10 + (c - '0');
    return value;
}

bool ParseInteger(std::string_view word, int64_t& value) {
    if (word.empty())
        return false;
    size_t start = word[0] == '+' ? 1 : 0;
    if (start == word.size() ||
        !std::all_of(word.begin() + long(start) + (word[start] == '-'), word.end(), IsDigit))
        return false;
    if (word.size() - start <= 18 && word[start] != '-') {
        value = DigitsValue(word.substr(start));
        return true;
    }
    return std::from_chars(word.data() + start, word.data() + word.size(), value).ec == std::errc{};
}

// An unsigned integer of at most ten digits at pos followed by more, for the "n g R" and
// "n g obj" forms.
bool UnsignedAt(std::string_view text, size_t& pos, int64_t& value) {
    SkipSpace(text, pos);
    size_t end = pos;
    while (end < text.size() && end - pos <= 10 && IsDigit(text[end]))
        ++end;
    if (end == pos || end - pos > 10 || (end < text.size() && IsRegular(text[end])))
        return false;
    value = DigitsValue(text.substr(pos, end - pos));
    pos = end;
    return true;
}

// Whether "g R" follows a number that ends at pos, which makes the two numbers a reference;
// then pos is left after the R.
bool ReferenceTail(std::string_view text, size_t& pos, int64_t& generation) {
    size_t at = pos;
    if (!UnsignedAt(text, at, generation))
        return false;
    SkipSpace(text, at);
    if (at >= text.size() || text[at] != 'R' || (at + 1 < text.size() && IsRegular(text[at + 1])))
        return false;
    pos = at + 1;
    return true;
}

// What the parser gives for a value it makes, and for one it steps over.
struct SteppedOver {};
template <bool kMake> using Made = std::conditional_t<kMake, PdfObject, SteppedOver>;

class Parser {
public:
    Parser(std::string_view text, KeySet keep) : text_(text), keep_(keep) {}

    // The value at pos, made when kMake; otherwise stepped over: pos moves on, and the value
    // counts, exactly as when it is made, so that what follows is read the same either way.
    template <bool kMake = true> Made<kMake> Object(size_t& pos, int depth) {
        // A value takes a hundred bytes or so however few it is written in: "null " five times
        // over a few MiB would be hundreds of MiB.
        if (++values_ > kMaxObjectValues)
            throw EReadError(ErrorKind::OverBudget,
                             "ひとつのオブジェクトの値が 262,144 個を超えます");
        Made<kMake> o;
        SkipSpace(text_, pos);
        if (pos >= text_.size())
            return o;
        const char c = text_[pos];
        if (depth > kMaxObjectDepth) {
            // Nothing deeper is read, but every call moves on by a whole word (or a byte).
            if (IsRegular(c))
                RegularRun(text_, pos);
            else
                ++pos;
            return o;
        }
        if (c == '(') {
            const size_t end = FindLiteralEnd(text_, pos + 1);
            const size_t start = pos + 1;
            pos = std::min(end + 1, text_.size());
            if (end == text_.size()) {
                cutShort_ = true; // a string that never closes is no value
                return o;
            }
            if constexpr (kMake) {
                o.kind = PdfObject::Kind::String;
                o.text = UnescapeLiteral(text_.substr(start, end - start));
            }
        } else if (c == '<' && pos + 1 < text_.size() && text_[pos + 1] == '<') {
            pos += 2;
            Dictionary<kMake>(o, pos, depth);
        } else if (c == '<') {
            const size_t end = std::min(text_.find('>', pos + 1), text_.size());
            if (end == text_.size())
                cutShort_ = true;
            if constexpr (kMake) {
                o.kind = PdfObject::Kind::String;
                o.text = HexToBytes(text_.substr(pos + 1, end - pos - 1));
            }
            pos = std::min(end + 1, text_.size());
        } else if (c == '[') {
            ++pos;
            std::vector<PdfObject>& items = Scratch().items;
            const size_t first = items.size();
            for (;;) {
                SkipSpace(text_, pos);
                if (pos >= text_.size()) {
                    cutShort_ = true;
                    break;
                }
                if (text_[pos] == ']')
                    break;
                if (IsKeywordEnd(pos))
                    break; // a damaged array stops before the object's end
                if constexpr (kMake)
                    items.push_back(Object(pos, depth + 1));
                else
                    Object<false>(pos, depth + 1);
            }
            if constexpr (kMake) {
                o.kind = PdfObject::Kind::Array;
                o.items.assign(std::make_move_iterator(items.begin() + ptrdiff_t(first)),
                               std::make_move_iterator(items.end()));
                items.resize(first);
            }
            if (pos < text_.size() && text_[pos] == ']')
                ++pos;
        } else if (c == '/') {
            ++pos;
            const std::string_view raw = RegularRun(text_, pos);
            if constexpr (kMake) {
                o.kind = PdfObject::Kind::Name;
                o.text = Name(raw);
            }
        } else if (IsDelimiter(c)) {
            ++pos; // a stray ')', '>', ']', '{' or '}' stands for nothing
        } else {
            Word(o, pos);
        }
        return o;
    }

private:
    template <bool kMake> void Dictionary(Made<kMake>& o, size_t& pos, int depth) {
        ParseScratch& scratch = Scratch();
        const size_t first = scratch.entries.size();
        for (;;) {
            SkipSpace(text_, pos);
            if (pos >= text_.size()) {
                cutShort_ = true;
                break;
            }
            if (text_.compare(pos, 2, ">>") == 0) {
                pos += 2;
                break;
            }
            if (IsKeywordEnd(pos))
                break;
            if (text_[pos] != '/') {
                Object<false>(pos, depth + 1); // a value without a key is stepped over
                continue;
            }
            ++pos;
            const std::string_view rawKey = RegularRun(text_, pos);
            SkipSpace(text_, pos);
            const bool hasValue =
                pos < text_.size() && text_.compare(pos, 2, ">>") != 0 && !IsKeywordEnd(pos);
            if constexpr (kMake) {
                std::string key = Name(rawKey);
                // Of a dictionary read for some of its keys, the others' values are stepped over.
                if (depth > 0 || keep_.empty() || Kept(key)) {
                    // The value is made before its entry: a nested dictionary uses the scratch.
                    scratch.entries.emplace_back(std::move(key),
                                                 hasValue ? Object(pos, depth + 1) : PdfObject());
                    continue;
                }
            }
            if (hasValue)
                Object<false>(pos, depth + 1);
        }
        if constexpr (kMake) {
            o.kind = PdfObject::Kind::Dictionary;
            TakeSortedEntries(scratch, first, o.entries);
        }
    }

    // Whether key is one the dictionary is read for; without regard to case, as Get finds
    // keys.
    bool Kept(std::string_view key) const {
        return std::any_of(keep_.begin(), keep_.end(), [key](std::string_view k) {
            return k.size() == key.size() && CompareFolded(k, key) == 0;
        });
    }

    // Whether the keyword at pos ends the object being read: what follows belongs to no value.
    // Looks at ten bytes at most: a longer run is none of the keywords, and a long run met at
    // every item must not be read whole each time.
    bool IsKeywordEnd(size_t pos) const {
        if (const char c = text_[pos]; c != 'e' && c != 's' && c != 'o')
            return false;
        size_t end = pos;
        while (end < text_.size() && end - pos < 10 && IsRegular(text_[end]))
            ++end;
        const std::string_view word = text_.substr(pos, end - pos);
        return word == "endobj" || word == "stream" || word == "endstream" || word == "obj";
    }

    template <class Value> void Word(Value& o, size_t& pos) {
        const std::string_view word = RegularRun(text_, pos);
        if (word.empty()) {
            ++pos;
            return;
        }
        int64_t value = 0;
        if (ParseInteger(word, value)) {
            // "n g R": a reference, when both numbers are unsigned.
            int64_t generation = 0;
            const bool reference =
                IsDigit(word[0]) && value <= INT32_MAX && ReferenceTail(text_, pos, generation);
            if constexpr (std::is_same_v<Value, PdfObject>) {
                o.kind = reference ? PdfObject::Kind::Reference : PdfObject::Kind::Integer;
                o.integer = value;
                o.generation = reference ? int32_t(std::min<int64_t>(generation, INT32_MAX)) : 0;
            }
            return;
        }
        if constexpr (std::is_same_v<Value, PdfObject>)
            Keyword(o, word); // nothing else moves pos on
    }

    // A word that is no integer: a boolean, a real, or anything else (null).
    static void Keyword(PdfObject& o, std::string_view word) {
        if (word == "true" || word == "false") {
            o.kind = PdfObject::Kind::Boolean;
            o.integer = word == "true";
            return;
        }
        // Any other keyword ("null", or a damaged one) is null.
        if (word.find_first_not_of("+-.0123456789") != std::string_view::npos)
            return;
        const std::string_view digits = word.substr(word[0] == '+' ? 1 : 0);
        double real = 0;
        if (std::from_chars(digits.data(), digits.data() + digits.size(), real).ptr ==
            digits.data() + digits.size()) {
            o.kind = PdfObject::Kind::Real;
            o.real = real;
        }
    }

    static std::string Name(std::string_view raw) {
        if (raw.find('#') == std::string_view::npos)
            return std::string(raw);
        std::string name;
        name.reserve(raw.size());
        for (size_t i = 0; i < raw.size(); ++i) {
            if (raw[i] == '#' && i + 2 < raw.size() && HexDigit(raw[i + 1]) >= 0 &&
                HexDigit(raw[i + 2]) >= 0) {
                name += char(HexDigit(raw[i + 1]) * 16 + HexDigit(raw[i + 2]));
                i += 2;
            } else {
                name += raw[i];
            }
        }
        return name;
    }

    std::string_view text_;
    KeySet keep_;
    bool cutShort_ = false;
    size_t values_ = 0;

public:
    bool CutShort() const { return cutShort_; }
};

} // namespace

const PdfObject* PdfObject::Get(std::string_view key) const {
    // Most dictionaries have a handful of entries, looked through one by one: nearly every key
    // differs from the one asked for in its length, and only one of the same length is compared.
    if (constexpr size_t kFewEntries = 12; entries.size() <= kFewEntries) {
        const PdfObject* folded = nullptr;
        for (const PdfEntry& e : entries) {
            if (e.key.size() != key.size())
                continue;
            if (e.key == key)
                return &e.value;
            if (CompareFolded(e.key, key) == 0)
                folded = &e.value; // the last of them, as the search below finds
        }
        return folded;
    }
    const auto exact =
        std::lower_bound(entries.begin(), entries.end(), key,
                         [](const PdfEntry& e, std::string_view k) { return KeyLess(e.key, k); });
    if (exact != entries.end() && exact->key == key)
        return &exact->value;
    // Keys that differ from it only in case stand together around that place.
    struct FoldedLess {
        bool operator()(const PdfEntry& e, std::string_view k) const {
            return CompareFolded(e.key, k) < 0;
        }
        bool operator()(std::string_view k, const PdfEntry& e) const {
            return CompareFolded(k, e.key) < 0;
        }
    };
    const auto [first, last] = std::equal_range(entries.begin(), entries.end(), key, FoldedLess());
    return first == last ? nullptr : &std::prev(last)->value;
}

void PdfObject::AddMissing(PdfObject other) {
    if (!other.IsDictionary())
        return;
    if (!IsDictionary()) {
        *this = std::move(other);
        return;
    }
    std::vector<PdfEntry> merged;
    merged.reserve(entries.size() + other.entries.size());
    auto mine = entries.begin();
    for (PdfEntry& e : other.entries) {
        while (mine != entries.end() && KeyLess(mine->key, e.key))
            merged.push_back(std::move(*mine++));
        if (mine != entries.end() && mine->key == e.key)
            merged.push_back(std::move(*mine++));
        else
            merged.push_back(std::move(e));
    }
    std::move(mine, entries.end(), std::back_inserter(merged));
    entries = std::move(merged);
}

void PdfObject::Set(std::string key, PdfObject value) {
    if (!IsDictionary()) {
        *this = PdfObject();
        kind = Kind::Dictionary;
    }
    const auto at =
        std::lower_bound(entries.begin(), entries.end(), key,
                         [](const PdfEntry& e, std::string_view k) { return KeyLess(e.key, k); });
    if (at != entries.end() && at->key == key)
        at->value = std::move(value);
    else
        entries.insert(at, PdfEntry{std::move(key), std::move(value)});
}

PdfObject ParseObject(std::string_view text, size_t& pos, bool* cutShort, KeySet keep) {
    // A parse given up (over its budget) leaves the scratch as it found it.
    struct Restore {
        ParseScratch& scratch = Scratch();
        const size_t entries = scratch.entries.size(), items = scratch.items.size();
        ~Restore() {
            scratch.entries.resize(entries);
            scratch.items.resize(items);
            // What a huge object took is given back; a thread keeps room for ordinary ones.
            if (scratch.entries.empty() && scratch.entries.capacity() > kKeptScratch)
                std::vector<PdfEntry>().swap(scratch.entries);
            if (scratch.items.empty() && scratch.items.capacity() > kKeptScratch)
                std::vector<PdfObject>().swap(scratch.items);
        }
    } restore;
    Parser parser(text, keep);
    PdfObject o = parser.Object(pos, 0);
    if (cutShort)
        *cutShort = parser.CutShort();
    return o;
}

bool ParseIntegerAt(std::string_view text, size_t& pos, int64_t& value) {
    size_t at = pos;
    SkipSpace(text, at);
    size_t end = at;
    while (end < text.size() && IsDigit(text[end]))
        ++end;
    // Signs, long runs that may not fit, and whatever is no number go the parser's way.
    if (end == at || end - at > 18 || (end < text.size() && IsRegular(text[end]))) {
        const PdfObject o = ParseObject(text, pos);
        value = o.integer;
        return o.IsInteger();
    }
    value = DigitsValue(text.substr(at, end - at));
    pos = end;
    // As the parser does, "n g R" is a reference.
    int64_t generation = 0;
    return !(value <= INT32_MAX && ReferenceTail(text, pos, generation));
}

bool ParseObjectHeader(std::string_view text, size_t& pos, int64_t& number, int32_t& generation) {
    size_t at = pos;
    int64_t g = 0;
    if (!UnsignedAt(text, at, number) || !UnsignedAt(text, at, g))
        return false;
    SkipSpace(text, at);
    if (text.compare(at, 3, "obj") != 0 || (at + 3 < text.size() && IsRegular(text[at + 3])))
        return false;
    generation = int32_t(std::min<int64_t>(g, INT32_MAX));
    pos = at + 3;
    return true;
}

size_t StreamDataStart(std::string_view text, size_t pos) {
    SkipSpace(text, pos);
    if (text.compare(pos, 6, "stream") != 0)
        return std::string_view::npos;
    pos += 6;
    // The keyword's line ends with CR LF or LF; a lone CR is taken too, as writers produce it.
    if (pos < text.size() && text[pos] == '\r')
        ++pos;
    if (pos < text.size() && text[pos] == '\n')
        ++pos;
    return pos;
}
