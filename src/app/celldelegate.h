// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The file list's cells: a cell whose text does not fit its column shows the whole text as its
// tooltip, after the reason a file could not be read where there is one.

#include <QStyledItemDelegate>

class CellDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;

private:
    // The cell's text when it does not fit its cell, else nothing.
    QString truncatedText(const QAbstractItemView* view, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const;
};
