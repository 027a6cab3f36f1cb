// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The names of the paper sizes people check a folder for: ISO A and B, JIS B, the Japanese
// postcard and the North American sizes.

#include <string_view>

// How far a page may differ from a standard size and still be named after it: writers round
// to whole points or millimetres, and some crop a little.
constexpr double kPaperToleranceMm = 2;

// The name of the standard size of width × height millimetres, either way round ("A4",
// "B5 (JIS)", "はがき", "Letter"); empty when none is within kPaperToleranceMm.
std::string_view PaperName(double widthMm, double heightMm);
