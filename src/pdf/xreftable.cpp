// SPDX-License-Identifier: GPL-3.0-or-later
#include "pdf/xreftable.h"

#include <algorithm>

XrefTable::XrefTable(Origin origin, std::vector<XrefEntry> entries, PdfObject trailer,
                     int32_t sections)
    : origin_(origin), entries_(std::move(entries)), trailer_(std::move(trailer)),
      sections_(sections) {
    // Stable, so the newest section's entry for a number stays first; a single section is
    // mostly in order already.
    const auto byNumber = [](const XrefEntry& a, const XrefEntry& b) {
        return a.Number() < b.Number();
    };
    if (!std::is_sorted(entries_.begin(), entries_.end(), byNumber))
        std::stable_sort(entries_.begin(), entries_.end(), byNumber);
    entries_.erase(std::unique(entries_.begin(), entries_.end(),
                               [](const XrefEntry& a, const XrefEntry& b) {
                                   return a.Number() == b.Number();
                               }),
                   entries_.end());
}

const XrefEntry* XrefTable::Find(int64_t n) const {
    const auto it = std::lower_bound(entries_.begin(), entries_.end(), n,
                                     [](const XrefEntry& e, int64_t v) { return e.Number() < v; });
    return it == entries_.end() || it->Number() != n ? nullptr : &*it;
}

std::string XrefTable::FileId() const {
    const PdfObject* ids = trailer_.Get("ID");
    if (!ids || !ids->IsArray() || ids->items.empty() || !ids->items[0].IsString())
        return {};
    return ids->items[0].text;
}
