// SPDX-License-Identifier: GPL-3.0-or-later
#include "pdf/pdfvalue.h"

#include "common/errors.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace {

bool IsHexWhiteSpace(char c) {
    return c == '\0' || c == '\t' || c == '\n' || c == '\f' || c == '\r' || c == ' ';
}

} // namespace

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
        const char c = content[i];
        switch (c) {
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

std::string StripHexWhiteSpace(std::string_view text) {
    std::string out(text);
    out.erase(std::remove_if(out.begin(), out.end(), [](char c) { return IsHexWhiteSpace(c); }),
              out.end());
    return out;
}

std::string HexToBytes(std::string_view text) {
    const std::string digits = StripHexWhiteSpace(text);
    std::string out;
    out.reserve(digits.size() / 2);
    for (size_t i = 0; i + 1 < digits.size(); i += 2) {
        const int hi = HexDigit(digits[i]), lo = HexDigit(digits[i + 1]);
        if (hi < 0 || lo < 0)
            throw EConvertError("'" + digits.substr(i, 2) + "' は16進数ではありません");
        out += char(hi * 16 + lo);
    }
    return out;
}

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

size_t FindKeyOutsideStrings(std::string_view lowered, std::string_view key) {
    const std::string masked = MaskStrings(lowered);
    return masked.find(key);
}

namespace {

bool EndsName(std::string_view text, size_t next) {
    return next == text.size() || uint8_t(text[next]) <= 0x20 ||
           std::string_view("()<>[]{}/%").find(text[next]) != std::string_view::npos;
}

// Calls visit with each index of text outside strings, strings stepped over as MaskStrings
// blanks them, until visit returns true; returns that index, or npos.
template <class F> size_t FindOutsideStrings(std::string_view text, F&& visit) {
    for (size_t i = 0; i < text.size();) {
        if (text[i] == '(') {
            i = FindLiteralEnd(text, i + 1) + 1;
        } else if (text[i] == '<') {
            if (i + 1 < text.size() && text[i + 1] != '<')
                i = std::min(text.find('>', i + 1), text.size()) + 1;
            else
                i += 2; // "<<" opens a dictionary, not a string
        } else if (visit(i)) {
            return i;
        } else {
            ++i;
        }
    }
    return std::string::npos;
}

} // namespace

size_t FindNameOutsideStrings(std::string_view text, std::string_view name) {
    if (name.empty())
        return std::string::npos;
    // A name holds neither blanks nor delimiters, so it never overlaps a masked string and is
    // compared in place.
    return FindOutsideStrings(text, [&](size_t at) {
        if (text[at] != name[0] || text.size() - at < name.size())
            return false;
        for (size_t k = 1; k < name.size(); ++k) {
            const char c = text[at + k];
            if ((c >= 'A' && c <= 'Z' ? char(c + 32) : c) != name[k])
                return false;
        }
        return EndsName(text, at + name.size());
    });
}

std::vector<std::string_view> NamesOutsideStrings(std::string_view text) {
    std::vector<std::string_view> names;
    NamesOutsideStrings(text, names);
    return names;
}

void NamesOutsideStrings(std::string_view text, std::vector<std::string_view>& names) {
    names.clear();
    FindOutsideStrings(text, [&](size_t at) {
        if (text[at] == '/') {
            size_t end = at + 1;
            while (!EndsName(text, end))
                ++end;
            names.push_back(text.substr(at, end - at));
        }
        return false;
    });
}

std::string MaskStrings(std::string_view text) {
    std::string masked(text);
    auto blank = [&](size_t from, size_t to) { // the bytes between two delimiters
        for (size_t k = from; k < to && k < masked.size(); ++k)
            if (masked[k] != '(' && masked[k] != ')' && masked[k] != '<' && masked[k] != '>')
                masked[k] = ' ';
    };
    for (size_t i = 0; i < text.size();) {
        if (text[i] != '(' && text[i] != '<') {
            ++i;
            continue;
        }
        size_t end;
        if (text[i] == '(') {
            end = FindLiteralEnd(text, i + 1);
        } else if (i + 1 < text.size() && text[i + 1] != '<') {
            end = std::min(text.find('>', i + 1), text.size());
        } else { // "<<" opens a dictionary, not a string
            i += 2;
            continue;
        }
        blank(i + 1, end);
        i = end + 1;
    }
    return masked;
}
