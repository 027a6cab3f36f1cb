// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The reader's text conventions. A text is a byte string, one byte per character, any byte
// value (zero included) allowed.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

using Words = std::vector<std::string>;

// Only A-Z change; bytes 0x80-0xFF stay as they are.
std::string LowerCase(std::string_view text);
// Removes leading and trailing bytes 0x00-0x20.
std::string Trim(std::string_view text);

// Lines end at CR, LF or CR LF; the split stops at the first zero byte. A text that does not
// end with a line break still has its last line; an empty text has none.
std::vector<std::string> SplitLines(std::string_view text);
// Every line followed by CR LF, the last one included.
std::string JoinLines(const std::vector<std::string>& lines);
// Split and join again: every line break becomes CR LF and the text ends with one.
std::string Normalise(std::string_view text);

// What RemoveAll(RemoveAll(Normalise(text), "<<"), ">>") gives, with a blank put before every
// "/" when spaceNames (as ReplaceNoCase(.., "/", " /") does): a dictionary's text as the reader
// looks at its lines, made in one pass.
std::string NormaliseUnbracketed(std::string_view text, bool spaceNames);

// Every occurrence of pattern, letters compared without regard to case.
std::string ReplaceNoCase(std::string_view text, std::string_view pattern,
                          std::string_view replacement);
std::string RemoveAll(std::string_view text, std::string_view pattern);
bool Contains(std::string_view text, std::string_view pattern);
// Where lowerKeyword (no upper case letters) first occurs in text from from on, the letters
// of text compared without regard to case; npos when it does not.
size_t FindNoCase(std::string_view text, std::string_view lowerKeyword, size_t from = 0);

// An optional sign and decimal digits that fit in 32 bits; anything else gives def.
int32_t StrToIntDef(std::string_view word, int32_t def = 0);
// The same for 64-bit offsets.
int64_t StrToInt64Def(std::string_view word, int64_t def = 0);

// Words separated by bytes 0x01-0x20 or commas; double-quoted words may hold separators
// ("" inside stands for one quote); consecutive commas give empty words; a Shift-JIS
// double-byte character is never split; the split stops at the first zero byte.
Words SplitWords(std::string_view text);
// Index of the first word equal to word without regard to case, or -1.
int IndexOf(const Words& words, std::string_view word);
// words[i] or an empty text when i is outside the list.
std::string_view WordAt(const Words& words, int64_t i);

// The first words of text (at most four) as views into it, when none of them holds a byte
// SplitWords treats specially (quote, comma, zero, a byte above 0x7F); they are then the
// words SplitWords gives, as later bytes cannot change them. Returns false, with count
// unset, when such a byte comes first.
bool PlainFirstWords(std::string_view text, std::array<std::string_view, 4>& words, size_t& count);
// Whether word equals lowerKey (no upper case letters), the letters of word compared without
// regard to case.
bool EqualNoCase(std::string_view word, std::string_view lowerKey);
// The word key (lower case) of line and the three words after it, lower case, as
// SplitWords(LowerCase(Trim(line))) has them; empty when no word of the line is key. A plain
// line is split only up to there, without copies (a page tree's /Kids may put thousands of
// words on one line); a line with a byte SplitWords treats specially (quote, comma, zero, a
// byte above 0x7F) before that point is split whole. Bytes after the fourth word cannot
// change the first four.
Words KeyAndNextWords(std::string_view line, std::string_view key);
