// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Passwords of revisions 5 and 6 are UTF-8 prepared with SASLprep and cut to 127 bytes.

#include <string>
#include <string_view>

// ASCII text is only cut. Other valid UTF-8 is prepared first: spaces other than U+0020
// become U+0020, the characters SASLprep maps to nothing are removed, and the compatibility
// forms a typed password realistically holds are normalised as NFKC would (full-width ASCII,
// half-width katakana, voiced kana marks and Latin accents composed, ligatures, circled
// numbers). Bytes that are not valid UTF-8 are taken as they are.
std::string PrepareAesPassword(std::string_view password);
