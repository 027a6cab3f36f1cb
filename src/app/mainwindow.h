// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The main window: the file list of one folder with the document properties of its PDF files,
// the folder chooser, the file-type filter, the password and the buttons. It wires the
// controls to the list model (which loads, owns and orders the rows) and to the plain
// functions of the list logic; it reads no folder and sorts no row itself.

#include "app/folderloader.h"
#include "app/listrows.h"

#include <QDialog>
#include <QString>

#include <memory>
#include <set>
#include <vector>

class DetailsPane;
class FileListView;
class FolderChooser;
class FolderListModel;
class RowFilterModel;
class QCheckBox;
class QComboBox;
class QLabel;
class QLayout;
class QLineEdit;
class QPushButton;
class QSplitter;
class QStackedLayout;
class QToolButton;

namespace platform {
class WaitCursor;
}

class MainWindow : public QDialog {
    Q_OBJECT
public:
    // Builds the window; it lists startFolder (empty: the process's current folder) once it
    // shows.
    explicit MainWindow(const QString& startFolder = {}, QWidget* parent = nullptr);
    ~MainWindow() override;

    // The folder listed now (the chooser's), "Drives" for the list of drives.
    QString currentFolder() const;
    // Selects the row of the listed folder's entry name (its bytes, as PathFromBytes carries
    // them) as a click would, once the listing under way is done; the file-type filter is
    // widened to every file when the present one hides it (which lists the folder again). An
    // entry that is not listed selects nothing.
    void selectEntry(const QString& name);

protected:
    void showEvent(QShowEvent* event) override;
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Building.
    void createControls();
    QLayout* createLocationRow();
    QLayout* createSearchRow();
    QLayout* createFilterRow();
    QWidget* createPasswordCaption();
    QLayout* createNameRow();
    QLayout* createStatusRow();
    void createFileList();
    void connectControls();
    void orderTabs();
    void openStartFolder();

    // What the user does.
    void folderChosen(const QString& path);
    void locationTyped(const QString& text);
    void filterChosen();
    // Enter in the password field: the password joins those of this run, and the folder is
    // read again with them.
    void applyPassword();
    void searchChanged(const QString& text);
    void showHighlightedName();
    void openHighlighted();
    void openSelected();
    void goUp();
    void refresh();
    void showHelp();
    void saveList();
    void headerClicked(int section);
    // The details pane shows the highlighted PDF; the window grows by the pane's width (or, at
    // its largest, the list gives it up), so the list keeps its width.
    void showDetailsPane(bool show);
    void showHighlightedDetails();
    void showRowMenu(const QPoint& at);
    void copySelectedRows();
    void copySelectedPaths();
    void copyCell(const QModelIndex& index);
    void openFolderOfRow(int row);
    void resetView();
    // The hidden key chord that shows and hides the lenient-password option; true when the
    // key press was it.
    bool toggleLenientOption(QKeyEvent* event);

    // What the listing does. A listing the user asked for (a folder entered, typed, refreshed
    // or started on) tells the files it could not read in a box, once a folder and run; one
    // for another file type or password only marks them.
    enum class Told { Failures, Nothing };
    void listFolder(const QString& path, Told told = Told::Failures);
    // An optional column shown (or sorted by) needs what a listing without the documents'
    // features did not read: the folder is read again with them.
    void readFeaturesWhenShown();
    void listingStarted(bool quiet);
    // The filter and the password, which a listing the user asked for reads, wait for it.
    void setInputsEnabled(bool enabled);
    void listingProgressed(int done, int total);
    void listingFinished(bool quiet, FolderLoader::Outcome outcome);
    void volumeRemoved();

    // True while a listing the user asked for runs: the list is being filled.
    bool listing() const;
    ScanSettings currentSettings() const;
    // The highlighted row (of those shown), when it is selected; else -1.
    int highlightedRow() const;
    // The selected rows, in the list's order.
    std::vector<const ListRow*> selectedRows() const;
    // The path of a row's entry.
    QString pathOf(const ListRow& row) const;
    // The search's count and the status line, for the rows shown now.
    void showCounts();
    // Highlights and selects the row, scrolling it into view.
    void highlightRow(int row);
    void showSortIndicator();
    void selectPendingEntry();
    // The chooser's field shows the listed folder's whole path.
    void showListedPath(QString path);
    // A modal error box, unless one is open already.
    void showOneBox(const QString& text);
    // The list's columns, widths and order, the sort order and the geometry, as last kept; at
    // the first start the window is sized for the columns once the first folder is listed.
    void restoreView();
    void keepView() const;
    void fitFirstStart();

    QToolButton* exitButton_ = nullptr;
    FolderChooser* folderChooser_ = nullptr;
    QToolButton* upButton_ = nullptr;
    QToolButton* helpButton_ = nullptr;
    QLineEdit* searchField_ = nullptr;
    QLabel* searchCount_ = nullptr;
    FileListView* fileList_ = nullptr;
    QSplitter* listSplitter_ = nullptr; // the list, and room for a pane at its right
    QComboBox* typeFilter_ = nullptr;
    QLabel* passwordLabel_ = nullptr;
    QCheckBox* lenientCheck_ = nullptr;
    QStackedLayout* passwordCaption_ = nullptr; // the label, or the check box over it
    QLineEdit* passwordField_ = nullptr;
    QToolButton* refreshButton_ = nullptr;
    QPushButton* saveListButton_ = nullptr;
    QLineEdit* nameField_ = nullptr;
    QLabel* scanProgress_ = nullptr; // over the name field while a listing runs
    QPushButton* openButton_ = nullptr;
    QToolButton* detailsButton_ = nullptr;
    DetailsPane* detailsPane_ = nullptr;
    int paneGrewBy_ = 0; // how much wider the window became for the pane
    QLabel* statusLine_ = nullptr;

    FolderListModel* model_ = nullptr;
    RowFilterModel* shown_ = nullptr; // the rows the search finds: what the list shows
    FolderLoader* loader_ = nullptr;
    QString startFolder_;
    bool shownOnce_ = false;
    bool startPending_ = true; // no listing was asked for yet
    bool startOpened_ = false; // the start folder's opening came (done unless one was chosen)
    bool listedOnce_ = false;  // a listing asked for has been done
    QString pendingEntry_;     // selectEntry's, until the listing is done
    bool boxOpen_ = false;
    Told told_ = Told::Failures;     // of the listing under way
    std::set<QString> failuresTold_; // folders whose unreadable files were told this run
    // Every password typed this run, in the order typed; kept in memory only.
    std::vector<QString> passwords_;
    bool firstStart_ = false; // nothing kept from an earlier run: sized for the first folder
    std::unique_ptr<platform::WaitCursor> hourglass_;
};
