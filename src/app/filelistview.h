// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The file list's view: rows selected one or many at a time, columns that fill its width, a
// header whose context menu shows and hides any column of the model (so columns added to the
// table appear there by themselves) and resets the view, and Ctrl+C that asks for the
// selected rows to be copied.

#include "app/viewsettings.h"

#include <QTreeView>

#include <vector>

class FileListView : public QTreeView {
    Q_OBJECT
public:
    explicit FileListView(QWidget* parent = nullptr);

    // The model's columns as the view shows them by default: in the model's order, at the
    // widths of defaultWidths (index by column; 100 beyond it), the first shownCount shown.
    void setDefaultColumns(std::vector<int> defaultWidths, int shownCount);
    std::vector<ColumnSetting> defaultColumns() const;

    // The columns as they are now, left to right, and setting them so.
    std::vector<ColumnSetting> columnSettings() const;
    void applyColumnSettings(const std::vector<ColumnSetting>& columns);
    // The logical indexes of the columns shown, left to right.
    std::vector<int> shownColumns() const;

    // Each shown column as wide as its caption and the rows in view need (up to a limit that
    // keeps one long title from taking the window); returns their sum.
    int fitColumnsToContents();

signals:
    void copyRequested();
    // 表示を元に戻す in the header's menu.
    void resetRequested();
    // A column was shown or hidden.
    void shownColumnsChanged();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void showHeaderMenu(const QPoint& at);

    std::vector<int> defaultWidths_;
    int shownByDefault_ = 0;
};
