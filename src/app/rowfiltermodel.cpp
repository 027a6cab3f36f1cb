// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/rowfiltermodel.h"

#include "app/folderlistmodel.h"

RowFilterModel::RowFilterModel(FolderListModel* rows, QObject* parent)
    : QSortFilterProxyModel(parent), rows_(rows) {
    setSourceModel(rows);
}

void RowFilterModel::setSearchText(const QString& text) {
    if (text == text_)
        return;
    text_ = text;
    search_ = RowSearch(text.toStdString());
    // One change of layout for all rows: QSortFilterProxyModel's own filter change removes and
    // inserts the rows range by range, and a list of many rows that a letter thins out
    // unevenly would be told of thousands of ranges.
    invalidate();
}

void RowFilterModel::setSearchedColumns(std::vector<int> columns) {
    if (columns == columns_)
        return;
    columns_ = std::move(columns);
    if (!search_.empty())
        invalidate();
}

const ListRow* RowFilterModel::rowAt(int row) const {
    if (row < 0 || row >= rowCount())
        return nullptr;
    return rows_->rowAt(mapToSource(index(row, 0)).row());
}

std::vector<const ListRow*> RowFilterModel::shownRows() const {
    std::vector<const ListRow*> shown;
    const int count = rowCount();
    shown.reserve(size_t(count));
    for (int i = 0; i < count; ++i)
        shown.push_back(rowAt(i));
    return shown;
}

int RowFilterModel::placeOf(int modelRow) const {
    return modelRow < 0 ? -1 : mapFromSource(rows_->index(modelRow, 0)).row();
}

bool RowFilterModel::filterAcceptsRow(int sourceRow, const QModelIndex&) const {
    if (search_.empty())
        return true;
    const ListRow* row = rows_->rowAt(sourceRow);
    return row && search_.matches(*row, columns_);
}
