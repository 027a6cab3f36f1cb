// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/rowmodel.h"

#include "app/columns.h"

#include <QBrush>

namespace {

QString FromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

QVariant AlignmentOf(const ColumnInfo& column) {
    // Left and vertically centred is how the view draws a cell without an alignment of its own.
    if (column.alignment == ColumnAlignment::Left)
        return {};
    return QVariant::fromValue(Qt::Alignment(Qt::AlignRight | Qt::AlignVCenter));
}

} // namespace

ListRowModel::ListRowModel(IconOf icon, QObject* parent)
    : QAbstractTableModel(parent), icon_(std::move(icon)) {}

void ListRowModel::Show(const std::vector<ListRow>* rows, size_t shown) {
    beginResetModel();
    rows_ = rows;
    shown_ = rows ? std::min(shown, rows->size()) : 0;
    endResetModel();
}

void ListRowModel::Relocated(const std::vector<ListRow>* rows) {
    rows_ = rows;
    shown_ = rows ? std::min(shown_, rows->size()) : 0;
}

void ListRowModel::ShowMore(size_t shown) {
    if (!rows_)
        return;
    shown = std::min(shown, rows_->size());
    if (shown <= shown_)
        return;
    beginInsertRows({}, int(shown_), int(shown - 1));
    shown_ = shown;
    endInsertRows();
}

void ListRowModel::BeginRearrange() {
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
}

void ListRowModel::EndRearrange(const std::vector<size_t>& from) {
    std::vector<int> placeOf(from.size(), -1);
    for (size_t place = 0; place < from.size(); ++place)
        if (from[place] < from.size())
            placeOf[from[place]] = int(place);
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& index : before) {
        const int row = index.row();
        const int place = row >= 0 && size_t(row) < placeOf.size() ? placeOf[size_t(row)] : -1;
        after << (place >= 0 ? createIndex(place, index.column()) : QModelIndex());
    }
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void ListRowModel::SetFailures(const std::vector<ReadFailure>& failures) {
    if (failures.empty() && failures_.empty())
        return;
    failures_.clear();
    for (const ReadFailure& failure : failures)
        failures_.emplace(failure.name,
                          QStringLiteral("読めませんでした：") + FromUtf8(failure.message));
    if (shown_ > 0)
        emit dataChanged(index(0, 0), index(int(shown_ - 1), kColumnCount - 1),
                         {Qt::ToolTipRole, Qt::ForegroundRole});
}

int ListRowModel::RowOf(const std::string& caption) const {
    for (size_t i = 0; i < shown_; ++i)
        if ((*rows_)[i].caption == caption)
            return int(i);
    return -1;
}

int ListRowModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(shown_);
}

int ListRowModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnCount;
}

const ListRow* ListRowModel::RowAt(const QModelIndex& index) const {
    if (!rows_ || !index.isValid() || index.row() < 0 || size_t(index.row()) >= shown_ ||
        index.column() < 0 || index.column() >= kColumnCount)
        return nullptr;
    return &(*rows_)[size_t(index.row())];
}

QVariant ListRowModel::data(const QModelIndex& index, int role) const {
    const ListRow* row = RowAt(index);
    if (!row)
        return {};
    const int column = index.column();
    switch (role) {
    case Qt::DisplayRole: {
        std::string scratch; // a title or name cannot reorder or hide what the cell shows
        return FromUtf8(
            InertText(column == 0 ? row->caption : row->cells[size_t(column - 1)], false, scratch));
    }
    case Qt::TextAlignmentRole:
        return AlignmentOf(kColumns[size_t(column)]);
    case Qt::DecorationRole:
        if (column == 0 && icon_) {
            const QPixmap icon = icon_(row->imageIndex);
            if (!icon.isNull())
                return icon;
        }
        return {};
    case Qt::ToolTipRole:
    case Qt::ForegroundRole: {
        if (failures_.empty())
            return {};
        const auto found = failures_.find(row->caption);
        if (found == failures_.end())
            return {};
        if (role == Qt::ToolTipRole)
            return found->second;
        return column == 0 ? QVariant(QBrush(Qt::red)) : QVariant();
    }
    default:
        return {};
    }
}

QVariant ListRowModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= kColumnCount)
        return {};
    const ColumnInfo& column = kColumns[size_t(section)];
    if (role == Qt::DisplayRole)
        return QString::fromUtf8(column.caption.data(), qsizetype(column.caption.size()));
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::Alignment(
            (column.alignment == ColumnAlignment::Right ? Qt::AlignRight : Qt::AlignLeft) |
            Qt::AlignVCenter));
    return {};
}
