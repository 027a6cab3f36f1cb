// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The columns of the list and every fact about them, in one table: the window lays out its
// header from it, sorting asks it how to order a column, the saved list and the command-line
// lister take their captions and quoting from it.

#include "app/listrows.h"

#include <array>
#include <string_view>

// The columns in the list's order; the value is the column's 0-based index.
enum class Column {
    Name,       // 名前: the row's caption
    Title,      // タイトル
    Subject,    // サブタイトル
    Author,     // 作成者
    Keywords,   // キーワード
    Producer,   // PDF変換
    Created,    // 作成日
    Encryption, // 暗号
    Pages,      // 頁数
    Bytes,      // 容量
    Version,    // PDFVer.
    Size,       // サイズ
    Type,       // 種類
    Modified,   // 更新日時
};

constexpr int kColumnCount = kCellCount + 1;

// How a column's values are ordered.
enum class SortKind {
    Name,   // the caption, as text
    Text,   // the cell, as text in the locale's collation
    Number, // the digits of the cell as one number ("1,234" and "121KB" alike); no digits first
    Date,   // the cell's digits, which with a four-digit year first are in time order
    Time,   // ListRow::modified, as the cell's two-digit year cannot order it; empty cell first
};

enum class ColumnAlignment { Left, Right };

// When the saved list puts a column's text in double quotes.
enum class Quoting {
    // When it holds a comma or a quote, which would split the line into extra columns, or a
    // control character (a line break would split the row); other names, blanks included,
    // are written as they are.
    Name,
    // When it holds a blank, a control character, DEL, a double quote or a comma; so dates and
    // grouped numbers are quoted, "無し" and "1.4" are not.
    Cell,
};

struct ColumnInfo {
    std::string_view caption; // UTF-8
    int width;                // pixels at 96 dots per inch
    ColumnAlignment alignment;
    SortKind sort;
    Quoting quoting;
};

inline constexpr std::array<ColumnInfo, kColumnCount> kColumns = {{
    {"名前", 120, ColumnAlignment::Left, SortKind::Name, Quoting::Name},
    {"タイトル", 160, ColumnAlignment::Left, SortKind::Text, Quoting::Cell},
    {"サブタイトル", 160, ColumnAlignment::Left, SortKind::Text, Quoting::Cell},
    {"作成者", 160, ColumnAlignment::Left, SortKind::Text, Quoting::Cell},
    {"キーワード", 160, ColumnAlignment::Left, SortKind::Text, Quoting::Cell},
    {"PDF変換", 160, ColumnAlignment::Left, SortKind::Text, Quoting::Cell},
    {"作成日", 120, ColumnAlignment::Left, SortKind::Date, Quoting::Cell},
    // The key length: "無し" (none) before 40 before 128.
    {"暗号", 50, ColumnAlignment::Left, SortKind::Number, Quoting::Cell},
    {"頁数", 50, ColumnAlignment::Right, SortKind::Number, Quoting::Cell},
    {"容量", 100, ColumnAlignment::Right, SortKind::Number, Quoting::Cell},
    {"PDFVer.", 60, ColumnAlignment::Left, SortKind::Text, Quoting::Cell},
    {"サイズ", 100, ColumnAlignment::Right, SortKind::Number, Quoting::Cell},
    {"種類", 60, ColumnAlignment::Left, SortKind::Text, Quoting::Cell},
    {"更新日時", 120, ColumnAlignment::Left, SortKind::Time, Quoting::Cell},
}};

constexpr const ColumnInfo& InfoOf(Column column) {
    return kColumns[size_t(column)];
}

// The facts of 1-based sort column number (1-14, either sign); the name's for any other.
constexpr const ColumnInfo& InfoOfSortColumn(int sortColumn) {
    const int n = sortColumn < 0 ? -sortColumn : sortColumn;
    return kColumns[n >= 1 && n <= kColumnCount ? size_t(n - 1) : 0];
}

// Whether text goes in double quotes in the saved list under rule.
bool NeedsQuotes(Quoting rule, std::string_view text);
