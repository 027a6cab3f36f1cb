// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/viewsettings.h"

#include <QSettings>

#include <algorithm>
#include <cstdlib>

namespace {

const QString kGroup = QStringLiteral("view");

int IndexOf(const std::vector<ColumnSetting>& columns, const QString& caption) {
    for (size_t i = 0; i < columns.size(); ++i)
        if (columns[i].caption == caption)
            return int(i);
    return -1;
}

} // namespace

std::unique_ptr<QSettings> OpenViewSettings() {
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                       QStringLiteral("Pagewick"), QStringLiteral("pagewick"));
}

ViewSettings LoadViewSettings(QSettings& settings, const std::vector<ColumnSetting>& defaults) {
    ViewSettings view;
    settings.beginGroup(kGroup);
    view.geometry = settings.value(QStringLiteral("geometry")).toByteArray();
    std::vector<bool> placed(defaults.size(), false);
    const int stored = settings.beginReadArray(QStringLiteral("columns"));
    for (int i = 0; i < stored; ++i) {
        settings.setArrayIndex(i);
        const int at = IndexOf(defaults, settings.value(QStringLiteral("caption")).toString());
        if (at < 0 || placed[size_t(at)])
            continue;
        placed[size_t(at)] = true;
        ColumnSetting column = defaults[size_t(at)];
        column.width = std::max(settings.value(QStringLiteral("width"), column.width).toInt(), 8);
        // The name says which row is which: it is always shown.
        column.shown = at == 0 || settings.value(QStringLiteral("shown"), true).toBool();
        view.columns.push_back(column);
    }
    settings.endArray();
    for (size_t i = 0; i < defaults.size(); ++i)
        if (!placed[i])
            view.columns.push_back(defaults[i]);
    const int sorted = IndexOf(defaults, settings.value(QStringLiteral("sort")).toString());
    const bool descending = settings.value(QStringLiteral("descending"), false).toBool();
    view.sortColumn = sorted < 0 ? 1 : (descending ? -(sorted + 1) : sorted + 1);
    settings.endGroup();
    return view;
}

void SaveViewSettings(QSettings& settings, const ViewSettings& view,
                      const std::vector<ColumnSetting>& defaults) {
    settings.beginGroup(kGroup);
    settings.setValue(QStringLiteral("geometry"), view.geometry);
    settings.beginWriteArray(QStringLiteral("columns"), int(view.columns.size()));
    for (size_t i = 0; i < view.columns.size(); ++i) {
        settings.setArrayIndex(int(i));
        settings.setValue(QStringLiteral("caption"), view.columns[i].caption);
        settings.setValue(QStringLiteral("width"), view.columns[i].width);
        settings.setValue(QStringLiteral("shown"), view.columns[i].shown);
    }
    settings.endArray();
    const int sorted = std::abs(view.sortColumn) - 1;
    settings.setValue(QStringLiteral("sort"), sorted >= 0 && size_t(sorted) < defaults.size()
                                                  ? defaults[size_t(sorted)].caption
                                                  : defaults.front().caption);
    settings.setValue(QStringLiteral("descending"), view.sortColumn < 0);
    settings.endGroup();
    settings.sync();
}

QSize FirstStartSize(int contentWidth, QSize designed, QSize screen) {
    const int wide = std::max(designed.width(), screen.width() * 2 / 3);
    return {std::clamp(contentWidth, designed.width(), wide),
            std::max(designed.height(), screen.height() * 2 / 3)};
}
