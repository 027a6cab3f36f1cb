// SPDX-License-Identifier: GPL-3.0-or-later
#include "pdf/pdftext.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <limits>

namespace {

bool IsBlankOrControl(unsigned char c) {
    return c <= 0x20;
}
bool IsSeparator(unsigned char c) {
    return c >= 0x01 && c <= 0x20;
}
bool IsShiftJisLead(unsigned char c) {
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}
char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? char(c + 32) : c;
}

} // namespace

std::string LowerCase(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = Lower(c);
    return out;
}

std::string Trim(std::string_view text) {
    size_t b = 0, e = text.size();
    while (b < e && IsBlankOrControl(text[b]))
        ++b;
    while (e > b && IsBlankOrControl(text[e - 1]))
        --e;
    return std::string(text.substr(b, e - b));
}

std::vector<std::string> SplitLines(std::string_view text) {
    if (const size_t zero = text.find('\0'); zero != std::string_view::npos)
        text = text.substr(0, zero);
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n')
            continue;
        lines.emplace_back(text.substr(start, i - start));
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < text.size())
        lines.emplace_back(text.substr(start));
    return lines;
}

std::string JoinLines(const std::vector<std::string>& lines) {
    std::string out;
    for (const auto& line : lines) {
        out += line;
        out += "\r\n";
    }
    return out;
}

std::string Normalise(std::string_view text) {
    // What JoinLines(SplitLines(text)) gives, in one pass and without a line list.
    if (const size_t zero = text.find('\0'); zero != std::string_view::npos)
        text = text.substr(0, zero);
    std::string out;
    out.reserve(text.size() + 2);
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n')
            continue;
        out.append(text.substr(start, i - start)).append("\r\n");
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < text.size())
        out.append(text.substr(start)).append("\r\n");
    return out;
}

std::string NormaliseUnbracketed(std::string_view text, bool spaceNames) {
    if (const size_t zero = text.find('\0'); zero != std::string_view::npos)
        text = text.substr(0, zero);
    std::string out;
    out.reserve(text.size() + text.size() / 8 + 2);
    // Each removal takes pairs from the left without overlap, the second one over what the
    // first leaves: a single '<' or '>' is held back until the next byte shows whether it
    // pairs. Line breaks and slashes end a held byte, as any other byte does.
    bool heldOpen = false, heldClose = false;
    auto emit = [&](char c) { // after the "<<" removal
        if (c == '>') {
            if (heldClose)
                heldClose = false;
            else
                heldClose = true;
            return;
        }
        if (heldClose) {
            out += '>';
            heldClose = false;
        }
        if (c == '/' && spaceNames)
            out += ' ';
        out += c;
    };
    auto feed = [&](char c) { // after normalising
        if (c == '<') {
            if (heldOpen)
                heldOpen = false;
            else
                heldOpen = true;
            return;
        }
        if (heldOpen) {
            emit('<');
            heldOpen = false;
        }
        emit(c);
    };
    auto flush = [&] {
        if (heldOpen) {
            emit('<');
            heldOpen = false;
        }
        if (heldClose) {
            out += '>';
            heldClose = false;
        }
    };
    static constexpr auto kSpecial = [] {
        std::array<bool, 256> special{};
        for (const char c : {'\r', '\n', '<', '>', '/'})
            special[uint8_t(c)] = true;
        return special;
    }();
    auto ordinary = [](char c) { return !kSpecial[uint8_t(c)]; };
    bool lineOpen = false; // bytes since the last line break
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (ordinary(c)) {
            // A run of bytes none of the steps changes goes in at once, after what is held.
            size_t end = i + 1;
            while (end < text.size() && ordinary(text[end]))
                ++end;
            flush();
            out.append(text.substr(i, end - i));
            lineOpen = true;
            i = end - 1;
            continue;
        }
        if (c != '\r' && c != '\n') {
            feed(c);
            lineOpen = true;
            continue;
        }
        flush();
        out += "\r\n";
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            ++i;
        lineOpen = false;
    }
    flush();
    if (lineOpen)
        out += "\r\n";
    return out;
}

std::string ReplaceNoCase(std::string_view text, std::string_view pattern,
                          std::string_view replacement) {
    if (pattern.empty())
        return std::string(text);
    // Most patterns are brackets or a slash; only a pattern with letters needs a lowered copy.
    const bool letters = std::any_of(pattern.begin(), pattern.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    });
    std::string lowerText;
    if (letters)
        lowerText = LowerCase(text);
    const std::string_view searched = letters ? std::string_view(lowerText) : text;
    const std::string lowerPattern = LowerCase(pattern);
    std::string out;
    out.reserve(text.size());
    size_t from = 0;
    for (size_t at; (at = searched.find(lowerPattern, from)) != std::string_view::npos;
         from = at + pattern.size()) {
        out.append(text.substr(from, at - from));
        out.append(replacement);
    }
    out.append(text.substr(from));
    return out;
}

size_t FindNoCase(std::string_view text, std::string_view lowerKeyword, size_t from) {
    if (lowerKeyword.empty())
        return std::min(from, text.size());
    if (lowerKeyword.size() > text.size())
        return std::string_view::npos;
    auto upper = [](char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; };
    const char first = lowerKeyword[0], firstUpper = upper(first);
    const size_t last = text.size() - lowerKeyword.size(); // the last place it can start
    // The next place of each spelling of the first letter, found with a fast byte search.
    size_t nextLower = text.find(first, from);
    size_t nextUpper = first == firstUpper ? std::string_view::npos : text.find(firstUpper, from);
    for (;;) {
        const size_t i = std::min(nextLower, nextUpper);
        if (i == std::string_view::npos || i > last)
            return std::string_view::npos;
        size_t k = 1;
        while (k < lowerKeyword.size() &&
               (text[i + k] == lowerKeyword[k] || text[i + k] == upper(lowerKeyword[k])))
            ++k;
        if (k == lowerKeyword.size())
            return i;
        if (i == nextLower)
            nextLower = text.find(first, i + 1);
        else
            nextUpper = text.find(firstUpper, i + 1);
    }
}

std::string RemoveAll(std::string_view text, std::string_view pattern) {
    return ReplaceNoCase(text, pattern, "");
}

bool Contains(std::string_view text, std::string_view pattern) {
    return text.find(pattern) != std::string_view::npos;
}

int64_t StrToInt64Def(std::string_view word, int64_t def) {
    if (word.empty())
        return def;
    size_t i = (word[0] == '+' || word[0] == '-') ? 1 : 0;
    if (i == word.size())
        return def;
    for (size_t k = i; k < word.size(); ++k)
        if (word[k] < '0' || word[k] > '9')
            return def;
    int64_t value = 0;
    const auto digits = word.substr(i);
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (ec != std::errc() || end != digits.data() + digits.size())
        return def;
    return word[0] == '-' ? -value : value;
}

int32_t StrToIntDef(std::string_view word, int32_t def) {
    constexpr int64_t sentinel = std::numeric_limits<int64_t>::min();
    const int64_t v = StrToInt64Def(word, sentinel);
    if (v == sentinel || v < std::numeric_limits<int32_t>::min() ||
        v > std::numeric_limits<int32_t>::max())
        return def;
    return int32_t(v);
}

Words SplitWords(std::string_view text) {
    if (const size_t zero = text.find('\0'); zero != std::string_view::npos)
        text = text.substr(0, zero);
    Words words;
    size_t i = 0;
    const size_t n = text.size();
    if (n > 0)
        words.reserve(8); // lines have a few words: room for them at once
    auto skipSeparators = [&] {
        while (i < n && IsSeparator(text[i]))
            ++i;
    };
    skipSeparators();
    while (i < n) {
        std::string word;
        if (text[i] == '"') {
            ++i;
            while (i < n) {
                if (text[i] == '"') {
                    if (i + 1 < n && text[i + 1] == '"') {
                        word += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                word += text[i++];
            }
        } else {
            const size_t start = i;
            while (i < n && !IsSeparator(text[i]) && text[i] != ',')
                i += IsShiftJisLead(text[i]) && i + 1 < n ? 2 : 1; // a pair is never split
            word.assign(text.substr(start, i - start));
        }
        words.push_back(std::move(word));
        skipSeparators();
        if (i < n && text[i] == ',') {
            if (i + 1 == n) // a comma that ends the text stands for an empty last word
                words.emplace_back();
            ++i;
            skipSeparators();
        }
    }
    return words;
}

int IndexOf(const Words& words, std::string_view word) {
    for (size_t i = 0; i < words.size(); ++i)
        if (std::equal(words[i].begin(), words[i].end(), word.begin(), word.end(),
                       [](char a, char b) { return Lower(a) == Lower(b); }))
            return int(i);
    return -1;
}

std::string_view WordAt(const Words& words, int64_t i) {
    return i >= 0 && i < int64_t(words.size()) ? std::string_view(words[size_t(i)])
                                               : std::string_view();
}

namespace {

// Whether text holds a byte SplitWords treats specially: a quote, a comma, a zero byte or a
// byte above 0x7F. Found with byte searches and eight bytes at a time, as lines may be long.
bool HasSpecialByte(std::string_view text) {
    if (text.find('"') != std::string_view::npos || text.find(',') != std::string_view::npos ||
        text.find('\0') != std::string_view::npos)
        return true;
    size_t i = 0;
    for (; i + 8 <= text.size(); i += 8) {
        uint64_t eight;
        std::memcpy(&eight, text.data() + i, 8);
        if (eight & 0x8080808080808080u)
            return true;
    }
    for (; i < text.size(); ++i)
        if (uint8_t(text[i]) >= 0x80)
            return true;
    return false;
}

} // namespace

bool PlainFirstWords(std::string_view text, std::array<std::string_view, 4>& words, size_t& count) {
    auto special = [](char c) { return c == '"' || c == ',' || c == '\0' || uint8_t(c) >= 0x80; };
    size_t found = 0;
    for (size_t i = 0; i < text.size() && found < words.size();) {
        for (; i < text.size() && uint8_t(text[i]) <= 0x20; ++i)
            if (text[i] == '\0')
                return false;
        const size_t start = i;
        for (; i < text.size() && uint8_t(text[i]) > 0x20; ++i)
            if (special(text[i]))
                return false;
        if (i > start)
            words[found++] = text.substr(start, i - start);
    }
    count = found;
    return true;
}

bool EqualNoCase(std::string_view word, std::string_view lowerKey) {
    return std::equal(word.begin(), word.end(), lowerKey.begin(), lowerKey.end(),
                      [](char a, char b) { return Lower(a) == b; });
}

Words KeyAndNextWords(std::string_view line, std::string_view key) {
    while (!line.empty() && uint8_t(line.front()) <= 0x20)
        line.remove_prefix(1);
    while (!line.empty() && uint8_t(line.back()) <= 0x20)
        line.remove_suffix(1);
    // In a plain line the key is a word where it stands between blanks or the ends; the
    // line must be plain up to there.
    size_t at = std::string_view::npos;
    for (size_t p = FindNoCase(line, key); p != std::string_view::npos;
         p = FindNoCase(line, key, p + 1)) {
        const size_t end = p + key.size();
        if ((p == 0 || uint8_t(line[p - 1]) <= 0x20) &&
            (end == line.size() || uint8_t(line[end]) <= 0x20)) {
            at = p;
            break;
        }
    }
    Words words;
    if (HasSpecialByte(line.substr(0, std::min(at, line.size()))))
        goto split;
    if (at == std::string_view::npos)
        return words;
    {
        std::array<std::string_view, 4> first;
        size_t count = 0;
        if (!PlainFirstWords(line.substr(at), first, count))
            goto split;
        words.reserve(count);
        for (size_t k = 0; k < count; ++k)
            words.push_back(LowerCase(first[k]));
        return words;
    }
split:
    words = SplitWords(LowerCase(line));
    const int index = IndexOf(words, key);
    if (index < 0)
        return {};
    words.erase(words.begin(), words.begin() + index);
    words.resize(std::min<size_t>(words.size(), 4));
    return words;
}
