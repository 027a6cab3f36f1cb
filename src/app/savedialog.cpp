// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/savedialog.h"

#include <QFileDialog>
#include <QFileInfo>

#include <utility>

namespace {

SaveDialogHandler& Handler() {
    static SaveDialogHandler handler;
    return handler;
}

} // namespace

SaveDialogHandler SetSaveDialogHandler(SaveDialogHandler handler) {
    return std::exchange(Handler(), std::move(handler));
}

std::optional<SaveChoice> ChooseListFile(QWidget* owner, const QString& title,
                                         const QString& proposedPath) {
    if (const SaveDialogHandler& handler = Handler())
        return handler(owner, title, proposedPath);
    return RunSaveDialogForList(owner, title, proposedPath);
}

std::optional<SaveChoice> RunSaveDialogForList(QWidget* owner, const QString& title,
                                               const QString& proposedPath) {
    // The description of each filter is shown as it is; the patterns after it are what the
    // dialog lists files by.
    const QString csv = QStringLiteral("CSV UTF-8(*.csv)");
    const QStringList filters = {QStringLiteral("テキスト(*.txt;*.csv) (*.txt *.csv)"),
                                 QStringLiteral("ALL(*.*) (*)"), csv + QStringLiteral(" (*.csv)")};
    QFileDialog dialog(owner, title, QFileInfo(proposedPath).absolutePath());
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    // An existing file is replaced without a question, as the list has always been saved.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setNameFilters(filters);
    dialog.selectNameFilter(filters[0]);
    dialog.setDefaultSuffix(QStringLiteral("txt"));
    // A name typed without extension gets the extension of the form it is saved in, and the
    // proposed name, while the user keeps it, takes that extension when the form changes.
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&](const QString& filter) {
        const QString suffix = filter == filters[2] ? QStringLiteral("csv") : QStringLiteral("txt");
        dialog.setDefaultSuffix(suffix);
        const QStringList chosen = dialog.selectedFiles();
        if (chosen.size() != 1)
            return;
        const QFileInfo now(chosen.first());
        if (now.completeBaseName() == QFileInfo(proposedPath).completeBaseName() &&
            (now.suffix() == QLatin1String("txt") || now.suffix() == QLatin1String("csv")))
            dialog.selectFile(now.completeBaseName() + QLatin1Char('.') + suffix);
    });
    dialog.selectFile(proposedPath);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    // With the patterns hidden, the dialog names the chosen filter as it shows it.
    const QString chosen = dialog.selectedNameFilter();
    const bool utf8 = chosen == filters[2] || chosen == csv;
    return SaveChoice{dialog.selectedFiles().first(),
                      utf8 ? ListEncoding::Utf8WithMark : ListEncoding::Cp932};
}
