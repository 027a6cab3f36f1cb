// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The main window: the file list of one folder with the document properties of its PDF
// files, the folder chooser, the file-type filter, the password and the buttons.

#include "app/listrows.h"
#include "app/savedlist.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QList>
#include <QRect>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QFileSystemWatcher;
class QTimer;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;
class QTreeView;
class ListRowModel;
class FolderChooser;
class FileIconCache;

namespace platform {
class MountWatcher;
}

// What the user chose in the save dialog.
struct SaveChoice {
    QString path;
    ListEncoding encoding = ListEncoding::Cp932;
};
// The dialog itself: given the title, the proposed path and the filters, the choice or nothing
// when the user cancelled. Tests answer through this seam.
using SaveDialogHandler = std::function<std::optional<SaveChoice>(
    QWidget* owner, const QString& title, const QString& proposedPath)>;
SaveDialogHandler SetSaveDialogHandler(SaveDialogHandler handler);
// The save dialog of the list, with its three filters.
std::optional<SaveChoice> RunSaveDialogForList(QWidget* owner, const QString& title,
                                               const QString& proposedPath);

class TForm1 : public QDialog {
    Q_OBJECT
public:
    // Builds the window and lists the process's current folder, or startFolder when given.
    explicit TForm1(QWidget* parent = nullptr);
    explicit TForm1(const QString& startFolder, QWidget* parent = nullptr);
    ~TForm1() override;

    // The controls, by the names the rest of the program knows them by.
    QToolButton* BitBtn1; // up one folder
    QToolButton* BitBtn2; // refresh
    QToolButton* BitBtn3; // help
    QToolButton* BitBtn4; // exit
    QPushButton* Button1; // open
    QPushButton* Button2; // save the list
    QTreeView* ListView1; // the file list, a view of Model()
    QComboBox* ComboBox1; // file type
    QCheckBox* CheckBox1; // the lenient-password option, hidden until the key chord
    QLineEdit* MaskEdit1; // password
    QLineEdit* Edit1;     // name of the selected row
    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QLabel* Label4;
    QLabel* Label5;
    QLabel* ScanProgress; // "読み込み中 n / total" over the name field while a scan runs
    FileIconCache* FIconCache = nullptr;
    FolderChooser* FDirCombo = nullptr;

    int32_t FSortColumn = 1;
    int32_t FFolderImageIndex = 0;
    bool FReady = false;
    std::string FFileMask = "*.pdf";

    // True once the first folder has been listed and while no scan runs.
    bool Idle() const { return !startPending_ && !scanning_; }
    // How many scans have run, quiet ones included.
    int ScansRun() const { return scansRun_; }

    // The rows as the list shows them, in the list's order.
    const std::vector<ListRow>& Rows() const { return rows_; }
    // What the list shows of Rows().
    const ListRowModel* Model() const { return model_; }
    // The folder listed now (the chooser's selected path).
    QString CurrentFolder() const;

    void PathChanged(QObject* sender, const QString& newPath);
    void ComboBox1Change();
    void BitBtn2Click();
    // A volume went away (the mount table changed).
    void DeviceRemoved();
    void ListView1ColumnClick(int column);
    void ListView1Click();
    void ListView1DblClick();
    void Button1Click();
    void BitBtn1Click();
    void BitBtn3Click();
    void BitBtn4Click();
    void Button2Click();
    void RunFile(const QString& path);
    void MaskEdit1Change();
    // Selects the row of the listed folder's entry name (its bytes, as PathFromBytes carries
    // them) as a click would, widening the file-type filter to every file when the present one
    // hides it; false when it is not listed.
    bool SelectEntry(const QString& name);
    // The hidden key chord; true when the key press was it.
    bool FormShortCut(QKeyEvent* event);

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void CreateControls();
    // Places the controls for the window's size: as designed at the design size.
    void LayoutControls();
    void PlaceCheckBox();
    // The highlighted row, when it is selected; else -1.
    int CurrentRow() const;
    // Highlights and selects the row, scrolling it into view.
    void HighlightRow(int row);
    void FormCreate();
    void FormShow();
    void SortList();
    void ShowSortIndicator();
    int SelectedIndex() const;
    QString HelpFile() const;
    bool ListedVolumeGone() const;

    void ShowPendingItems();
    // The chooser's field shows the listed folder's whole path.
    void ShowListedPath(QString path);
    // A modal error box, unless one is open already.
    void ShowOneBox(const QString& text);
    static int CountEntries(const QString& folder);
    void StartProgress(const QString& folder, bool visible);
    void ShowProgress();
    void EndProgress();
    void WatchListedFolder(const QString& folder);
    void ListedFolderChanged();
    // Reads the listed folder again, keeping what the user sees and showing no box.
    void QuietRescan();
    ScanSettings CurrentScanSettings() const;
    // Fills rows_ with folder's entries, showing them in batches as they come.
    void ScanList(const QString& folder);

    struct ControlAnchor {
        QWidget* widget;
        QRect design; // at the design size
        bool widen, moveRight, moveDown, heighten;
    };
    std::vector<ControlAnchor> anchors_;
    // Set while the list's items are taken out and put back, which moves the current item.
    bool rearranging_ = false;

    std::vector<ListRow> rows_;
    // The list shows the first rows of rows_ (model_->Shown()). A running scan shows the rows
    // it finds in batches, a few times a second: painting the list after every file costs
    // more than reading it, and a folder listed within the first batch is shown once, sorted.
    ListRowModel* model_ = nullptr;
    QElapsedTimer sinceItemsShown_;
    std::vector<ReadFailure> failures_; // of the scan running or last run
    QString listedVolume_;              // mount point of the volume the last scan listed
    bool scanning_ = false;
    bool closeRequested_ = false;
    bool shownOnce_ = false;
    bool startPending_ = true;
    QString startFolder_;                // empty: the current folder
    std::optional<QString> pendingPath_; // a folder chosen while a scan ran: listed next
    int scansRun_ = 0;
    bool boxOpen_ = false;
    // Progress of the running scan.
    int progressDone_ = 0;
    int progressTotal_ = 0;
    bool showProgress_ = false;
    QElapsedTimer progressShown_;
    // Quiet re-scans: the listed folder is watched, and its changes read again at most once a
    // second, keeping the highlighted row, the name field and the scroll position.
    QFileSystemWatcher* listWatcher_ = nullptr;
    QTimer* quietTimer_ = nullptr;
    QElapsedTimer sinceQuietScan_;
    bool quietScan_ = false;
    bool cancelScan_ = false; // the running scan is to end at its next entry
    QString listedFolder_;
    platform::MountWatcher* mountWatcher_ = nullptr;
};

// The text of the box that lists the files the reader failed on in one scan.
QString FailedFilesMessage(const std::vector<ReadFailure>& failures);
