// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Code page 932 (Shift-JIS as Windows has it) in both directions, from the project's own tables.

#include <string>
#include <string_view>

// One UTF-16 code unit's 932 bytes appended to out: one or two bytes, "?" where the code page
// has no character for it, nothing for the zero unit. A lone surrogate gives "?".
void AppendUnitAsCp932(std::string& out, char16_t unit);

// 932 bytes to UTF-8; a byte sequence the code page does not define becomes U+FFFD.
std::string Cp932ToUtf8(std::string_view bytes);

// UTF-8 to 932; characters the code page lacks (and malformed UTF-8) become "?".
std::string Utf8ToCp932(std::string_view utf8);
// The same, appended to out.
void AppendUtf8AsCp932(std::string& out, std::string_view utf8);
