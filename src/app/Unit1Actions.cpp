// SPDX-License-Identifier: GPL-3.0-or-later
// What the user does with the list: selecting, opening, going up, help, exit and saving.

#include "app/Unit1.h"
#include "app/qtpaths.h"
#include "app/rowmodel.h"

#include "common/errors.h"
#include "dirchooser/folderchooser.h"
#include "jtext/filename.h"
#include "platform/platform.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QTreeView>

#include <unistd.h>

namespace {

const QString kInfoCaption = QStringLiteral("Pagewick Ver. 1.0の情報");

void Inform(const QString& text) {
    platform::ShowMessageBox(
        {kInfoCaption, text, QMessageBox::Ok, QMessageBox::NoIcon, true, nullptr});
}

// How a file is started on this desktop: pages through the URL handler, programs (ELF
// executables and "#!" scripts the user may execute) directly in their own folder, everything
// else by the default application of its type, inside the desktop's terminal when that
// application needs one. Without a command, message says why.
struct StartPlan {
    QStringList command;
    QString workingFolder;
    QString message;
};

StartPlan PlanFor(const QString& path) {
    if (!platform::FileInfoOf(path))
        return {{}, {}, QStringLiteral("ファイルが存在しない又は実行できません：\r\n") + path};
    const QString fileName = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    const QString ext = fileName.contains(QLatin1Char('.'))
                            ? path.mid(path.lastIndexOf(QLatin1Char('.'))).toLower()
                            : QString();
    const QString noApplication =
        QStringLiteral("このファイルを開くアプリケーションが関連付けられていません：\r\n") + path;
    if (ext == QLatin1String(".htm") || ext == QLatin1String(".html"))
        return platform::FindAssociatedProgram(path)
                   ? StartPlan{platform::UrlHandlerCommand(path), {}, {}}
                   : StartPlan{{}, {}, noApplication};
    // The path is taken by its bytes throughout: Qt's own file checks cannot name a file whose
    // name is not UTF-8.
    if (platform::IsProgramFile(path))
        return {{path}, FolderPart(path), {}};
    const auto program = platform::FindAssociatedProgram(path);
    if (!program)
        return {{}, {}, noApplication};
    const QStringList command = platform::ExpandExecLine(program->exec, path);
    if (command.isEmpty() || !program->terminal)
        return {command, {}, command.isEmpty() ? noApplication : QString()};
    const QStringList terminal = platform::TerminalCommand();
    if (terminal.isEmpty())
        return {
            {},
            {},
            QStringLiteral("%1 は端末の中で動くアプリケーションですが、端末"
                           "（x-terminal-emulator または xdg-terminal-exec）が見つかりません：\r\n")
                    .arg(program->name.isEmpty() ? command.first() : program->name) +
                path};
    return {terminal + command, {}, {}};
}

} // namespace

void TForm1::ListView1Click() {
    if (scanning_ || rearranging_)
        return;
    const int i = SelectedIndex();
    if (i < 0)
        return;
    const ListRow& row = rows_[size_t(i)];
    if (row.isFolder && row.caption == "..")
        Edit1->clear();
    else
        Edit1->setText(QString::fromStdString(row.caption));
}

bool TForm1::SelectEntry(const QString& name) {
    const std::string bytes = platform::PathToBytes(name);
    const auto find = [&] {
        for (size_t i = 0; i < rows_.size() && i < model_->Shown(); ++i)
            if (!rows_[i].isFolder && rows_[i].nameBytes == bytes)
                return int(i);
        return -1;
    };
    int row = find();
    const int everyFile = ComboBox1->count() - 1;
    if (row < 0 && ComboBox1->currentIndex() != everyFile) {
        ComboBox1->setCurrentIndex(everyFile);
        FFileMask = FileMaskForIndex(everyFile);
        PathChanged(this, CurrentFolder());
        row = find();
    }
    if (row < 0)
        return false;
    HighlightRow(row);
    ListView1Click();
    return true;
}

void TForm1::ListView1DblClick() {
    if (scanning_)
        return;
    const int i = SelectedIndex();
    if (i < 0)
        return;
    const ListRow& row = rows_[size_t(i)];
    const QString folder = WithSlash(CurrentFolder());
    // The row's bytes name the file; its caption only shows them.
    const QString entry = platform::PathFromBytes(platform::PathToBytes(folder) + row.nameBytes);
    if (row.isFolder && row.caption == "..") {
        FDirCombo->openPath(FolderPart(FolderPart(folder)));
    } else if (row.isFolder) {
        FDirCombo->openPath(entry);
        Edit1->clear();
    } else {
        RunFile(entry);
    }
}

void TForm1::Button1Click() {
    if (scanning_)
        return;
    QString name = Trimmed(Edit1->text());
    if (name.isEmpty()) {
        ListView1DblClick();
        return;
    }
    if (!name.contains(QLatin1Char('/')))
        name = WithSlash(CurrentFolder()) + name;
    // The field shows the selected row's name, which names the file only when its bytes are
    // UTF-8; otherwise the row's own bytes do.
    if (const int i = SelectedIndex();
        i >= 0 && rows_[size_t(i)].caption != rows_[size_t(i)].nameBytes &&
        Edit1->text() == QString::fromStdString(rows_[size_t(i)].caption))
        name = platform::PathFromBytes(platform::PathToBytes(WithSlash(CurrentFolder())) +
                                       rows_[size_t(i)].nameBytes);
    const auto attributes = platform::FileAttributes(name);
    if (!attributes || (*attributes & (platform::faDirectory | platform::faVolumeID))) {
        // A name that no longer exists is handed to the chooser too, which ignores it.
        FDirCombo->openPath(name);
        Edit1->clear();
    } else {
        RunFile(name);
    }
}

void TForm1::BitBtn1Click() {
    if (scanning_)
        return;
    const QString parent = FolderPart(FolderPart(WithSlash(CurrentFolder())));
    if (!parent.isEmpty())
        FDirCombo->openPath(parent);
}

void TForm1::BitBtn3Click() {
    const QString help = HelpFile();
    if (help.isEmpty())
        return;
    const QStringList command = platform::UrlHandlerCommand(help);
    if (const int error = platform::StartProcess(command); error != 0)
        platform::ShowMessageBox({QStringLiteral("Pagewick - Tarnvale の情報"),
                                  QStringLiteral("Exec Error %1\r\n%2")
                                      .arg(error)
                                      .arg(platform::CommandLineText(command)),
                                  QMessageBox::Ok, QMessageBox::Information, true, this});
}

void TForm1::BitBtn4Click() {
    if (scanning_) {
        // The running scan ends at its next entry; the window closes as it returns.
        closeRequested_ = true;
        cancelScan_ = true;
        return;
    }
    close();
}

void TForm1::RunFile(const QString& path) {
    const StartPlan plan = PlanFor(path);
    if (plan.command.isEmpty()) {
        Inform(plan.message);
        return;
    }
    if (const int error = platform::StartProcess(plan.command, plan.workingFolder); error != 0)
        Inform(QStringLiteral("Exec Error %1\r\n%2")
                   .arg(error)
                   .arg(platform::CommandLineText(plan.command)));
}

void TForm1::Button2Click() {
    if (scanning_)
        return;
    const QString folder = CurrentFolder();
    if (folder.isEmpty() || folder.toLower() == QLatin1String("drives"))
        return;
    const QString proposed = WithSlash(folder) +
                             QFileInfo(platform::ExecutablePath()).completeBaseName() +
                             QStringLiteral(".txt");
    const auto choice = SetSaveDialogHandler({}); // read the hook without keeping it out
    SetSaveDialogHandler(choice);
    const std::optional<SaveChoice> chosen =
        choice ? choice(this, QStringLiteral("ファイル一覧の保存"), proposed)
               : RunSaveDialogForList(this, QStringLiteral("ファイル一覧の保存"), proposed);
    if (!chosen)
        return;
    platform::WaitCursor hourglass;
    try {
        WriteFileSafely(platform::PathToBytes(chosen->path),
                        BuildSavedList(FileNameForDisplay(platform::PathToBytes(folder)), rows_,
                                       chosen->encoding));
    } catch (const EPagewickError& e) {
        platform::ShowErrorBox(QString::fromUtf8(e.what()), this);
    }
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
