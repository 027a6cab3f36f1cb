// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The page count of a document from its page tree.

#include <cstdint>

class ObjectStore;
class ReadBudget;
struct PdfObject;

// The number of pages of the tree whose root is pages (the catalog's /Pages value, a reference
// or a dictionary): the root's /Count, direct or indirect, when it is a non-negative 32-bit
// integer; otherwise the leaves of the tree counted (a node met twice is counted once; each
// node counts against budget). 0 when there is no tree.
int32_t PageCount(ObjectStore& store, const PdfObject& pages, ReadBudget& budget);
