// SPDX-License-Identifier: GPL-3.0-or-later
#include "pdf/pagetree.h"

#include "pdf/objectstore.h"
#include "pdf/readbudget.h"

#include <algorithm>
#include <unordered_set>
#include <vector>

int32_t PageCount(ObjectStore& store, const PdfObject& pages, ReadBudget& budget) {
    // The root is read for its count first: its /Kids may name every page of the document.
    static constexpr std::string_view kCountKeys[] = {"Type", "Count"};
    PdfObject root = store.Resolve(pages, kCountKeys);
    if (!root.IsDictionary())
        return 0;
    // A catalog whose /Pages names a single page rather than a tree: that page is the document.
    if (const PdfObject* type = root.Get("Type"); type && type->IsName("Page"))
        return 1;
    if (const PdfObject* count = root.Get("Count")) {
        const PdfObject value = store.Resolve(*count);
        if (value.IsInteger())
            return value.integer >= 0 && value.integer <= INT32_MAX ? int32_t(value.integer) : 0;
        if (value.kind != PdfObject::Kind::Null)
            return 0; // a /Count that is no number says the tree is damaged, not how big it is
    }
    root = store.Resolve(pages);
    // No /Count: the leaves are counted, depth first, each object once. Kids are references
    // (kept as their numbers, as a tree may have millions) or, in damaged files, the nodes
    // themselves.
    std::unordered_set<int64_t> seen;
    std::vector<int64_t> todo;
    std::vector<PdfObject> inlineNodes;
    auto addKids = [&](const PdfObject& node) {
        const PdfObject* kids = node.Get("Kids");
        budget.SpendPageTreeNodes(int64_t(kids->items.size()));
        for (auto it = kids->items.rbegin(); it != kids->items.rend(); ++it) {
            if (it->IsReference())
                todo.push_back(it->integer);
            else if (it->IsDictionary())
                inlineNodes.push_back(*it);
        }
    };
    auto isTreeNode = [](const PdfObject& node) {
        const PdfObject* kids = node.Get("Kids");
        const PdfObject* type = node.Get("Type");
        return kids && kids->IsArray() && !(type && type->IsName("Page"));
    };
    if (isTreeNode(root))
        addKids(root);
    int64_t leaves = 0;
    while (!todo.empty() || !inlineNodes.empty()) {
        PdfObject node;
        if (!inlineNodes.empty()) {
            node = std::move(inlineNodes.back());
            inlineNodes.pop_back();
        } else {
            const int64_t n = todo.back();
            todo.pop_back();
            if (!seen.insert(n).second)
                continue;
            node = store.Object(n);
        }
        if (!node.IsDictionary())
            continue;
        if (isTreeNode(node))
            addKids(node);
        else
            ++leaves;
    }
    return int32_t(std::min<int64_t>(leaves, INT32_MAX));
}

namespace {

// Real trees are a handful of levels deep; a deeper one is damaged or made to exhaust.
constexpr size_t kMaxPageTreeDepth = 64;

void Inherit(const PdfObject& node, InheritedAttributes& attributes) {
    if (const PdfObject* v = node.Get("MediaBox"))
        attributes.mediaBox = *v;
    if (const PdfObject* v = node.Get("CropBox"))
        attributes.cropBox = *v;
    if (const PdfObject* v = node.Get("Rotate"))
        attributes.rotate = *v;
}

} // namespace

void VisitPages(ObjectStore& store, const PdfObject& pages, ReadBudget& budget, int64_t maxPages,
                const PageVisitor& visit) {
    // One frame a level: the node's kids, the next one to visit and what the level passes on.
    struct Frame {
        std::vector<PdfObject> kids;
        size_t next = 0;
        InheritedAttributes attributes;
    };
    std::unordered_set<int64_t> seen; // nodes visited, against trees whose kids lead back up
    std::vector<Frame> frames;
    int64_t visited = 0;
    // Visits node (the value a /Kids entry or /Pages holds); false once the walk is to stop.
    auto enter = [&](const PdfObject& value, const InheritedAttributes& above) {
        if (value.IsReference() && !seen.insert(value.integer).second)
            return true;
        budget.SpendPageTreeNodes(1);
        const PdfObject node = store.Resolve(value);
        if (!node.IsDictionary())
            return true;
        const PdfObject* kids = node.Get("Kids");
        const PdfObject* type = node.Get("Type");
        if (kids && !(type && type->IsName("Page"))) {
            const PdfObject list = store.Resolve(*kids);
            if (list.IsArray() && frames.size() < kMaxPageTreeDepth) {
                frames.push_back({list.items, 0, above});
                Inherit(node, frames.back().attributes);
            }
            return true;
        }
        return visit(node, above) && ++visited < maxPages;
    };
    if (maxPages <= 0 || !enter(pages, {}))
        return;
    while (!frames.empty()) {
        Frame& top = frames.back();
        if (top.next == top.kids.size()) {
            frames.pop_back();
            continue;
        }
        // enter copies what it keeps of these before a new frame can move them.
        const PdfObject kid = std::move(top.kids[top.next++]);
        if (!enter(kid, top.attributes))
            return;
    }
}
