// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where the help page of an executable may lie, in the order they are tried.

#include <QString>
#include <QStringList>

#include <functional>

// Beside the executable under its name (the build tree: pagewick → pagewick.htm, then .html),
// then where an install puts it: the data folder that lies as far from the executable's folder
// as the installed data folder from the installed program folder, under pagewick/ and the
// executable's name again (PREFIX/bin/pagewick → PREFIX/share/pagewick/pagewick.htm).
QStringList HelpPageCandidates(const QString& executable);

// The page the help button opens: the first candidate that a program (a browser) opens; else
// the first that exists, with browser false, for the user to open by hand; else nothing (an
// empty page).
struct HelpPage {
    QString page;
    bool browser = false;
};
HelpPage ChooseHelpPage(const QStringList& candidates,
                        const std::function<bool(const QString&)>& exists,
                        const std::function<bool(const QString&)>& opens);
