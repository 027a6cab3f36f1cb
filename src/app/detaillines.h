// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Every property of one PDF as lines of readable Japanese, for the details pane: plain values,
// so that what the pane says can be checked without a window.

#include "app/listrows.h"
#include "pdf/documentinfo.h"

#include <string>
#include <vector>

struct DetailLine {
    std::string label; // UTF-8; a heading has no value
    std::string value; // UTF-8, inert: nothing in it acts on the widget that shows it
    bool heading = false;
    bool operator==(const DetailLine&) const = default;
};

// The lines of a file the reader read with its features: the information, the XMP packet's
// own values, the pages, the protection and every permission, every signature as its structure
// reads (not verified), the declared conformance, the binding and the document's parts.
std::vector<DetailLine> DetailLines(const DocumentInfo& info, const CellFormat& format);
