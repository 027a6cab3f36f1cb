// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The four button glyphs, drawn here so that they look the same on every desktop.

class TImageList;

// Fills images with five 16 x 16 glyphs: 0 up one folder, 1 refresh, 2 (unused), 3 help,
// 4 exit.
void DrawButtonGlyphs(TImageList& images);
