// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The file list of one folder as an item model: it loads the folder (through its FolderLoader,
// on a worker thread), owns the rows and their order, marks the files the reader failed on,
// and shows the rows of a running listing in batches. The view asks for the texts of the cells
// it paints, so a folder of 100,000 entries costs its rows and no widget item for each.

#include "app/folderloader.h"
#include "app/listrows.h"
#include "shellicons/fileiconcache.h"

#include <QAbstractTableModel>
#include <QElapsedTimer>

#include <string>
#include <unordered_map>
#include <vector>

class QTimer;

class FolderListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // A running listing shows the rows it found so far this often, in their places: painting
    // the list for every file would cost more than reading it, and a folder read within the
    // first batch shows once.
    static constexpr int kBatchMilliseconds = 200;

    explicit FolderListModel(QObject* parent = nullptr);

    FolderLoader* loader() const { return loader_; }
    // Lists path (a file: its folder) with settings in place of the rows shown.
    void loadFolder(const QString& path, const ScanSettings& settings);

    // The sort column: 1-based, negative for descending. Setting it puts the rows in its
    // order; the highlighted row and the selection follow their rows.
    int sortColumn() const { return sortColumn_; }
    void setSortColumn(int sortColumn);
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    // The rows, in the list's order; while a listing runs, those found so far.
    const std::vector<ListRow>& rows() const { return rows_; }
    // The row shown at row, or nothing.
    const ListRow* rowAt(int row) const;
    // The row of the file (not folder) named nameBytes, or -1.
    int rowOfFile(const std::string& nameBytes) const;
    // The files the reader failed on in the last listing.
    const std::vector<ReadFailure>& failures() const { return failures_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    void listingStarted(bool quiet);
    void rowsFound();
    void listingFinished(bool quiet, FolderLoader::Outcome outcome);
    // Shows the rows found and not shown yet.
    void showPending();
    // Puts the rows in the order of the sort column.
    void sortRows();
    // The quiet listing's rows take the place of those shown: rows gone are removed, rows
    // still there take their new cells, new rows are added. What the view keeps of rows
    // (the highlight, the selection, the scroll position) stays with them.
    void mergeRows(std::vector<ListRow> fresh);
    void markFailures(const std::vector<ReadFailure>& failures);

    FolderLoader* loader_;
    std::vector<ListRow> rows_;
    size_t shown_ = 0;           // the first rows_ are shown
    std::vector<ListRow> fresh_; // of a quiet listing, until it is done
    bool quiet_ = false;         // the running listing is quiet
    int sortColumn_ = 1;
    QTimer* batchTimer_;
    QElapsedTimer sinceShown_;
    qint64 batchInterval_ = kBatchMilliseconds;
    std::vector<ReadFailure> failures_;
    std::unordered_map<std::string, QString> failureTips_; // caption -> tooltip
    std::string folder_;          // the rows' folder (bytes, ending in "/"), for their icons
    mutable FileIconCache icons_; // filled as rows are painted
};
