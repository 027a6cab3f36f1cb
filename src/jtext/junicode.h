// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Japanese byte strings and UTF-16 units to Unicode text (UTF-8), for the text of documents
// that the list shows as it is written, not only as code page 932 can show it.

#include <string>
#include <string_view>

// cp (at most U+10FFFF, no surrogate) as UTF-8, appended to out.
void AppendUtf8(std::string& out, char32_t cp);

// The length of the well-formed UTF-8 sequence that starts at bytes[i], 0 when there is none.
size_t Utf8SequenceAt(std::string_view bytes, size_t i);
// Whether bytes are well-formed UTF-8 (no overlong forms, no surrogates, nothing past
// U+10FFFF).
bool IsValidUtf8(std::string_view bytes);

// bytes with every byte that is not part of a well-formed UTF-8 sequence replaced by U+FFFD.
std::string RepairUtf8(std::string_view bytes);

// One JIS X 0208 row/cell pair (each 0x21-0x7E) as its Shift-JIS bytes: the common ground of
// the three Japanese encodings, read through the code page 932 table.
std::string JisPairToShiftJis(unsigned char row, unsigned char cell);

// EUC-JP to the Shift-JIS bytes of the same text (code page 932 as far as it goes): pairs
// 0xA1-0xFE, 0x8E + half-width katakana; a JIS X 0212 character (0x8F + pair), which code
// page 932 lacks, and any byte that is not part of a whole character become "?" (0x3F).
// badBytes, when given, counts those.
std::string EucJpToShiftJis(std::string_view bytes, int* badBytes = nullptr);

// ISO-2022-JP (JIS) to Shift-JIS: ESC $ B and ESC $ @ start JIS X 0208 pairs, ESC ( B and
// ESC ( J single bytes, ESC ( I half-width katakana; SO/SI shift half-width katakana in and
// out; JIS X 0212 pairs (ESC $ ( D), which code page 932 lacks, become "?". Escape sequences
// it does not know are dropped.
std::string Iso2022JpToShiftJis(std::string_view bytes);
