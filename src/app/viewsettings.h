// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the window keeps between runs, and nothing else: its geometry, the list's columns (their
// order, widths and which are shown) and the sort order, in the desktop's configuration place
// (QSettings; on this desktop the XDG config folder, $XDG_CONFIG_HOME/Pagewick/pagewick.conf).
// Folders, filters and passwords are never stored.

#include <QByteArray>
#include <QSize>
#include <QString>

#include <memory>
#include <vector>

class QSettings;

struct ColumnSetting {
    QString caption; // names the column, so that a column added later finds its place
    int width = 0;
    bool shown = true;
    bool operator==(const ColumnSetting&) const = default;
};

struct ViewSettings {
    QByteArray geometry;                // QWidget::saveGeometry; empty before the first close
    std::vector<ColumnSetting> columns; // in the order shown, left to right
    int sortColumn = 1;                 // 1-based logical column, negative for descending
};

// The settings of this user.
std::unique_ptr<QSettings> OpenViewSettings();

// What settings hold, fitted to the list's columns (defaults, in the table's order): a stored
// column that no longer exists is dropped, one not stored yet follows the stored ones as its
// default says; a sort column that no longer exists sorts by name.
ViewSettings LoadViewSettings(QSettings& settings, const std::vector<ColumnSetting>& defaults);
void SaveViewSettings(QSettings& settings, const ViewSettings& view,
                      const std::vector<ColumnSetting>& defaults);

// The size of the window at its first start: wide enough for contentWidth, within two thirds
// of the screen and never below the designed size; two thirds of the screen high.
QSize FirstStartSize(int contentWidth, QSize designed, QSize screen);
