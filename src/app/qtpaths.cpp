// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/qtpaths.h"

#include "app/listrows.h"

QString InertShown(std::string_view utf8) {
    std::string scratch;
    const std::string_view shown = InertText(utf8, false, scratch);
    return QString::fromUtf8(shown.data(), qsizetype(shown.size()));
}

QString InertShown(const QString& text) {
    return InertShown(text.toStdString());
}
