// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Byte-order marks and UTF-8 on top of the Japanese classifier, and UTF-16 to code page 932.

#include <string>
#include <string_view>

// 0-6 as DetectJapaneseEncoding, 7 UTF-16LE with mark, 8 UTF-16BE with mark,
// 9 UTF-8 with mark, 10 UTF-8 without mark; 1 for an empty string.
int DetectEncoding(std::string_view bytes);

// Converts the little-endian units of data up to the first zero unit (or the end of data;
// an odd last byte is ignored) to code page 932 in one pass. A leading mark is converted like
// any other unit.
std::string Utf16LeToAnsi(std::string_view data);

// Swaps each byte pair of data in place up to the first 00 00 pair, then converts the now
// little-endian data with Utf16LeToAnsi. The caller's buffer is left swapped.
std::string Utf16BeToAnsi(std::string& data);
