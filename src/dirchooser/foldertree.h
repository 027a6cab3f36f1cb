// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The drop-down tree of the folder chooser: the user's own folders (ホーム, ドキュメント,
// デスクトップ) at the top, then a root for the list of drives ("コンピュータ", path "Drives")
// with one node per mounted volume; below those, loaded on first expansion, the folders, hidden
// ones only when the user asks for them (the tree's context menu). It floats as a popup window
// below (or above) the widget it belongs to; while open the selection follows the mouse over
// labels and a click on a label or icon commits the node.

#include <QString>
#include <QTreeWidget>

#include <cstdint>
#include <memory>

class NodeIcons;
struct MarkProbes;

// The pseudo-path of the root node.
inline const QString kDrivesPath = QStringLiteral("Drives");

// path with a trailing "/" (unless it already ends with one); an empty path stays empty.
QString WithTrailingSlash(const QString& path);

class FolderTree : public QTreeWidget {
    Q_OBJECT
public:
    // Where a point of the viewport lies relative to the nodes.
    enum class Hit { Nowhere, Indent, Button, Icon, Label, Right };
    enum class NodeKind { Root, Place, Volume, Folder };

    // A popup of owner's: it gives the focus back to owner when it closes.
    FolderTree(QWidget* owner, NodeIcons* icons);
    // Marks still being probed are left to their thread, which then posts nothing.
    ~FolderTree() override;

    // Deletes all nodes and builds the user's folders, the root and one node per volume.
    void loadDrives();
    // The path of node: "Drives" for the root, the mount point with "/" for a volume, a user
    // folder's own path, the folder's path without trailing "/" below, made of the folders'
    // names rather than their captions.
    QString pathOf(const QTreeWidgetItem* node) const;
    // Whether folders whose names begin with "." are listed; setting it lists the tree again.
    bool showsHidden() const { return showHidden_; }
    void setShowHidden(bool show);
    // Commits the selected node into selectedPath(); a removable or CD volume that is not
    // ready is refused with a warning and the previous path is selected again.
    void applySelection();
    // Selects and expands the nodes along path (which ends with "/"), stopping at the deepest
    // component found.
    void selectPath(const QString& path);
    // Closes the open tree and gives the focus back to the owner.
    void closeUp();
    // Opens the tree at its current geometry.
    void open();
    // The tree is open while it is enabled.
    bool isOpen() const { return isEnabled(); }

    // The committed path: a folder, a volume's mount point with "/", or "Drives".
    const QString& selectedPath() const { return selectedPath_; }
    void setSelectedPath(const QString& path) { selectedPath_ = path; }

    QTreeWidgetItem* rootNode() const;
    QTreeWidgetItem* selectedNode() const { return currentItem(); }
    // Makes node the selected node and shows it (its ancestors are expanded).
    void selectNode(QTreeWidgetItem* node);
    // Loads node's subfolders if they are not loaded yet, then expands it.
    void expandNode(QTreeWidgetItem* node);
    // Collapses node and all its descendants; a selection inside moves onto node.
    void collapseNode(QTreeWidgetItem* node);

    Hit hitTest(const QPoint& viewportPos, QTreeWidgetItem** node = nullptr) const;
    // Where node's icon and label lie in the viewport.
    QRect iconRect(QTreeWidgetItem* node) const;
    QRect labelRect(QTreeWidgetItem* node) const;

    static int level(const QTreeWidgetItem* node);
    static NodeKind kindOf(const QTreeWidgetItem* node);
    static int imageIndexOf(const QTreeWidgetItem* node);
    // The mount point of a volume node; empty for other nodes.
    static QString mountPointOf(const QTreeWidgetItem* node);
    // The name of a folder node as its path holds it (PathFromBytes of its bytes); its caption
    // is how that name is shown. Empty for the root and the volumes.
    static QString nameOf(const QTreeWidgetItem* node);

signals:
    // The tree listed the subfolders of folder (their names' bytes, hidden ones included),
    // which can now be watched.
    void folderListed(const QString& folder, const std::vector<std::string>& subfolders);
    // A click committed the selected node (selectedPath() holds its path); the tree is closed.
    void nodeCommitted();

protected:
    bool event(QEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    // The expanding handler: lists node's subfolders unless it already has children.
    void loadChildren(QTreeWidgetItem* node);
    void leftButtonDown(const QPoint& viewportPos);
    void commitNode();
    // A node under node for each of names, a folder's subfolders just listed.
    void addSubfolders(const std::vector<std::string>& names, QTreeWidgetItem* node);
    // Tells on a thread of its own which children of node (listed from path) have no
    // subfolder, and takes their marks away once told; they are marked meanwhile.
    void probeMarks(QTreeWidgetItem* node, const QString& path);
    void takeMarkAway(uint64_t generation, QTreeWidgetItem* node);
    void showContextMenu(const QPoint& viewportPos);
    QTreeWidgetItem* newNode(const QString& caption, int image, int selectedImage);

    QWidget* owner_;
    NodeIcons* icons_;
    QString selectedPath_;
    QString lastPath_;       // the path committed before, for going back to it
    QString selectingPath_;  // selectPath's, while a share along it has not answered
    bool expanding_ = false; // expandNode has loaded the node already
    bool showHidden_ = false;
    // Counts the trees built (loadDrives): a probe's answer about an earlier tree's node is
    // dropped, as that node is gone.
    uint64_t generation_ = 0;
    std::shared_ptr<MarkProbes> probes_;
};
