// SPDX-License-Identifier: GPL-3.0-or-later
// What the user does with the list: highlighting, opening, going up, refreshing, help, sorting
// and saving.

#include "app/mainwindow.h"

#include "app/detailspane.h"
#include "app/fileopener.h"
#include "app/folderlistmodel.h"
#include "app/helppage.h"
#include "app/qtpaths.h"
#include "app/savedialog.h"
#include "app/sorting.h"
#include "common/errors.h"
#include "dirchooser/folderchooser.h"
#include "jtext/filename.h"
#include "platform/platform.h"

#include <QComboBox>
#include <QFileInfo>
#include <QHeaderView>
#include <QLineEdit>
#include <QSplitter>
#include <QToolButton>
#include <QTreeView>

QString MainWindow::helpPage() const {
    for (const QString& page : HelpPageCandidates(platform::ExecutablePath()))
        if (platform::FindAssociatedProgram(page))
            return page;
    return {};
}

int MainWindow::highlightedRow() const {
    const QItemSelectionModel* selection = fileList_->selectionModel();
    const QModelIndex current = fileList_->currentIndex();
    if (current.isValid() && selection->isSelected(current.siblingAtColumn(0)))
        return current.row();
    const QModelIndexList selected = selection->selectedRows();
    return selected.isEmpty() ? -1 : selected.first().row();
}

void MainWindow::highlightRow(int row) {
    const QModelIndex index = model_->index(row, 0);
    fileList_->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                            QItemSelectionModel::Rows);
    fileList_->scrollTo(index);
}

void MainWindow::showSortIndicator() {
    const int column = model_->sortColumn();
    fileList_->header()->setSortIndicator(std::abs(column) - 1,
                                          column > 0 ? Qt::AscendingOrder : Qt::DescendingOrder);
}

void MainWindow::headerClicked(int section) {
    // The header has moved its indicator by itself; it shows the list's order again.
    if (!listing()) {
        model_->setSortColumn(SortColumnAfterClick(model_->sortColumn(), section));
        // The highlighted row stays highlighted at its new place.
        if (highlightedRow() >= 0)
            fileList_->scrollTo(fileList_->currentIndex());
    }
    showSortIndicator();
}

void MainWindow::showHighlightedName() {
    if (listing())
        return;
    const ListRow* row = model_->rowAt(highlightedRow());
    if (!row)
        return;
    if (row->isFolder && row->caption == "..")
        nameField_->clear();
    else
        nameField_->setText(QString::fromStdString(row->caption));
}

void MainWindow::showHighlightedDetails() {
    const ListRow* row = listing() ? nullptr : model_->rowAt(highlightedRow());
    if (!row || row->isFolder || !IsPdfName(row->caption)) {
        detailsPane_->showFile(QString());
        return;
    }
    detailsPane_->showFile(platform::PathFromBytes(
        platform::PathToBytes(WithSlash(currentFolder())) + row->nameBytes));
}

void MainWindow::showDetailsPane(bool show) {
    if (show == detailsPane_->isVisible())
        return;
    constexpr int kPaneWidth = 300;
    auto* splitter = static_cast<QSplitter*>(detailsPane_->parentWidget());
    const bool grows = !(windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen));
    if (show) {
        showHighlightedDetails();
        detailsPane_->show();
        // The list alone stretches, so the room the window grows by goes back to it.
        splitter->setSizes({splitter->width() - kPaneWidth - splitter->handleWidth(), kPaneWidth});
        if (grows)
            resize(width() + kPaneWidth + splitter->handleWidth(), height());
    } else {
        const int paneWidth = detailsPane_->width() + splitter->handleWidth();
        detailsPane_->hide();
        if (grows)
            resize(std::max(minimumWidth(), width() - paneWidth), height());
    }
    detailsButton_->setChecked(show);
}

void MainWindow::selectEntry(const QString& name) {
    pendingEntry_ = name;
    if (listedOnce_ && !listing())
        selectPendingEntry();
}

void MainWindow::selectPendingEntry() {
    const int row = model_->rowOfFile(platform::PathToBytes(pendingEntry_));
    const int everyFile = typeFilter_->count() - 1;
    if (row < 0 && typeFilter_->currentIndex() != everyFile) {
        // The filter hides it: every file is listed, and the entry chosen in that list.
        typeFilter_->setCurrentIndex(everyFile);
        listFolder(currentFolder());
        return;
    }
    pendingEntry_.clear();
    if (row < 0)
        return;
    highlightRow(row);
    showHighlightedName();
}

void MainWindow::openHighlighted() {
    if (listing())
        return;
    const ListRow* row = model_->rowAt(highlightedRow());
    if (!row)
        return;
    const QString folder = WithSlash(currentFolder());
    // The row's bytes name the file; its caption only shows them.
    const QString entry = platform::PathFromBytes(platform::PathToBytes(folder) + row->nameBytes);
    if (row->isFolder && row->caption == "..") {
        folderChooser_->openPath(FolderPart(FolderPart(folder)));
    } else if (row->isFolder) {
        folderChooser_->openPath(entry);
        nameField_->clear();
    } else {
        OpenFile(entry);
    }
}

void MainWindow::openSelected() {
    if (listing())
        return;
    QString name = Trimmed(nameField_->text());
    if (name.isEmpty()) {
        openHighlighted();
        return;
    }
    if (!name.contains(QLatin1Char('/')))
        name = WithSlash(currentFolder()) + name;
    // The field shows the highlighted row's name, which names the file only when its bytes are
    // UTF-8; otherwise the row's own bytes do.
    if (const ListRow* row = model_->rowAt(highlightedRow());
        row && row->caption != row->nameBytes &&
        nameField_->text() == QString::fromStdString(row->caption))
        name = platform::PathFromBytes(platform::PathToBytes(WithSlash(currentFolder())) +
                                       row->nameBytes);
    const auto attributes = platform::FileAttributes(name);
    if (!attributes || (*attributes & (platform::faDirectory | platform::faVolumeID))) {
        // A name that no longer exists is handed to the chooser too, which ignores it.
        folderChooser_->openPath(name);
        nameField_->clear();
    } else {
        OpenFile(name);
    }
}

void MainWindow::goUp() {
    if (listing())
        return;
    const QString parent = FolderPart(FolderPart(WithSlash(currentFolder())));
    if (!parent.isEmpty())
        folderChooser_->openPath(parent);
}

void MainWindow::refresh() {
    if (listing())
        return;
    const QString target =
        loader_->volumeGone(currentFolder()) ? platform::FallbackFolder() : currentFolder();
    folderChooser_->rebuildTree();
    folderChooser_->openPath(target);
}

void MainWindow::showHelp() {
    const QString page = helpPage();
    if (page.isEmpty())
        return;
    const QStringList command = platform::UrlHandlerCommand(page);
    if (const int error = platform::StartProcess(command); error != 0)
        platform::ShowMessageBox({QStringLiteral("Pagewick - Tarnvale の情報"),
                                  QStringLiteral("Exec Error %1\r\n%2")
                                      .arg(error)
                                      .arg(platform::CommandLineText(command)),
                                  QMessageBox::Ok, QMessageBox::Information, true, this});
}

void MainWindow::saveList() {
    if (listing())
        return;
    const QString folder = currentFolder();
    if (folder.isEmpty() || IsDriveList(folder))
        return;
    const QString proposed = WithSlash(folder) +
                             QFileInfo(platform::ExecutablePath()).completeBaseName() +
                             QStringLiteral(".txt");
    const std::optional<SaveChoice> chosen =
        ChooseListFile(this, QStringLiteral("ファイル一覧の保存"), proposed);
    if (!chosen)
        return;
    platform::WaitCursor hourglass;
    try {
        WriteFileSafely(platform::PathToBytes(chosen->path),
                        BuildSavedList(FileNameForDisplay(platform::PathToBytes(folder)),
                                       model_->rows(), chosen->encoding));
    } catch (const EPagewickError& e) {
        platform::ShowErrorBox(QString::fromUtf8(e.what()), this);
    }
}
