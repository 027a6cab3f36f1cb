// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Compatibility forms, as Unicode's NFKC normalisation gives them, for the characters typed
// and written Japanese text realistically holds: full-width ASCII and half-width katakana (a
// Japanese keyboard's default forms), voiced kana marks and Latin accents typed apart
// (macOS hands out decomposed text), ligatures and circled numbers. Password preparation and
// the list's search share them.
//
// Why not full NFKC: the core links no Unicode library, and the complete decomposition and
// composition tables run to thousands of entries, nearly all for characters such text never
// holds.

#include <optional>
#include <string>
#include <string_view>

// The code points of well-formed UTF-8; nothing for any other bytes.
std::optional<std::u32string> DecodeUtf8(std::string_view text);

// Spaces other than U+0020 (no-break, the ideographic space and the like).
bool IsNonAsciiSpace(char32_t c);

// Appends c's compatibility decomposition to out; false when c has none here.
bool AppendCompatibility(char32_t c, std::u32string& out);

// The precomposed character for base followed by the combining mark (the voiced and
// semi-voiced kana marks, the Latin accents of Latin-1), or 0 when there is none.
char32_t ComposeMark(char32_t base, char32_t mark);

// text as the list's search compares it: compatibility forms (so ｱ is ア and Ａ is A),
// voiced marks composed, every space a blank, and letters of either case folded to lower case
// (ASCII, Latin-1, Latin Extended-A, Greek and Cyrillic). A byte that is not part of
// well-formed UTF-8 stays as it is.
std::string FoldForMatching(std::string_view text);
// The same, appended to out.
void AppendFoldedForMatching(std::string& out, std::string_view text);
