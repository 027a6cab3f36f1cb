// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The drop-down tree of the folder chooser: a root for the list of drives ("コンピュータ",
// path "Drives"), one node per mounted volume and, loaded on first expansion, the folders. It
// floats as a popup window below (or above) its combo; while open the selection follows the
// mouse over labels and a click on a label or icon commits the node.

#include <QString>
#include <QTreeWidget>

#include <functional>

class QTreeWidgetItem;
class TDirImageList;
class TDirTreeCombo;

// The pseudo-path of the root node.
inline const QString kDrivesPath = QStringLiteral("Drives");

// path with a trailing "/" (unless it already ends with one); an empty path stays empty.
QString WithBackslash(const QString& path);

class TDirTreeView : public QTreeWidget {
    Q_OBJECT
public:
    // Where a point of the viewport lies relative to the nodes.
    enum THitKind { htNowhere, htIndent, htButton, htIcon, htLabel, htRight };

    TDirTreeView(TDirTreeCombo* combo, TDirImageList* images);

    // Deletes all nodes and builds the root and one node per volume.
    void LoadDrives();
    // Sets FNodePath to the path of node: "Drives" for the root, the mount point with "/" for a
    // volume, the folder's path without trailing "/" below, made of the folders' names rather
    // than their captions.
    void BuildNodePath(QTreeWidgetItem* node);
    // Commits the selected node into FSelectedPath; a removable or CD volume that is not ready
    // is refused with a warning and the previous path is selected again.
    void ApplySelection();
    // Selects and expands the nodes along path (which ends with "/"), stopping at the deepest
    // component found.
    void SelectPath(const QString& path);
    // Closes the open tree and gives the focus back to the combo.
    void CloseUp();
    // Opens the tree at its current geometry.
    void Open();
    // The tree is open while it is enabled.
    bool IsOpen() const { return isEnabled(); }

    QTreeWidgetItem* RootNode() const;
    QTreeWidgetItem* Selected() const { return currentItem(); }
    // Makes node the selected node and shows it (its ancestors are expanded).
    void SetSelected(QTreeWidgetItem* node);
    // Loads node's subfolders if they are not loaded yet, then expands it.
    void ExpandNode(QTreeWidgetItem* node);
    // Collapses node and all its descendants; a selection inside moves onto node.
    void CollapseNode(QTreeWidgetItem* node);
    // The expanding handler: lists node's subfolders unless it already has children.
    void NodeExpanding(QTreeWidgetItem* node);

    THitKind HitTest(const QPoint& viewportPos, QTreeWidgetItem** node = nullptr) const;
    // Where node's icon and label lie in the viewport.
    QRect IconRect(QTreeWidgetItem* node) const;
    QRect LabelRect(QTreeWidgetItem* node) const;

    static int Level(const QTreeWidgetItem* node);
    static int ImageIndexOf(const QTreeWidgetItem* node);
    static int SelectedIndexOf(const QTreeWidgetItem* node);
    // The mount point of a volume node; empty for other nodes.
    static QString MountPointOf(const QTreeWidgetItem* node);
    // The name of a folder node as its path holds it (PathFromBytes of its bytes); its caption
    // is how that name is shown. Empty for the root and the volumes.
    static QString NameOf(const QTreeWidgetItem* node);

    // Told about every folder whose subfolders the tree has listed, so that they can be watched.
    std::function<void(const QString& folder)> OnFolderListed;

    QString FNodePath;
    QString FSelectedPath;
    QString FLastPath;
    bool FExpandRoot = true;
    bool FMouseInside = false;

protected:
    bool event(QEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void LeftButtonDown(const QPoint& viewportPos);
    void CommitNode();
    bool HasSubfolders(const QString& path) const;
    void AddSubfolders(const QString& path, QTreeWidgetItem* node);
    void SortChildren(QTreeWidgetItem* node);
    QTreeWidgetItem* NewNode(const QString& caption, int image, int selectedImage);
    bool CheckDrive(const QString& mountPoint, bool showMessages) const;

    TDirTreeCombo* FCombo;
    TDirImageList* FImages;
    bool expanding_ = false; // ExpandNode has loaded the node already
};
