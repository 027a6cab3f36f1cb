// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The folder chooser: a one-line, read-only field showing the current folder's small icon and
// caption, with a drop-down button at its right end that opens a TDirTreeView of drives and
// folders. Committing a node reports its path through OnPathChange. Volumes coming and going
// and folders being created, removed or renamed rebuild the tree and re-open the folder.

#include "dirchooser/DirCaptions.h"
#include "dirchooser/DirImageList.h"

#include <QLineEdit>
#include <QPixmap>
#include <QPointer>
#include <QToolButton>

#include <functional>

class QTreeWidgetItem;
class TDirTreeView;

namespace platform {
class FolderWatcher;
class MountWatcher;
} // namespace platform

// Sender, then the folder's path ("Drives" for the list of drives).
using TPathChangeEvent = std::function<void(QObject* Sender, QString SelectedPath)>;

// A file list the chooser can keep in step with its folder. Optional; not owned.
class TDirFileList {
public:
    virtual ~TDirFileList() = default;
    virtual void SetDirectory(const QString& path) = 0;
    virtual void Refresh() = 0;
};

// The drop-down button. A right click does nothing at all (no context menu).
class TDirTreeButton : public QToolButton {
    Q_OBJECT
public:
    explicit TDirTreeButton(QWidget* parent);

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
};

class TDirTreeCombo : public QLineEdit {
    Q_OBJECT
public:
    static constexpr int kButtonWidth = 17;
    static constexpr int kIconMargin = 23;

    explicit TDirTreeCombo(QWidget* parent = nullptr);
    ~TDirTreeCombo() override;

    TDirTreeButton* Btn = nullptr;
    TDirTreeView* Tree = nullptr;

    // While false the tree cannot be opened, OpenPath, Enter and F5 do nothing, no path change
    // is reported and change notifications wait; the owner writes it directly around a folder
    // scan.
    bool FDropEnabled = true;
    TPathChangeEvent OnPathChange;

    // Selects folder path in the tree, shows it and reports it with a trailing "/". Ignored for
    // an empty, relative or one-character path (other than "/"), a path that is not an existing
    // folder, and while FDropEnabled is false.
    void OpenPath(const QString& path);
    // Clears the tree and loads the volumes again; reports nothing.
    void RebuildTree();
    // Opens the tree below (or above) the field, or closes it when it is open.
    void DropDown();

    // The field shows a node's caption or a folder's path; a path is shown as the list shows
    // names, each of its folders' bytes that are not UTF-8 as FileNameForDisplay shows them
    // (taken over QLineEdit's own, which would show them as replacement marks).
    void setText(const QString& text);

    QString SelectedPath() const;
    void SetSelectedPath(const QString& path);
    TDirFileList* FileList() const { return fileList_; }
    void SetFileList(TDirFileList* fileList);
    bool ExpandRoot() const;
    void SetExpandRoot(bool expand);
    bool HideSelection() const { return hideSelection_; }
    void SetHideSelection(bool hide);
    QString About() const { return about_; }
    void SetAbout(const QString&) {}
    TLanguage Language() const { return language_; }
    void SetLanguage(TLanguage language);
    QPixmap Glyph() const { return glyph_; }
    void SetGlyph(const QPixmap& glyph);
    int TreeHeight() const { return treeHeight_; }
    void SetTreeHeight(int height);
    QString Hint() const { return toolTip(); }
    void SetHint(const QString& hint) { setToolTip(hint); }
    bool ShowHint() const { return showHint_; }
    void SetShowHint(bool show) { showHint_ = show; }

    QTreeWidgetItem* SelectedNode() const;
    void SetSelectedNode(QTreeWidgetItem* node);
    // Index of the field's icon in Images(); negative for none.
    int ImageIndex() const { return FImageIndex; }
    void SetImageIndex(int index);
    TDirImageList& Images() { return FSysImages; }

    // The keyboard rules of the field and of the open tree; true when the key was one of them.
    bool KeyDown(QKeyEvent* event);
    // A change notification with the shell's event code (0x8 folder created, 0x10 removed,
    // 0x80 volume removed, 0x100 volume added, 0x20000 folder renamed; others are ignored).
    // While FDropEnabled is false it is taken up once FDropEnabled is true again.
    void ShellNotify(long eventCode);
    // True while ShellNotify opens the folder again after rebuilding the tree: the folder
    // itself did not change, so a listener may leave its contents as they are.
    bool Notifying() const { return notifying_; }
    // Calls OnPathChange when it is set, unless FDropEnabled is false.
    void FirePathChange(QObject* sender, const QString& path);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool event(QEvent* event) override;

private:
    void UpdateEditRect();
    void ShowNode(QTreeWidgetItem* node);
    void WatchFolder(const QString& folder);
    void ScheduleNotification(long eventCode);
    void EnterKey();
    void ArrowKey(int key);

    TDirImageList FSysImages;
    int FImageIndex = -1;
    TDirFileList* fileList_ = nullptr;
    QMetaObject::Connection fileListGone_;
    QString about_ = QStringLiteral("Version 2.8.8.3");
    TLanguage language_ = lnSysDefault;
    QPixmap glyph_;
    int treeHeight_ = 240;
    bool hideSelection_ = true;
    bool showHint_ = false;
    bool constructing_ = true;
    bool notifying_ = false;
    bool notificationPending_ = false;
    long pendingCode_ = 0;
    platform::MountWatcher* mountWatcher_ = nullptr;
    platform::FolderWatcher* folderWatcher_ = nullptr;
};
