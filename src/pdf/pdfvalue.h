// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// String values as they stand in a PDF file: finding where they end, and their bytes.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

enum class StringKind { Hexadecimal, Literal };

// Resolves the escapes of literal string content: \n \r \t \b \f \( \) \\, octal escapes of one
// to three digits (bits beyond the eighth dropped), a backslash before a line end (CR, LF or
// CR LF) continues the line and yields nothing, and a backslash before any other character
// keeps that character.
std::string UnescapeLiteral(std::string_view content);

// The value of one hexadecimal digit (either case), or -1 for any other character.
int HexDigit(char c);
// The bytes spelt by hexadecimal digits, two per byte; white space between them is skipped, a
// final odd digit ignored. Any other character raises EConvertError.
std::string HexToBytes(std::string_view text);
// The digits with white space (0x00, 0x09, 0x0A, 0x0C, 0x0D, 0x20) removed.
std::string StripHexWhiteSpace(std::string_view text);

// text[from] is just after an opening '('. Returns the index of the ')' that balances it
// (backslash escapes stepped over), or text.size() when the string never closes.
size_t FindLiteralEnd(std::string_view text, size_t from);

// The first occurrence of key (lower case) in lowered that is not inside a literal or
// hexadecimal string, or npos. Bytes inside strings are data and never keys.
size_t FindKeyOutsideStrings(std::string_view lowered, std::string_view key);

// The same for a name (lower case, starting with its slash; an empty one is never found) that
// must stand whole: the byte after it ends the name (white space or a delimiter), so that "/o"
// is not found in "/other". The letters of text are compared without regard to case.
size_t FindNameOutsideStrings(std::string_view text, std::string_view name);

// Every name (a slash and the bytes up to the next blank or delimiter) that stands outside
// strings, in the case it is written: a key stands whole at one of them when it equals it.
std::vector<std::string_view> NamesOutsideStrings(std::string_view text);
// The same into names, which is cleared first (and keeps its room for the next text).
void NamesOutsideStrings(std::string_view text, std::vector<std::string_view>& names);

// A copy of text in which the content of every string is replaced by blanks, so that a
// search for keys cannot land inside a value.
std::string MaskStrings(std::string_view text);
