// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The glyphs of the window's tool buttons and of the details pane's lock, drawn here so that they
// look the same on every desktop.

#include <QIcon>
#include <QPixmap>

enum class Glyph { Up, Refresh, Help, Exit, Details, Lock };

// The glyph at 16 x 16, sharp on screens of twice the density too.
QIcon GlyphIcon(Glyph glyph);
// The glyph drawn 16 x 16 points of scale device pixels each (for a larger one: a larger scale,
// and the pixmap's device pixel ratio set to what the screen has).
QPixmap GlyphPixmap(Glyph glyph, int scale);
