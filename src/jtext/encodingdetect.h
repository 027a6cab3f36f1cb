// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Which encoding a byte string is in: byte-order marks, UTF-8, and the Japanese encodings.

#include <string_view>

// 0 ASCII, 1 binary, 2 JIS (ESC $ B), 3 JIS (ESC $ @), 4 EUC-JP, 5 Shift-JIS,
// 6 EUC-JP or Shift-JIS still undecided at the end of the string.
int DetectJapaneseEncoding(std::string_view bytes);

// 0-6 as DetectJapaneseEncoding, 7 UTF-16LE with mark, 8 UTF-16BE with mark,
// 9 UTF-8 with mark, 10 UTF-8 without mark; 1 for an empty string.
int DetectEncoding(std::string_view bytes);
