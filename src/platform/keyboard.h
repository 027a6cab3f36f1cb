// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The Kana lock toggle state.

#include <functional>

namespace platform {

// True when the keyboard's Kana lock indicator is lit, or else its Scroll Lock indicator, which
// stands in on keyboards that have no Kana lock. Read through XKB when the session is X11
// (libX11 is opened at run time, so nothing links against it). False where neither can be read
// (Wayland, the offscreen platform, no libX11).
bool KanaLockOn();

using KeyStateSource = std::function<bool()>;
KeyStateSource SetKanaLockSource(KeyStateSource source);

} // namespace platform
