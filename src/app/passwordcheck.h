// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What a typed password can open. AES-256 (revisions 5 and 6) takes any Unicode text, which
// the reader prepares as that method asks. RC4 and AES-128 (revisions 2 to 4) compare bytes,
// which Japanese writers make in code page 932: a character that code page cannot hold cannot
// be part of such a password. No method takes a control character.

#include <string>
#include <string_view>

// Whether a password (UTF-8, as typed) holds no control character (C0 other than CR and LF,
// DEL, C1): any other text may open some document.
bool PasswordUsable(std::string_view password);

// What the user is told of a password before it is tried (UTF-8), or empty when it is fit
// for every method: for a control character the list's own words (only printable characters),
// for characters code page 932 cannot hold which ones they are, and that they open AES-256
// documents only.
std::string PasswordProblem(std::string_view password);
