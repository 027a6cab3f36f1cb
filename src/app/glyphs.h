// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The glyphs of the window's four tool buttons, drawn here so that they look the same on every
// desktop.

#include <QIcon>

enum class Glyph { Up, Refresh, Help, Exit };

// The glyph at 16 x 16, sharp on screens of twice the density too.
QIcon GlyphIcon(Glyph glyph);
