// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/helppage.h"

#include <QDir>
#include <QFileInfo>

#ifndef PAGEWICK_DATA_FROM_BIN
#error PAGEWICK_DATA_FROM_BIN must give the data folder relative to the program folder
#endif

QStringList HelpPageCandidates(const QString& executable) {
    const QFileInfo exe(executable);
    const QString installed = QDir::cleanPath(exe.absolutePath() + QStringLiteral("/") +
                                              QStringLiteral(PAGEWICK_DATA_FROM_BIN) +
                                              QStringLiteral("/pagewick/") + exe.fileName());
    QStringList out;
    for (const QString& base : {executable, installed})
        for (const char* extension : {".htm", ".html"})
            out << base + QLatin1String(extension);
    return out;
}

HelpPage ChooseHelpPage(const QStringList& candidates,
                        const std::function<bool(const QString&)>& exists,
                        const std::function<bool(const QString&)>& opens) {
    for (const QString& page : candidates)
        if (opens(page))
            return {page, true};
    for (const QString& page : candidates)
        if (exists(page))
            return {page, false};
    return {};
}
