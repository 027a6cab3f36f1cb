// SPDX-License-Identifier: GPL-3.0-or-later
#include "pdf/papersize.h"

#include <algorithm>
#include <cmath>

namespace {

struct Paper {
    std::string_view name;
    double shortMm, longMm;
};

// No two are within twice the tolerance of each other, so at most one name fits.
constexpr Paper kPapers[] = {
    {"A0", 841, 1189},         {"A1", 594, 841},         {"A2", 420, 594},
    {"A3", 297, 420},          {"A4", 210, 297},         {"A5", 148, 210},
    {"A6", 105, 148},          {"B4 (JIS)", 257, 364},   {"B5 (JIS)", 182, 257},
    {"B6 (JIS)", 128, 182},    {"B4 (ISO)", 250, 353},   {"B5 (ISO)", 176, 250},
    {"はがき", 100, 148},      {"Letter", 215.9, 279.4}, {"Legal", 215.9, 355.6},
    {"Tabloid", 279.4, 431.8},
};

} // namespace

std::string_view PaperName(double widthMm, double heightMm) {
    const double shortSide = std::min(widthMm, heightMm), longSide = std::max(widthMm, heightMm);
    for (const Paper& p : kPapers)
        if (std::abs(shortSide - p.shortMm) <= kPaperToleranceMm &&
            std::abs(longSide - p.longMm) <= kPaperToleranceMm)
            return p.name;
    return {};
}
