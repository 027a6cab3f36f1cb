// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/folderlistmodel.h"

#include "app/columns.h"
#include "app/listlocale.h"
#include "app/shownrows.h"
#include "app/sorting.h"
#include "platform/pathnames.h"

#include <QBrush>
#include <QTimer>

#include <algorithm>

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

FolderListModel::FolderListModel(QObject* parent)
    : QAbstractTableModel(parent), loader_(new FolderLoader(this)), batchTimer_(new QTimer(this)) {
    batchTimer_->setSingleShot(true);
    connect(batchTimer_, &QTimer::timeout, this, &FolderListModel::showPending);
    connect(loader_, &FolderLoader::started, this, &FolderListModel::listingStarted);
    connect(loader_, &FolderLoader::rowsFound, this, &FolderListModel::rowsFound);
    connect(loader_, &FolderLoader::finished, this, &FolderListModel::listingFinished);
}

void FolderListModel::loadFolder(const QString& path, const ScanSettings& settings) {
    loader_->load(path, settings);
}

void FolderListModel::listingStarted(bool quiet) {
    quiet_ = quiet;
    fresh_.clear();
    batchTimer_->stop();
    if (quiet)
        return; // what is shown stays until the listing is done
    beginResetModel();
    rows_.clear();
    shown_ = 0;
    batchInterval_ = kBatchMilliseconds;
    failures_.clear();
    failureTips_.clear();
    endResetModel();
    sinceShown_.start();
}

void FolderListModel::rowsFound() {
    folder_ = loader_->listingFolder();
    std::vector<ListRow> found = loader_->takeRows();
    std::vector<ListRow>& into = quiet_ ? fresh_ : rows_;
    // Grown once to what the folder will likely give (".." besides): a vector that doubles
    // holds its rows twice, and more, while it moves them.
    const size_t room = std::max(into.size() + found.size(), loader_->expectedRows() + 1);
    if (into.empty() && found.capacity() >= room) {
        into = std::move(found);
    } else {
        into.reserve(room);
        into.insert(into.end(), std::make_move_iterator(found.begin()),
                    std::make_move_iterator(found.end()));
    }
    if (!quiet_ && !batchTimer_->isActive())
        batchTimer_->start(int(std::max<qint64>(0, batchInterval_ - sinceShown_.elapsed())));
}

void FolderListModel::listingFinished(bool quiet, FolderLoader::Outcome outcome) {
    batchTimer_->stop();
    if (quiet) {
        // A quiet listing that did not get to the end changes nothing.
        if (outcome == FolderLoader::Outcome::Completed) {
            mergeRows(std::exchange(fresh_, {}));
            markFailures(loader_->failures());
        }
        fresh_.clear();
        return;
    }
    markFailures(loader_->failures());
    showPending();
}

void FolderListModel::showPending() {
    if (shown_ < rows_.size()) {
        QElapsedTimer sorting;
        sorting.start();
        // The rows found join the list in their places: the first ones are put in order before
        // they show, later ones are put in order with those shown.
        if (shown_ == 0)
            sortRows();
        beginInsertRows({}, int(shown_), int(rows_.size() - 1));
        const bool joined = shown_ > 0;
        shown_ = rows_.size();
        endInsertRows();
        if (joined)
            sortRows();
        // Sorting a large list again for every batch would cost more than reading it: the
        // batches come no more often than leaves the window's thread four fifths of its time.
        batchInterval_ = std::max<qint64>(kBatchMilliseconds, 4 * sorting.elapsed());
    }
    sinceShown_.start();
}

void FolderListModel::setSortColumn(int sortColumn) {
    sortColumn_ = sortColumn;
    sortRows();
}

void FolderListModel::sort(int column, Qt::SortOrder order) {
    if (column >= 0 && column < kAllColumnCount)
        setSortColumn(order == Qt::AscendingOrder ? column + 1 : -(column + 1));
}

void FolderListModel::sortRows() {
    if (shown_ == 0) {
        SortRowsByLocale(rows_, sortColumn_);
        return;
    }
    // Only the rows shown are rearranged under the view; the others keep their places after.
    std::vector<ListRow> hidden(std::make_move_iterator(rows_.begin() + qsizetype(shown_)),
                                std::make_move_iterator(rows_.end()));
    rows_.resize(shown_);
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const std::vector<size_t> from = SortRowsByLocale(rows_, sortColumn_);
    std::vector<int> placeOf(from.size(), -1);
    for (size_t place = 0; place < from.size(); ++place)
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
    rows_.insert(rows_.end(), std::make_move_iterator(hidden.begin()),
                 std::make_move_iterator(hidden.end()));
}

void FolderListModel::mergeRows(std::vector<ListRow> fresh) {
    std::unordered_map<std::string, size_t> freshIndex;
    freshIndex.reserve(fresh.size());
    for (size_t i = 0; i < fresh.size(); ++i)
        freshIndex.emplace(fresh[i].nameBytes, i);
    // Rows gone go first, a run of neighbours at a time, from the end so that the places of
    // the runs before stay.
    std::vector<size_t> match(rows_.size(), fresh.size());
    for (size_t i = 0; i < rows_.size(); ++i)
        if (const auto found = freshIndex.find(rows_[i].nameBytes); found != freshIndex.end())
            match[i] = found->second;
    for (size_t end = rows_.size(); end > 0;) {
        if (match[end - 1] != fresh.size()) {
            --end;
            continue;
        }
        size_t begin = end - 1;
        while (begin > 0 && match[begin - 1] == fresh.size())
            --begin;
        beginRemoveRows({}, int(begin), int(end - 1));
        rows_.erase(rows_.begin() + qsizetype(begin), rows_.begin() + qsizetype(end));
        match.erase(match.begin() + qsizetype(begin), match.begin() + qsizetype(end));
        shown_ = rows_.size();
        endRemoveRows();
        end = begin;
    }
    std::vector<bool> taken(fresh.size(), false);
    for (size_t i = 0; i < rows_.size(); ++i) {
        rows_[i] = std::move(fresh[match[i]]);
        taken[match[i]] = true;
    }
    if (!rows_.empty())
        emit dataChanged(index(0, 0), index(int(rows_.size() - 1), kAllColumnCount - 1));
    const size_t kept = rows_.size();
    for (size_t i = 0; i < fresh.size(); ++i)
        if (!taken[i])
            rows_.push_back(std::move(fresh[i]));
    if (rows_.size() > kept) {
        beginInsertRows({}, int(kept), int(rows_.size() - 1));
        shown_ = rows_.size();
        endInsertRows();
    }
    sortRows();
}

void FolderListModel::markFailures(const std::vector<ReadFailure>& failures) {
    const bool marked = !failureTips_.empty() || !failures.empty();
    failures_ = failures;
    failureTips_.clear();
    std::string scratch;
    for (const ReadFailure& failure : failures)
        failureTips_.emplace(failure.name,
                             QStringLiteral("読めませんでした：") +
                                 FromUtf8(InertText(failure.message, false, scratch)));
    if (marked && shown_ > 0)
        emit dataChanged(index(0, 0), index(int(shown_ - 1), kAllColumnCount - 1),
                         {Qt::ToolTipRole, Qt::ForegroundRole});
}

const ListRow* FolderListModel::rowAt(int row) const {
    return row >= 0 && size_t(row) < shown_ ? &rows_[size_t(row)] : nullptr;
}

int FolderListModel::rowOfFile(const std::string& nameBytes) const {
    for (size_t i = 0; i < shown_; ++i)
        if (!rows_[i].isFolder && rows_[i].nameBytes == nameBytes)
            return int(i);
    return -1;
}

int FolderListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(shown_);
}

int FolderListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kAllColumnCount;
}

QVariant FolderListModel::data(const QModelIndex& index, int role) const {
    const ListRow* row = index.isValid() ? rowAt(index.row()) : nullptr;
    const int column = index.column();
    if (!row || column < 0 || column >= kAllColumnCount)
        return {};
    switch (role) {
    case Qt::DisplayRole: {
        std::string scratch; // a title or name cannot reorder or hide what the cell shows
        return FromUtf8(ShownCell(*row, column, scratch));
    }
    case Qt::TextAlignmentRole:
        return AlignmentOf(kColumns[size_t(column)]);
    case Qt::DecorationRole: {
        if (column != 0)
            return {};
        // By the entry's full path: a program shows an icon of its own.
        const QIcon icon = icons_.icon(
            icons_.iconIndex(platform::PathFromBytes(folder_ + row->nameBytes), row->isFolder));
        return icon.isNull() ? QVariant() : QVariant(icon);
    }
    case Qt::ToolTipRole:
    case Qt::ForegroundRole: {
        const auto found = failureTips_.find(row->caption);
        if (found == failureTips_.end())
            return {};
        if (role == Qt::ToolTipRole)
            return found->second;
        return column == 0 ? QVariant(QBrush(Qt::red)) : QVariant();
    }
    default:
        return {};
    }
}

QVariant FolderListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= kAllColumnCount)
        return {};
    const ColumnInfo& column = kColumns[size_t(section)];
    if (role == Qt::DisplayRole)
        return FromUtf8(std::string(column.caption));
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::Alignment(
            (column.alignment == ColumnAlignment::Right ? Qt::AlignRight : Qt::AlignLeft) |
            Qt::AlignVCenter));
    return {};
}
