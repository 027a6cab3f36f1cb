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

class DetailsPane;
class FolderChooser;
class FolderListModel;
class QCheckBox;
class QComboBox;
class QLabel;
class QLayout;
class QLineEdit;
class QPushButton;
class QStackedLayout;
class QToolButton;
class QTreeView;

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
    void closeEvent(QCloseEvent* event) override;
    void reject() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Building.
    void createControls();
    QLayout* createLocationRow();
    QLayout* createFilterRow();
    QWidget* createPasswordCaption();
    QLayout* createNameRow();
    void createFileList();
    void connectControls();
    void orderTabs();

    // What the user does.
    void folderChosen(const QString& path);
    void filterChosen();
    void passwordChanged();
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
    // The hidden key chord that shows and hides the lenient-password option; true when the
    // key press was it.
    bool toggleLenientOption(QKeyEvent* event);

    // What the listing does.
    void listFolder(const QString& path);
    void listingStarted(bool quiet);
    // The filter and the password, which a listing the user asked for reads, wait for it.
    void setInputsEnabled(bool enabled);
    void listingProgressed(int done, int total);
    void listingFinished(bool quiet, FolderLoader::Outcome outcome);
    void volumeRemoved();

    // True while a listing the user asked for runs: the list is being filled.
    bool listing() const;
    ScanSettings currentSettings() const;
    // The highlighted row, when it is selected; else -1.
    int highlightedRow() const;
    // Highlights and selects the row, scrolling it into view.
    void highlightRow(int row);
    void showSortIndicator();
    void selectPendingEntry();
    // The chooser's field shows the listed folder's whole path.
    void showListedPath(QString path);
    // A modal error box, unless one is open already.
    void showOneBox(const QString& text);
    QString helpPage() const;

    QToolButton* exitButton_ = nullptr;
    FolderChooser* folderChooser_ = nullptr;
    QToolButton* upButton_ = nullptr;
    QToolButton* helpButton_ = nullptr;
    QTreeView* fileList_ = nullptr;
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

    FolderListModel* model_ = nullptr;
    FolderLoader* loader_ = nullptr;
    QString startFolder_;
    bool shownOnce_ = false;
    bool startPending_ = true; // no listing was asked for yet
    bool listedOnce_ = false;  // a listing asked for has been done
    QString pendingEntry_;     // selectEntry's, until the listing is done
    bool boxOpen_ = false;
    std::unique_ptr<platform::WaitCursor> hourglass_;
};
