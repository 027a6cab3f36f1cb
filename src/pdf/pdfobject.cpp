// SPDX-License-Identifier: GPL-3.0-or-later
#include "pdf/pdfobject.h"

#include <algorithm>
#include <charconv>

namespace {

bool IsDelimiter(char c) {
    return std::string_view("()<>[]{}/%").find(c) != std::string_view::npos;
}

bool IsRegular(char c) {
    return !IsPdfSpace(c) && !IsDelimiter(c);
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

bool ParseInteger(std::string_view word, int64_t& value) {
    if (word.empty())
        return false;
    size_t start = word[0] == '+' ? 1 : 0;
    if (start == word.size() ||
        !std::all_of(word.begin() + long(start) + (word[start] == '-'), word.end(), IsDigit))
        return false;
    return std::from_chars(word.data() + start, word.data() + word.size(), value).ec == std::errc{};
}

// An unsigned integer at pos followed by more, for the "n g R" and "n g obj" forms.
bool UnsignedAt(std::string_view text, size_t& pos, int64_t& value) {
    SkipSpace(text, pos);
    size_t at = pos;
    const std::string_view word = RegularRun(text, at);
    if (word.empty() || word.size() > 10 || !std::all_of(word.begin(), word.end(), IsDigit))
        return false;
    value = 0;
    std::from_chars(word.data(), word.data() + word.size(), value);
    pos = at;
    return true;
}

class Parser {
public:
    explicit Parser(std::string_view text) : text_(text) {}

    PdfObject Object(size_t& pos, int depth) {
        PdfObject o;
        SkipSpace(text_, pos);
        if (pos >= text_.size())
            return o;
        const char c = text_[pos];
        if (depth > kMaxObjectDepth) {
            ++pos; // nothing deeper is read, but every call moves on
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
            o.kind = PdfObject::Kind::String;
            o.text = text_.substr(start, end - start);
        } else if (c == '<' && pos + 1 < text_.size() && text_[pos + 1] == '<') {
            pos += 2;
            Dictionary(o, pos, depth);
        } else if (c == '<') {
            const size_t end = std::min(text_.find('>', pos + 1), text_.size());
            o.kind = PdfObject::Kind::String;
            o.stringKind = StringKind::Hexadecimal;
            o.text = text_.substr(pos + 1, end - pos - 1);
            pos = std::min(end + 1, text_.size());
        } else if (c == '[') {
            o.kind = PdfObject::Kind::Array;
            ++pos;
            for (;;) {
                SkipSpace(text_, pos);
                if (pos >= text_.size() || text_[pos] == ']')
                    break;
                if (IsKeywordEnd(pos))
                    return o; // a damaged array stops before the object's end
                o.items.push_back(Object(pos, depth + 1));
            }
            pos = std::min(pos + 1, text_.size());
        } else if (c == '/') {
            ++pos;
            o.kind = PdfObject::Kind::Name;
            o.text = Name(RegularRun(text_, pos));
        } else if (IsDelimiter(c)) {
            ++pos; // a stray ')', '>', ']', '{' or '}' stands for nothing
        } else {
            Word(o, pos);
        }
        return o;
    }

private:
    void Dictionary(PdfObject& o, size_t& pos, int depth) {
        o.kind = PdfObject::Kind::Dictionary;
        for (;;) {
            SkipSpace(text_, pos);
            if (pos >= text_.size()) {
                cutShort_ = true;
                return;
            }
            if (text_.compare(pos, 2, ">>") == 0) {
                pos += 2;
                return;
            }
            if (IsKeywordEnd(pos))
                return;
            if (text_[pos] != '/') {
                Object(pos, depth + 1); // a value without a key is stepped over
                continue;
            }
            ++pos;
            std::string key = Name(RegularRun(text_, pos));
            SkipSpace(text_, pos);
            PdfObject value;
            if (pos < text_.size() && text_.compare(pos, 2, ">>") != 0 && !IsKeywordEnd(pos))
                value = Object(pos, depth + 1);
            o.entries.push_back(PdfEntry{std::move(key), std::move(value)});
        }
    }

    // Whether the keyword at pos ends the object being read: what follows belongs to no value.
    bool IsKeywordEnd(size_t pos) const {
        size_t at = pos;
        const std::string_view word = RegularRun(text_, at);
        return word == "endobj" || word == "stream" || word == "endstream" || word == "obj";
    }

    void Word(PdfObject& o, size_t& pos) {
        const std::string_view word = RegularRun(text_, pos);
        if (word.empty()) {
            ++pos;
            return;
        }
        int64_t value = 0;
        if (ParseInteger(word, value)) {
            o.kind = PdfObject::Kind::Integer;
            o.integer = value;
            // "n g R": a reference, when both numbers are unsigned.
            size_t at = pos;
            int64_t generation = 0;
            if (IsDigit(word[0]) && value <= INT32_MAX && UnsignedAt(text_, at, generation)) {
                SkipSpace(text_, at);
                if (at < text_.size() && text_[at] == 'R' &&
                    (at + 1 == text_.size() || !IsRegular(text_[at + 1]))) {
                    o.kind = PdfObject::Kind::Reference;
                    o.generation = int32_t(std::min<int64_t>(generation, INT32_MAX));
                    pos = at + 1;
                }
            }
            return;
        }
        if (word == "true" || word == "false") {
            o.kind = PdfObject::Kind::Boolean;
            o.integer = word == "true";
            return;
        }
        const std::string number(word);
        char* end = nullptr;
        const double real = std::strtod(number.c_str(), &end);
        if (!number.empty() && end == number.c_str() + number.size() &&
            number.find_first_not_of("+-.0123456789") == std::string::npos) {
            o.kind = PdfObject::Kind::Real;
            o.real = real;
        }
        // Any other keyword ("null", or a damaged one) is null.
    }

    static std::string Name(std::string_view raw) {
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
    bool cutShort_ = false;

public:
    bool CutShort() const { return cutShort_; }
};

// Hexadecimal digits to bytes, anything else skipped: a damaged value gives what it spells.
std::string HexToBytesLenient(std::string_view text) {
    std::string out;
    out.reserve(text.size() / 2);
    int high = -1;
    for (char c : text) {
        const int d = HexDigit(c);
        if (d < 0)
            continue;
        if (high < 0) {
            high = d;
        } else {
            out += char(high * 16 + d);
            high = -1;
        }
    }
    if (high >= 0)
        out += char(high * 16); // a final odd digit stands as if followed by 0
    return out;
}

} // namespace

bool IsPdfSpace(char c) {
    return c == '\0' || c == '\t' || c == '\n' || c == '\f' || c == '\r' || c == ' ';
}

const PdfObject* PdfObject::Get(std::string_view key) const {
    // A key written twice takes its last value, as a later entry overrides an earlier one.
    for (auto it = entries.rbegin(); it != entries.rend(); ++it)
        if (it->key == key)
            return &it->value;
    for (auto it = entries.rbegin(); it != entries.rend(); ++it)
        if (const auto& [name, value] = *it;
            name.size() == key.size() &&
            std::equal(name.begin(), name.end(), key.begin(), [](char a, char b) {
                return (a >= 'A' && a <= 'Z' ? a + 32 : a) == (b >= 'A' && b <= 'Z' ? b + 32 : b);
            }))
            return &value;
    return nullptr;
}

std::string PdfObject::StringBytes() const {
    return stringKind == StringKind::Hexadecimal ? HexToBytesLenient(text) : UnescapeLiteral(text);
}

PdfObject ParseObject(std::string_view text, size_t& pos, bool* cutShort) {
    Parser parser(text);
    PdfObject o = parser.Object(pos, 0);
    if (cutShort)
        *cutShort = parser.CutShort();
    return o;
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
