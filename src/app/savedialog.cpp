// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/savedialog.h"

#include "platform/pathnames.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>

#include <array>
#include <utility>

namespace {

// As the dialog lists them, in the order of ListForm: the description shown, then the
// patterns the dialog lists files by.
const std::array<QString, 3> kFilters = {QStringLiteral("テキスト(*.txt;*.csv) (*.txt *.csv)"),
                                         QStringLiteral("ALL(*.*) (*)"),
                                         QStringLiteral("CSV UTF-8(*.csv) (*.csv)")};

// The description alone, as the dialog shows a filter with its patterns hidden.
QString Shown(const QString& filter) {
    return filter.left(filter.lastIndexOf(QLatin1String(" ("))).trimmed();
}

QString ExtensionOfForm(ListForm form) {
    return form == ListForm::Utf8Csv ? QStringLiteral("csv") : QStringLiteral("txt");
}

// The extension of name's last component (without the dot), or empty.
QString Suffix(const QString& name) {
    const qsizetype slash = name.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot > slash + 1 ? name.mid(dot + 1) : QString();
}

bool IsListExtension(const QString& suffix) {
    return suffix.compare(QLatin1String("txt"), Qt::CaseInsensitive) == 0 ||
           suffix.compare(QLatin1String("csv"), Qt::CaseInsensitive) == 0;
}

QString WithExtension(const QString& name, const QString& suffix, const QString& extension) {
    return (suffix.isEmpty() ? name : name.chopped(suffix.size() + 1)) + QLatin1Char('.') +
           extension;
}

// The dialog with the form deciding the name's extension however it is chosen: the form
// picked in the list (the dialog reports it by the text it shows), or a name typed without
// its extension or with another form's.
class ListFileDialog : public QFileDialog {
public:
    ListFileDialog(QWidget* owner, const QString& title, const QString& folder)
        : QFileDialog(owner, title, folder) {
        setAcceptMode(QFileDialog::AcceptSave);
        setOption(QFileDialog::DontUseNativeDialog);
        setOption(QFileDialog::HideNameFilterDetails);
        // An existing file is replaced without a question, as the list has always been saved:
        // the name the user sees is the name written to.
        setOption(QFileDialog::DontConfirmOverwrite);
        setNameFilters(QStringList(kFilters.begin(), kFilters.end()));
        selectNameFilter(kFilters[0]);
        setDefaultSuffix(ExtensionOfForm(ListForm::Text));
        connect(this, &QFileDialog::filterSelected, this, &ListFileDialog::formChosen);
    }

    ListForm form() const { return FormOfFilter(selectedNameFilter()); }

    void accept() override {
        const QStringList files = selectedFiles();
        QLineEdit* name = nameField();
        if (files.size() == 1 && name) {
            const QString wanted = NameForForm(files.first(), form());
            if (wanted != files.first()) {
                // Only the extension changes, so the folder stays and the name shows it.
                name->setText(wanted.mid(wanted.lastIndexOf(QLatin1Char('/')) + 1));
                // A file of the form's name is replaced only once the user has seen it named.
                if (platform::FileAttributes(wanted))
                    return;
            }
        }
        QFileDialog::accept();
    }

private:
    // The field the name is typed in (selectFile leaves it alone while it has the focus).
    QLineEdit* nameField() const { return findChild<QLineEdit*>(QStringLiteral("fileNameEdit")); }

    void formChosen(const QString& filter) {
        const ListForm chosen = FormOfFilter(filter);
        setDefaultSuffix(ExtensionOfForm(chosen));
        if (QLineEdit* name = nameField())
            name->setText(NameAfterFormChange(name->text(), chosen));
    }
};

SaveDialogHandler& Handler() {
    static SaveDialogHandler handler;
    return handler;
}

} // namespace

ListEncoding EncodingOf(ListForm form) {
    return form == ListForm::Utf8Csv ? ListEncoding::Utf8WithMark : ListEncoding::Cp932;
}

ListForm FormOfFilter(const QString& filter) {
    for (size_t i = 0; i < kFilters.size(); ++i)
        if (filter == kFilters[i] || filter.trimmed() == Shown(kFilters[i]))
            return ListForm(i);
    return ListForm::Text;
}

QString NameForForm(const QString& name, ListForm form) {
    const QString suffix = Suffix(name);
    if (form == ListForm::All)
        return suffix.isEmpty() ? name + QStringLiteral(".txt") : name;
    if (suffix.compare(ExtensionOfForm(form), Qt::CaseInsensitive) == 0 ||
        (form == ListForm::Text && IsListExtension(suffix)))
        return name;
    return WithExtension(name, IsListExtension(suffix) ? suffix : QString(), ExtensionOfForm(form));
}

QString NameAfterFormChange(const QString& name, ListForm form) {
    const QString suffix = Suffix(name);
    if (form == ListForm::All || name.isEmpty() || !(suffix.isEmpty() || IsListExtension(suffix)))
        return name;
    return WithExtension(name, suffix, ExtensionOfForm(form));
}

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
    ListFileDialog dialog(owner, title, QFileInfo(proposedPath).absolutePath());
    dialog.selectFile(proposedPath);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return SaveChoice{dialog.selectedFiles().first(), EncodingOf(dialog.form())};
}
