// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The dialog that asks where the list is saved, and in which form.

#include "app/savedlist.h"

#include <QString>

#include <functional>
#include <optional>

class QWidget;

// The forms the dialog offers, in its order.
enum class ListForm {
    Text,    // テキスト(*.txt;*.csv): the list in code page 932
    All,     // ALL(*.*): the same list under any name
    Utf8Csv, // CSV UTF-8(*.csv): the table for other programs
};

ListEncoding EncodingOf(ListForm form);

// The form a filter names, given as the dialog lists it or as it shows it with its patterns
// hidden; Text for one it does not offer.
ListForm FormOfFilter(const QString& filter);

// The name the list is saved under in form: a name without extension gets the form's (.txt,
// .csv for the table); an extension of a list (.txt, .csv) that the form does not take is
// replaced by the form's; any other ending is kept as part of the name and the form's
// extension follows it. ALL(*.*) takes any name and adds .txt only to one without extension.
QString NameForForm(const QString& name, ListForm form);

// The name the dialog proposes once the user picks form: an extension of a list, or none,
// becomes the form's; under ALL(*.*) the name stays as it is.
QString NameAfterFormChange(const QString& name, ListForm form);

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
