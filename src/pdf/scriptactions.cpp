// SPDX-License-Identifier: GPL-3.0-or-later
#include "pdf/scriptactions.h"

#include "pdf/objectstore.h"

namespace {

// /Next links followed, and actions looked at, from one value: a chain that loops or fans out
// without end costs no more.
constexpr int kMaxActionDepth = 8;
constexpr int kMaxActions = 64;

bool Runs(ObjectStore& store, const PdfObject& value, int depth, int& budget) {
    if (depth > kMaxActionDepth || --budget < 0)
        return false;
    const PdfObject action = store.Resolve(value);
    if (action.IsArray()) {
        for (const PdfObject& item : action.items)
            if (Runs(store, item, depth + 1, budget))
                return true;
        return false;
    }
    if (!action.IsDictionary())
        return false;
    if (const PdfObject* s = action.Get("S")) {
        if (s->IsName("JavaScript"))
            return true;
        const PdfObject* next = action.Get("Next");
        return next && Runs(store, *next, depth + 1, budget);
    }
    // No /S: an /AA dictionary, each of whose entries is an action.
    for (const PdfEntry& entry : action.entries)
        if (Runs(store, entry.value, depth + 1, budget))
            return true;
    return false;
}

} // namespace

bool RunsJavaScript(ObjectStore& store, const PdfObject& value) {
    int budget = kMaxActions;
    return Runs(store, value, 0, budget);
}
