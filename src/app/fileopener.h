// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Opening a file of the list the way this desktop opens it: pages through the URL handler,
// programs (ELF executables and "#!" scripts the user may execute) directly in their own
// folder, everything else by the default application of its type, inside the desktop's
// terminal when that application needs one.

#include <QString>
#include <QStringList>

// How a file is started: the command and its working folder, or, without a command, the
// message that says why there is none.
struct StartPlan {
    QStringList command;
    QString workingFolder;
    QString message;
};

StartPlan PlanToOpen(const QString& path);

// Opens path by its plan; a file that cannot be started is told in an information box that
// has no owner and comes to the front.
void OpenFile(const QString& path);
