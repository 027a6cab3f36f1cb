// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// File names as the file system gives them are bytes in no particular encoding: Shift-JIS
// names arrive from Windows zip archives and USB sticks next to UTF-8 ones. The bytes stay the
// file's name everywhere a file is opened or written down; the text a person reads is made
// from them once, by the rule below.

#include "jtext/junicode.h"

#include <string>
#include <string_view>

// Whether bytes are text in code page 932: every byte sequence a defined character (the
// converter's placeholders for the single bytes 0x80, 0xA0 and 0xFD-0xFF are none).
bool IsCp932(std::string_view bytes);

// How the name is shown, as UTF-8. The rule is a judgement about what the user saw when the
// file was named:
//  1. valid UTF-8 is shown as it is (the name this system made);
//  2. otherwise valid code page 932 is decoded as such (the name Windows showed);
//  3. otherwise every byte that is not part of a well-formed UTF-8 sequence is shown as \xHH
//     (lower-case hex), so that the name is visibly damaged rather than silently altered.
// Display only: two names may show alike under rule 3 (a real backslash), never the bytes.
std::string FileNameForDisplay(std::string_view bytes);

// Whether the name is shown by rule 2, i.e. its own bytes are already code page 932 text and
// belong as they are in anything written in that code page.
bool IsCp932Name(std::string_view bytes);
