// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/columns.h"

#include <algorithm>

bool NeedsQuotes(Quoting rule, std::string_view text) {
    if (rule == Quoting::Name)
        return std::any_of(text.begin(), text.end(), [](char c) {
            return c == ',' || c == '"' || static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
        });
    // Blanks and control bytes, DEL, the quote and the comma.
    static constexpr auto kQuoted = [] {
        std::array<bool, 256> quoted{};
        for (int c = 0; c <= 0x20; ++c)
            quoted[size_t(c)] = true;
        quoted[0x7F] = quoted['"'] = quoted[','] = true;
        return quoted;
    }();
    for (unsigned char c : text)
        if (kQuoted[c])
            return true;
    return false;
}

std::optional<Column> ColumnNamed(std::string_view name) {
    for (size_t i = 0; i < kColumns.size(); ++i)
        if (name == kColumns[i].caption || name == kColumns[i].id)
            return Column(i);
    return std::nullopt;
}

std::vector<Column> DefaultColumns() {
    std::vector<Column> columns;
    for (int i = 0; i < kColumnCount; ++i)
        columns.push_back(Column(i));
    return columns;
}

const std::string& CellText(const ListRow& row, Column column) {
    static const std::string kNone;
    const int i = int(column);
    if (i == 0)
        return row.caption;
    if (i < kColumnCount)
        return row.cells[size_t(i - 1)];
    return row.features ? row.features->cells[size_t(i - kColumnCount)] : kNone;
}
