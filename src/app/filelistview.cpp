// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/filelistview.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>

#include <algorithm>

namespace {

// No column is fitted wider than this: a title of a few hundred characters would push every
// other column out of sight.
constexpr int kWidestFitted = 400;
constexpr int kDefaultWidth = 100;

} // namespace

FileListView::FileListView(QWidget* parent) : QTreeView(parent) {
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setAllColumnsShowFocus(true);
    setContextMenuPolicy(Qt::CustomContextMenu);
    QHeaderView* columns = header();
    columns->setSectionsClickable(true);
    columns->setSectionsMovable(true);
    columns->setSortIndicatorShown(true);
    // What a wider window adds goes to the last column, so the columns fill the list.
    columns->setStretchLastSection(true);
    columns->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(columns, &QHeaderView::customContextMenuRequested, this, &FileListView::showHeaderMenu);
}

void FileListView::setDefaultColumns(std::vector<int> defaultWidths, int shownCount) {
    defaultWidths_ = std::move(defaultWidths);
    shownByDefault_ = shownCount;
}

std::vector<ColumnSetting> FileListView::defaultColumns() const {
    std::vector<ColumnSetting> columns;
    const int count = model() ? model()->columnCount() : 0;
    for (int i = 0; i < count; ++i)
        columns.push_back(
            {model()->headerData(i, Qt::Horizontal).toString(),
             size_t(i) < defaultWidths_.size() ? defaultWidths_[size_t(i)] : kDefaultWidth,
             i < shownByDefault_});
    return columns;
}

std::vector<ColumnSetting> FileListView::columnSettings() const {
    std::vector<ColumnSetting> columns;
    const QHeaderView* h = header();
    for (int visual = 0; visual < h->count(); ++visual) {
        const int logical = h->logicalIndex(visual);
        columns.push_back({model()->headerData(logical, Qt::Horizontal).toString(),
                           h->sectionSize(logical), !h->isSectionHidden(logical)});
    }
    return columns;
}

void FileListView::applyColumnSettings(const std::vector<ColumnSetting>& columns) {
    QHeaderView* h = header();
    int visual = 0;
    for (const ColumnSetting& column : columns) {
        int logical = -1;
        for (int i = 0; i < h->count() && logical < 0; ++i)
            if (model()->headerData(i, Qt::Horizontal).toString() == column.caption)
                logical = i;
        if (logical < 0)
            continue;
        h->moveSection(h->visualIndex(logical), visual++);
        h->resizeSection(logical, column.width);
        h->setSectionHidden(logical, !column.shown);
    }
    emit shownColumnsChanged();
}

std::vector<int> FileListView::shownColumns() const {
    std::vector<int> shown;
    const QHeaderView* h = header();
    for (int visual = 0; visual < h->count(); ++visual)
        if (const int logical = h->logicalIndex(visual); !h->isSectionHidden(logical))
            shown.push_back(logical);
    return shown;
}

int FileListView::fitColumnsToContents() {
    int total = 0;
    for (const int column : shownColumns()) {
        // The rows in view and the caption with its sort mark.
        const int width = std::min(
            std::max(sizeHintForColumn(column), header()->sectionSizeHint(column)), kWidestFitted);
        setColumnWidth(column, width);
        total += width;
    }
    return total;
}

void FileListView::keyPressEvent(QKeyEvent* event) {
    if (event->matches(QKeySequence::Copy)) {
        emit copyRequested();
        event->accept();
        return;
    }
    QTreeView::keyPressEvent(event);
}

void FileListView::showHeaderMenu(const QPoint& at) {
    QMenu menu(this);
    menu.setObjectName(QStringLiteral("headerMenu"));
    QHeaderView* h = header();
    for (int logical = 0; logical < h->count(); ++logical) {
        // The columns shown by default, then the others.
        if (logical == shownByDefault_)
            menu.addSeparator();
        QAction* action = menu.addAction(model()->headerData(logical, Qt::Horizontal).toString());
        action->setCheckable(true);
        action->setChecked(!h->isSectionHidden(logical));
        // The name says which row is which.
        action->setEnabled(logical != 0);
        connect(action, &QAction::toggled, this, [this, logical](bool shown) {
            header()->setSectionHidden(logical, !shown);
            if (shown && columnWidth(logical) < 20)
                setColumnWidth(logical, logical < int(defaultWidths_.size())
                                            ? defaultWidths_[size_t(logical)]
                                            : kDefaultWidth);
            emit shownColumnsChanged();
        });
    }
    menu.addSeparator();
    QAction* reset = menu.addAction(QStringLiteral("表示を元に戻す"));
    reset->setObjectName(QStringLiteral("resetView"));
    connect(reset, &QAction::triggered, this, &FileListView::resetRequested);
    menu.exec(h->viewport()->mapToGlobal(at));
}
