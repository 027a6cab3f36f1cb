// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The columns of the list and every fact about them, in one table: the window lays out its
// header from it, sorting asks it how to order a column, the saved list and the command-line
// lister take their captions and quoting from it.

#include "app/listrows.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The columns in the list's order; the value is the column's 0-based index. The first
// kColumnCount are the list's own, shown by default and written to the saved list; the optional
// ones after them show what DocumentInfo::features holds and cost a longer read.
enum class Column {
    Name,                // 名前: the row's caption
    Title,               // タイトル
    Subject,             // サブタイトル
    Author,              // 作成者
    Keywords,            // キーワード
    Producer,            // PDF変換
    Created,             // 作成日
    Encryption,          // 暗号
    Pages,               // 頁数
    Bytes,               // 容量
    Version,             // PDFVer.
    Size,                // サイズ
    Type,                // 種類
    Modified,            // 更新日時
    Paper,               // 用紙
    Permissions,         // 権限
    Signatures,          // 署名
    Signer,              // 署名者
    SigningTime,         // 署名日時
    ChangedAfterSigning, // 署名後の変更
    Timestamp,           // タイムスタンプ
    PdfA,                // PDF/A
    PdfUA,               // PDF/UA
    Tagged,              // タグ付き
    Binding,             // 綴じ
    PageLayout,          // ページレイアウト
    Linearized,          // Web表示用
    Forms,               // フォーム
    JavaScript,          // JavaScript
    Attachments,         // 添付ファイル
    Outlines,            // しおり
    Updates,             // 増分更新
    Creator,             // 作成アプリ
    DocumentModified,    // 更新日
};

// The list's own columns, the default ones.
constexpr int kColumnCount = kCellCount + 1;
// All columns, the optional ones included.
constexpr int kAllColumnCount = kColumnCount + kFeatureCellCount;

// How a column's values are ordered.
enum class SortKind {
    Name,   // the caption, as text
    Text,   // the cell, as text in the locale's collation
    Number, // the digits of the cell as one number ("1,234" and "121KB" alike); no digits first
    Date,   // the cell's digits, which with a four-digit year first are in time order
    Time,   // ListRow::modified, as the cell's two-digit year cannot order it; empty cell first
    Paper,  // the page's area, then the cell as text; no page first
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
    std::string_view id; // stable ASCII name for the command line and scripts
};

inline constexpr std::array<ColumnInfo, kAllColumnCount> kColumns = {{
    {"名前", 120, ColumnAlignment::Left, SortKind::Name, Quoting::Name, "name"},
    {"タイトル", 160, ColumnAlignment::Left, SortKind::Text, Quoting::Cell, "title"},
    {"サブタイトル", 160, ColumnAlignment::Left, SortKind::Text, Quoting::Cell, "subject"},
    {"作成者", 160, ColumnAlignment::Left, SortKind::Text, Quoting::Cell, "author"},
    {"キーワード", 160, ColumnAlignment::Left, SortKind::Text, Quoting::Cell, "keywords"},
    {"PDF変換", 160, ColumnAlignment::Left, SortKind::Text, Quoting::Cell, "producer"},
    {"作成日", 120, ColumnAlignment::Left, SortKind::Date, Quoting::Cell, "created"},
    // The key length: "無し" (none) before 40 before 128.
    {"暗号", 50, ColumnAlignment::Left, SortKind::Number, Quoting::Cell, "encryption"},
    {"頁数", 50, ColumnAlignment::Right, SortKind::Number, Quoting::Cell, "pages"},
    {"容量", 100, ColumnAlignment::Right, SortKind::Number, Quoting::Cell, "bytes"},
    {"PDFVer.", 60, ColumnAlignment::Left, SortKind::Text, Quoting::Cell, "version"},
    {"サイズ", 100, ColumnAlignment::Right, SortKind::Number, Quoting::Cell, "size"},
    {"種類", 60, ColumnAlignment::Left, SortKind::Text, Quoting::Cell, "type"},
    {"更新日時", 120, ColumnAlignment::Left, SortKind::Time, Quoting::Cell, "modified"},
    {"用紙", 110, ColumnAlignment::Left, SortKind::Paper, Quoting::Cell, "paper"},
    {"権限", 120, ColumnAlignment::Left, SortKind::Text, Quoting::Cell, "permissions"},
    {"署名", 40, ColumnAlignment::Right, SortKind::Number, Quoting::Cell, "signatures"},
    {"署名者", 120, ColumnAlignment::Left, SortKind::Text, Quoting::Cell, "signer"},
    {"署名日時", 120, ColumnAlignment::Left, SortKind::Date, Quoting::Cell, "signing-time"},
    {"署名後の変更", 80, ColumnAlignment::Left, SortKind::Text, Quoting::Cell,
     "changed-after-signing"},
    {"タイムスタンプ", 80, ColumnAlignment::Left, SortKind::Text, Quoting::Cell, "timestamp"},
    {"PDF/A", 50, ColumnAlignment::Left, SortKind::Text, Quoting::Cell, "pdfa"},
    {"PDF/UA", 50, ColumnAlignment::Left, SortKind::Text, Quoting::Cell, "pdfua"},
    {"タグ付き", 60, ColumnAlignment::Left, SortKind::Text, Quoting::Cell, "tagged"},
    {"綴じ", 60, ColumnAlignment::Left, SortKind::Text, Quoting::Cell, "binding"},
    {"ページレイアウト", 110, ColumnAlignment::Left, SortKind::Text, Quoting::Cell, "page-layout"},
    {"Web表示用", 70, ColumnAlignment::Left, SortKind::Text, Quoting::Cell, "linearized"},
    {"フォーム", 70, ColumnAlignment::Left, SortKind::Text, Quoting::Cell, "forms"},
    {"JavaScript", 70, ColumnAlignment::Left, SortKind::Text, Quoting::Cell, "javascript"},
    {"添付ファイル", 60, ColumnAlignment::Right, SortKind::Number, Quoting::Cell, "attachments"},
    {"しおり", 50, ColumnAlignment::Left, SortKind::Text, Quoting::Cell, "outlines"},
    {"増分更新", 60, ColumnAlignment::Right, SortKind::Number, Quoting::Cell, "updates"},
    {"作成アプリ", 160, ColumnAlignment::Left, SortKind::Text, Quoting::Cell, "creator"},
    {"更新日", 120, ColumnAlignment::Left, SortKind::Date, Quoting::Cell, "document-modified"},
}};

constexpr const ColumnInfo& InfoOf(Column column) {
    return kColumns[size_t(column)];
}

constexpr bool IsOptional(Column column) {
    return int(column) >= kColumnCount;
}

// The facts of 1-based sort column number (1 to kAllColumnCount, either sign); the name's for
// any other.
constexpr const ColumnInfo& InfoOfSortColumn(int sortColumn) {
    const int n = sortColumn < 0 ? -sortColumn : sortColumn;
    return kColumns[n >= 1 && n <= kAllColumnCount ? size_t(n - 1) : 0];
}

// The column whose caption or id is name; nothing when none is.
std::optional<Column> ColumnNamed(std::string_view name);

// The list's own columns, in their order.
std::vector<Column> DefaultColumns();

// The text row shows in column: its caption, one of its cells, or the cell of an optional
// column (empty when the row's features were not read).
const std::string& CellText(const ListRow& row, Column column);

// Whether text goes in double quotes in the saved list under rule.
bool NeedsQuotes(Quoting rule, std::string_view text);
