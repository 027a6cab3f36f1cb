// SPDX-License-Identifier: GPL-3.0-or-later
// What the user does with the list: highlighting, opening, going up, refreshing, help, sorting,
// the rows' context menu, copying and saving.

#include "app/mainwindow.h"

#include "app/detailspane.h"
#include "app/filelistview.h"
#include "app/fileopener.h"
#include "app/folderlistmodel.h"
#include "app/helppage.h"
#include "app/qtpaths.h"
#include "app/rowfiltermodel.h"
#include "app/savedialog.h"
#include "app/shownrows.h"
#include "app/sorting.h"
#include "common/errors.h"
#include "dirchooser/folderchooser.h"
#include "jtext/filename.h"
#include "platform/platform.h"

#include <QClipboard>
#include <QComboBox>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QScreen>
#include <QSplitter>
#include <QToolButton>
#include <QTreeView>

#include <algorithm>

namespace {

const QString kHelpCaption = QStringLiteral("Pagewick - Tarnvale の情報");

void Inform(QWidget* owner, const QString& caption, const QString& text) {
    platform::ShowMessageBox(
        {caption, text, QMessageBox::Ok, QMessageBox::Information, true, owner});
}

} // namespace

int MainWindow::highlightedRow() const {
    const QItemSelectionModel* selection = fileList_->selectionModel();
    const QModelIndex current = fileList_->currentIndex();
    if (current.isValid() && selection->isSelected(current.siblingAtColumn(0)))
        return current.row();
    const QModelIndexList selected = selection->selectedRows();
    return selected.isEmpty() ? -1 : selected.first().row();
}

std::vector<const ListRow*> MainWindow::selectedRows() const {
    QModelIndexList selected = fileList_->selectionModel()->selectedRows();
    std::sort(selected.begin(), selected.end(),
              [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    std::vector<const ListRow*> rows;
    for (const QModelIndex& index : selected)
        if (const ListRow* row = shown_->rowAt(index.row()))
            rows.push_back(row);
    return rows;
}

QString MainWindow::pathOf(const ListRow& row) const {
    const QString folder = WithSlash(currentFolder());
    // The row's bytes name the file; its caption only shows them.
    return platform::PathFromBytes(platform::PathToBytes(folder) + row.nameBytes);
}

void MainWindow::highlightRow(int row) {
    const QModelIndex index = shown_->index(row, 0);
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
    const ListRow* row = shown_->rowAt(highlightedRow());
    if (!row)
        return;
    if (row->isFolder && row->caption == "..")
        nameField_->clear();
    else
        nameField_->setText(InertShown(row->caption)); // a name cannot disguise itself here
}

void MainWindow::showHighlightedDetails() {
    const ListRow* row = listing() ? nullptr : shown_->rowAt(highlightedRow());
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
    QSplitter* splitter = listSplitter_;
    const bool grows = !(windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen));
    if (show) {
        showHighlightedDetails();
        detailsPane_->show();
        // The list alone stretches, so the room the window grows by goes back to it.
        splitter->setSizes({splitter->width() - kPaneWidth - splitter->handleWidth(), kPaneWidth});
        if (grows) {
            // The window grows into the room its screen has, rightwards and then leftwards;
            // what the screen cannot give, the list gives up.
            int grow = kPaneWidth + splitter->handleWidth();
            if (const QScreen* own = screen()) {
                const QRect room = own->availableGeometry(), frame = frameGeometry();
                grow = std::clamp(room.width() - frame.width(), 0, grow);
                if (const int past = frame.right() + grow - room.right(); past > 0)
                    move(x() - past, y());
            }
            paneGrewBy_ = grow;
            resize(width() + grow, height());
        }
    } else {
        detailsPane_->hide();
        if (grows)
            resize(std::max(minimumWidth(), width() - paneGrewBy_), height());
        paneGrewBy_ = 0;
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
        listFolder(currentFolder(), Told::Nothing);
        return;
    }
    pendingEntry_.clear();
    if (row < 0)
        return;
    if (shown_->placeOf(row) < 0)
        searchField_->clear(); // the search hides it
    highlightRow(shown_->placeOf(row));
    showHighlightedName();
}

void MainWindow::openHighlighted() {
    if (listing())
        return;
    const ListRow* row = shown_->rowAt(highlightedRow());
    if (!row)
        return;
    const QString folder = WithSlash(currentFolder());
    if (row->isFolder && row->caption == "..") {
        folderChooser_->openPath(FolderPart(FolderPart(folder)));
    } else if (row->isFolder) {
        folderChooser_->openPath(pathOf(*row));
        nameField_->clear();
    } else {
        OpenFile(pathOf(*row));
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
    // The field shows the highlighted row's name as the list shows it; the row's own bytes
    // name the file.
    if (const ListRow* row = shown_->rowAt(highlightedRow());
        row && nameField_->text() == InertShown(row->caption))
        name = pathOf(*row);
    // A share that does not answer in time leaves things as they are: the row is still
    // highlighted for another try.
    const auto answer = platform::FileInfoOfInTime(name);
    if (!answer)
        return;
    const std::optional<platform::FindData>& found = *answer;
    if (!found || (found->attr & (platform::faDirectory | platform::faVolumeID))) {
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
    // A password typed and not yet tried joins the others, as Enter would add it.
    if (const QString typed = passwordField_->text();
        !typed.isEmpty() &&
        std::find(passwords_.begin(), passwords_.end(), typed) == passwords_.end())
        passwords_.push_back(typed);
    const QString target =
        loader_->volumeGone(currentFolder()) ? platform::FallbackFolder() : currentFolder();
    folderChooser_->rebuildTree();
    folderChooser_->openPath(target);
}

void MainWindow::showHelp() {
    const HelpPage help = ChooseHelpPage(
        HelpPageCandidates(platform::ExecutablePath()),
        [](const QString& page) { return platform::FileAttributes(page).has_value(); },
        [](const QString& page) { return platform::FindAssociatedProgram(page).has_value(); });
    if (help.page.isEmpty()) {
        Inform(this, kHelpCaption,
               QStringLiteral("ヘルプのページ（%1）が見つかりません。")
                   .arg(QFileInfo(platform::ExecutablePath()).fileName() + QStringLiteral(".htm")));
        return;
    }
    if (!help.browser) {
        Inform(this, kHelpCaption,
               QStringLiteral("ヘルプのページを開くブラウザが見つかりません。"
                              "ブラウザで次のファイルを開いてください：\r\n") +
                   InertShown(platform::PathForDisplay(help.page)));
        return;
    }
    const QStringList command = platform::UrlHandlerCommand(help.page);
    if (const int error = platform::StartProcess(command); error != 0)
        Inform(this, kHelpCaption,
               QStringLiteral("Exec Error %1\r\n%2")
                   .arg(error)
                   .arg(InertShown(platform::CommandLineText(command))));
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
    // The rows as the list shows them: those the search finds, in their order.
    std::vector<ListRow> rows;
    for (const ListRow* row : shown_->shownRows())
        rows.push_back(*row);
    try {
        // The table for other programs has the columns shown, in their order; the list in code
        // page 932 is read back by programs that expect its own columns.
        std::vector<Column> columns;
        for (const int column : fileList_->shownColumns())
            columns.push_back(Column(column));
        WriteFileSafely(platform::PathToBytes(chosen->path),
                        chosen->encoding == ListEncoding::Utf8WithMark
                            ? BuildCsvTable(rows, columns)
                            : BuildSavedList(FileNameForDisplay(platform::PathToBytes(folder)),
                                             rows, chosen->encoding));
    } catch (const EPagewickError& e) {
        platform::ShowErrorBox(InertShown(std::string_view(e.what())), this);
    }
}

void MainWindow::showRowMenu(const QPoint& at) {
    if (listing())
        return;
    const QModelIndex cell = fileList_->indexAt(at);
    // A click on a row outside the selection selects it, as a file manager does.
    if (cell.isValid() && !fileList_->selectionModel()->isSelected(cell.siblingAtColumn(0)))
        highlightRow(cell.row());
    else if (cell.isValid())
        fileList_->selectionModel()->setCurrentIndex(cell, QItemSelectionModel::NoUpdate);
    const bool onRow = cell.isValid();
    QMenu menu(this);
    menu.setObjectName(QStringLiteral("rowMenu"));
    auto add = [&](const char* name, const QString& text, bool enabled, auto&& act) {
        QAction* action = menu.addAction(text);
        action->setObjectName(QLatin1String(name));
        action->setEnabled(enabled);
        connect(action, &QAction::triggered, this, act);
        return action;
    };
    add("openRow", QStringLiteral("開く"), onRow, [this] { openHighlighted(); });
    add("openFolder", QStringLiteral("フォルダを開く"), onRow,
        [this] { openFolderOfRow(highlightedRow()); });
    menu.addSeparator();
    const bool selected = !selectedRows().empty();
    add("copyPath", QStringLiteral("パスをコピー"), selected, [this] { copySelectedPaths(); });
    add("copyRows", QStringLiteral("行をコピー"), selected, [this] {
        copySelectedRows();
    })->setShortcut(QKeySequence::Copy);
    add("copyCell", QStringLiteral("セルをコピー"), onRow, [this, cell] { copyCell(cell); });
    menu.exec(fileList_->viewport()->mapToGlobal(at));
}

void MainWindow::copySelectedRows() {
    const std::vector<const ListRow*> rows = selectedRows();
    if (!rows.empty())
        QGuiApplication::clipboard()->setText(
            QString::fromStdString(RowsAsTabSeparated(rows, fileList_->shownColumns())));
}

void MainWindow::copySelectedPaths() {
    QStringList paths;
    for (const ListRow* row : selectedRows())
        paths << InertShown(platform::PathForDisplay(pathOf(*row)));
    if (!paths.isEmpty())
        QGuiApplication::clipboard()->setText(paths.join(QLatin1Char('\n')));
}

void MainWindow::copyCell(const QModelIndex& index) {
    if (const ListRow* row = shown_->rowAt(index.row())) {
        std::string scratch;
        const std::string_view text = ShownCell(*row, index.column(), scratch);
        QGuiApplication::clipboard()->setText(
            QString::fromUtf8(text.data(), qsizetype(text.size())));
    }
}

void MainWindow::openFolderOfRow(int row) {
    const ListRow* entry = shown_->rowAt(row);
    if (!entry)
        return;
    // A folder opens itself (".." the folder above); a file the folder that holds it.
    QString folder = WithSlash(currentFolder());
    if (entry->isFolder && entry->caption == "..")
        folder = FolderPart(FolderPart(folder));
    else if (entry->isFolder)
        folder = pathOf(*entry);
    const QStringList command = platform::UrlHandlerCommand(folder);
    if (const int error = platform::StartProcess(command); error != 0)
        Inform(this, windowTitle() + QStringLiteral("の情報"),
               QStringLiteral("Exec Error %1\r\n%2")
                   .arg(error)
                   .arg(InertShown(platform::CommandLineText(command))));
}
