// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The file list's rows as an item model for the window's list view. The view asks for the
// texts of the cells it paints, so a folder of 100,000 entries costs its rows and no widget
// item for each; the rows stay where the scan put them, and the window tells the model of
// every change it makes to them.

#include "app/listrows.h"

#include <QAbstractTableModel>
#include <QPixmap>

#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

class ListRowModel : public QAbstractTableModel {
public:
    using IconOf = std::function<QPixmap(int imageIndex)>;

    explicit ListRowModel(IconOf icon, QObject* parent = nullptr);

    // Shows the first `shown` of rows, in place of whatever was shown.
    void Show(const std::vector<ListRow>* rows, size_t shown);
    // The rows shown were moved, unchanged, into another vector.
    void Relocated(const std::vector<ListRow>* rows);
    // Shows the rows up to `shown`: rows were added at the end.
    void ShowMore(size_t shown);
    size_t Shown() const { return shown_; }

    // Around a sort of the rows: from[i] is where the row now at place i was before. The
    // highlighted row and the selection follow their rows.
    void BeginRearrange();
    void EndRearrange(const std::vector<size_t>& from);

    // The rows of these files get the reason as tooltip and a red name; empty clears them.
    void SetFailures(const std::vector<ReadFailure>& failures);

    // The row showing this caption, or -1.
    int RowOf(const std::string& caption) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    const ListRow* RowAt(const QModelIndex& index) const;

    IconOf icon_;
    const std::vector<ListRow>* rows_ = nullptr;
    size_t shown_ = 0;
    std::unordered_map<std::string, QString> failures_; // caption -> tooltip
};
