// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where the help page of an executable may lie, in the order they are tried.

#include <QString>
#include <QStringList>

// Beside the executable under its name (the build tree: pagewick → pagewick.htm, then .html),
// then where an install puts it: the data folder that lies as far from the executable's folder
// as the installed data folder from the installed program folder, under pagewick/ and the
// executable's name again (PREFIX/bin/pagewick → PREFIX/share/pagewick/pagewick.htm).
QStringList HelpPageCandidates(const QString& executable);
