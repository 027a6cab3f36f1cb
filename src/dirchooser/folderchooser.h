// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The folder chooser: a one-line field showing the current folder's small icon and caption,
// with a drop-down button at its right end that opens a FolderTree of the user's folders,
// drives and folders. Committing a node reports its path through pathChanged. A path may be
// typed or pasted into the field too, with the names of folders completed as it is typed;
// Enter reports it through pathTyped and Esc shows the folder again. Volumes coming and going
// and folders being created, removed or renamed rebuild the tree and re-open the folder.

#include "dirchooser/nodeicons.h"

#include <QElapsedTimer>
#include <QLineEdit>

class FolderTree;
class QCompleter;
class QStringListModel;
class QToolButton;
class QTreeWidgetItem;

namespace platform {
class FolderWatcher;
class MountWatcher;
} // namespace platform

class FolderChooser : public QLineEdit {
    Q_OBJECT
public:
    static constexpr int kButtonWidth = 17;
    static constexpr int kIconMargin = 23;
    static constexpr int kTreeHeight = 240;

    explicit FolderChooser(QWidget* parent = nullptr);
    ~FolderChooser() override;

    FolderTree* tree() const { return tree_; }

    // Selects folder path in the tree, shows it and reports it with a trailing "/". Ignored for
    // an empty, relative or one-character path (other than "/") and a path that is not an
    // existing folder. A folder on a share that does not answer in time is opened when it
    // answers, within half a minute, unless another folder is chosen first.
    void openPath(const QString& path);
    // Clears the tree and loads the volumes again; reports nothing.
    void rebuildTree();
    // Opens the tree below (or above) the field, or closes it when it is open.
    void dropDown();

    // The field shows a node's caption or a folder's path; a path is shown as the list shows
    // names, each of its folders' bytes that are not UTF-8 as FileNameForDisplay shows them
    // (QLineEdit's own setText would show them as replacement marks).
    void showText(const QString& text);

    // Whether the field holds text the user typed (since the folder was last shown).
    bool editing() const { return editing_; }

    // The folder chosen last ("Drives" for the list of drives). Writing it moves neither the
    // tree's selection nor reports anything.
    QString selectedPath() const;
    void setSelectedPath(const QString& path);
    QTreeWidgetItem* selectedNode() const;
    void setSelectedNode(QTreeWidgetItem* node);
    // Index of the field's icon in icons(); negative for none.
    int imageIndex() const { return imageIndex_; }
    void setImageIndex(int index);
    const NodeIcons& icons() const { return icons_; }

    // A change notification with the shell's event code (0x8 folder created, 0x10 removed,
    // 0x80 volume removed, 0x100 volume added, 0x20000 folder renamed; others are ignored):
    // the tree is rebuilt and the chosen folder opened again.
    void notifyChange(long eventCode);
    // True while notifyChange opens the folder again after rebuilding the tree: the folder
    // itself did not change, so a listener may leave its contents as they are.
    bool reopening() const { return reopening_; }

signals:
    // The folder's path ("Drives" for the list of drives).
    void pathChanged(const QString& path);
    // Enter on text the user typed or pasted into the field, as it stands there.
    void pathTyped(const QString& text);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The keyboard rules of the field and of the open tree; true when the key was one of them.
    bool handleKey(QKeyEvent* event);
    void updateEditRect();
    void showNode(QTreeWidgetItem* node);
    void awaitFolder(const QString& path);
    void scheduleNotification(long eventCode);
    void nodeCommitted();
    void enterKey();
    void arrowKey(int key);
    // The folder names the completer offers for the text typed so far.
    void completeFolders(const QString& typed);

    NodeIcons icons_;
    QToolButton* button_ = nullptr;
    FolderTree* tree_ = nullptr;
    int imageIndex_ = -1;
    bool showHint_ = false; // the tooltip shows only while the tree is closed
    bool editing_ = false;
    QString shownText_; // what showText put in the field last
    QCompleter* completer_ = nullptr;
    QStringListModel* completions_ = nullptr;
    QString completedFolder_; // whose subfolders completions_ holds
    bool reopening_ = false;
    QString awaitedPath_; // asked of a share that has not answered yet
    QElapsedTimer awaitingSince_;
    bool notificationPending_ = false;
    long pendingCode_ = 0;
    platform::MountWatcher* mountWatcher_ = nullptr;
    platform::FolderWatcher* folderWatcher_ = nullptr;
};
