// SPDX-License-Identifier: GPL-3.0-or-later
#include "pdf/pdfpages.h"

#include <set>
#include <vector>

namespace {

// Nodes visited when the leaves are counted: far beyond real documents' trees, and a hostile
// tree costs no more.
constexpr size_t kMaxNodes = size_t(1) << 20;

} // namespace

int32_t PageCount(PdfReader& reader, const PdfObject& pages) {
    const PdfObject root = reader.Resolve(pages);
    if (!root.IsDictionary())
        return 0;
    // A catalog whose /Pages names a single page rather than a tree: that page is the document.
    if (const PdfObject* type = root.Get("Type"); type && type->IsName("Page"))
        return 1;
    if (const PdfObject* count = root.Get("Count")) {
        const PdfObject value = reader.Resolve(*count);
        if (value.IsInteger())
            return value.integer >= 0 && value.integer <= INT32_MAX ? int32_t(value.integer) : 0;
        if (value.kind != PdfObject::Kind::Null)
            return 0; // a /Count that is no number says the tree is damaged, not how big it is
    }
    // No /Count: the leaves are counted, depth first, each object once.
    std::set<int64_t> seen;
    std::vector<PdfObject> todo;
    if (const PdfObject* kids = root.Get("Kids"); kids && kids->kind == PdfObject::Kind::Array)
        todo = kids->items;
    int64_t leaves = 0;
    size_t visited = 0;
    while (!todo.empty() && visited++ < kMaxNodes) {
        const PdfObject kid = std::move(todo.back());
        todo.pop_back();
        if (kid.IsReference() && !seen.insert(kid.integer).second)
            continue;
        const PdfObject node = reader.Resolve(kid);
        if (!node.IsDictionary())
            continue;
        const PdfObject* kids = node.Get("Kids");
        const PdfObject* type = node.Get("Type");
        if (kids && kids->kind == PdfObject::Kind::Array && !(type && type->IsName("Page"))) {
            for (auto it = kids->items.rbegin(); it != kids->items.rend(); ++it)
                todo.push_back(*it);
        } else {
            ++leaves;
        }
    }
    return int32_t(std::min<int64_t>(leaves, INT32_MAX));
}
