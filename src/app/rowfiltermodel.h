// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The rows of the file list that the search finds, in the list model's order: what the view
// shows. Typing in the search asks it for the rows again, each found or not by RowSearch over
// the columns shown; the model's order, batches and changes pass through as they come.

#include "app/shownrows.h"

#include <QSortFilterProxyModel>

#include <vector>

class FolderListModel;

class RowFilterModel : public QSortFilterProxyModel {
    Q_OBJECT
public:
    explicit RowFilterModel(FolderListModel* rows, QObject* parent = nullptr);

    FolderListModel* rows() const { return rows_; }
    // The text looked for; empty shows every row.
    void setSearchText(const QString& text);
    const QString& searchText() const { return text_; }
    // The columns (logical indexes) searched: those shown.
    void setSearchedColumns(std::vector<int> columns);

    // The row shown at row, or nothing.
    const ListRow* rowAt(int row) const;
    // The rows shown, in their order.
    std::vector<const ListRow*> shownRows() const;
    // The place of the list model's row, or -1 when the search hides it.
    int placeOf(int modelRow) const;

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

private:
    FolderListModel* rows_;
    QString text_;
    RowSearch search_;
    std::vector<int> columns_;
};
