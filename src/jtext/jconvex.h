// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Classifies a byte string among the Japanese encodings.

#include <string_view>

// Bounds the binary pre-scan here and the UTF-8 scan of DetectEncoding. Never changed.
extern int JapaneseScanLimit;

// 0 ASCII, 1 binary, 2 JIS (ESC $ B), 3 JIS (ESC $ @), 4 EUC-JP, 5 Shift-JIS,
// 6 EUC-JP or Shift-JIS still undecided at the end of the string.
int DetectJapaneseEncoding(std::string_view bytes);
