// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The page tree: the page count, and the pages in order with what they inherit.

#include "pdf/pdfobject.h"

#include <cstdint>
#include <functional>

class ObjectStore;
class ReadBudget;

// The number of pages of the tree whose root is pages (the catalog's /Pages value, a reference
// or a dictionary): the root's /Count, direct or indirect, when it is a non-negative 32-bit
// integer; otherwise the leaves of the tree counted (a node met twice is counted once; each
// node counts against budget). 0 when there is no tree.
int32_t PageCount(ObjectStore& store, const PdfObject& pages, ReadBudget& budget);

// The entries a page takes from the nearest node above it that has them, when it has none of
// its own; null where no node has them.
struct InheritedAttributes {
    PdfObject mediaBox, cropBox, rotate;
};

// Each page in document order, with its inherited attributes, until visit returns false or
// after maxPages pages. A node met twice and nodes nested deeper than real trees are passed
// over; each node read counts against budget.
using PageVisitor = std::function<bool(const PdfObject& page, const InheritedAttributes& above)>;
void VisitPages(ObjectStore& store, const PdfObject& pages, ReadBudget& budget, int64_t maxPages,
                const PageVisitor& visit);
