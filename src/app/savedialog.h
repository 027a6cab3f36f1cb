// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The dialog that asks where the list is saved, and in which form.

#include "app/savedlist.h"

#include <QString>

#include <functional>
#include <optional>

class QWidget;

// What the user chose in the save dialog.
struct SaveChoice {
    QString path;
    ListEncoding encoding = ListEncoding::Cp932;
};

// The save dialog of the list, with its three forms: given the title and the proposed path,
// the choice or nothing when the user cancelled. Tests answer through SetSaveDialogHandler.
std::optional<SaveChoice> ChooseListFile(QWidget* owner, const QString& title,
                                         const QString& proposedPath);

// Replaces the dialog (an empty handler restores it); returns the handler in force before.
using SaveDialogHandler = std::function<std::optional<SaveChoice>(
    QWidget* owner, const QString& title, const QString& proposedPath)>;
SaveDialogHandler SetSaveDialogHandler(SaveDialogHandler handler);

// The dialog itself, whatever handler is set.
std::optional<SaveChoice> RunSaveDialogForList(QWidget* owner, const QString& title,
                                               const QString& proposedPath);
