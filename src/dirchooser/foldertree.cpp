// SPDX-License-Identifier: GPL-3.0-or-later
#include "dirchooser/foldertree.h"

#include "dirchooser/nodeicons.h"
#include "jtext/filename.h"
#include "platform/dialogs.h"
#include "platform/icons.h"
#include "platform/pathnames.h"
#include "platform/places.h"
#include "platform/volumes.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QMenu>
#include <QMouseEvent>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTimer>

#include <algorithm>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

// What the tree's probing threads share with it. A thread holds it for as long as it runs, so a
// probe stuck on a share whose server stopped answering outlives the tree harmlessly.
struct MarkProbes {
    std::mutex mutex;
    FolderTree* tree = nullptr; // null once the tree is gone
    uint64_t generation = 0;    // the tree's; a thread of another one stops
};

namespace {

// How often an open folder whose share has not answered yet is asked again.
constexpr int kListingPollMilliseconds = 250;

enum NodeRole {
    RoleImage = Qt::UserRole,
    RoleMountPoint,
    RoleVolumeKind,
    RoleName, // a folder's name in its path: its bytes, as PathFromBytes carries them
    RoleKind,
    RolePlacePath, // a user folder's path
};

const QString kRootCaption = QStringLiteral("コンピュータ");
// What the drive check says of a volume that is not there, and of one without media.
const QString kInvalidDrive = QStringLiteral("不正な ドライブID です");
const QString kDriveNotReady =
    QStringLiteral("ディスクが挿入されていないか、ドライブの準備が出来ていません");

// Folders sort by caption without regard to case; equal captions fall back to the exact text
// so that the order never depends on the order found.
class FolderNode : public QTreeWidgetItem {
public:
    using QTreeWidgetItem::QTreeWidgetItem;
    bool operator<(const QTreeWidgetItem& other) const override {
        const QString mine = text(0);
        const QString theirs = other.text(0);
        const int order = mine.compare(theirs, Qt::CaseInsensitive);
        return order != 0 ? order < 0 : mine < theirs;
    }
};

bool HasChildMark(const QTreeWidgetItem* node) {
    return node->childCount() > 0 || node->childIndicatorPolicy() == QTreeWidgetItem::ShowIndicator;
}

bool IsDescendantOf(const QTreeWidgetItem* node, const QTreeWidgetItem* ancestor) {
    for (const QTreeWidgetItem* up = node ? node->parent() : nullptr; up; up = up->parent()) {
        if (up == ancestor)
            return true;
    }
    return false;
}

} // namespace

QString WithTrailingSlash(const QString& path) {
    if (path.isEmpty() || path.endsWith(QLatin1Char('/')))
        return path;
    return path + QLatin1Char('/');
}

FolderTree::FolderTree(QWidget* owner, NodeIcons* icons)
    : QTreeWidget(owner), owner_(owner), icons_(icons), probes_(std::make_shared<MarkProbes>()) {
    probes_->tree = this;
    // A popup of its own, so that it can float over (and beyond) the window; its font still
    // follows the owner's.
    setWindowFlags(Qt::Popup);
    setAttribute(Qt::WA_WindowPropagation);
    // A click outside only closes the tree; it must not reach the control below as well, or a
    // click on the chooser's button would open the tree again at once.
    setAttribute(Qt::WA_NoMouseReplay);
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setLineWidth(1);
    setColumnCount(1);
    setHeaderHidden(true);
    header()->setStretchLastSection(true);
    setRootIsDecorated(true);
    setUniformRowHeights(true);
    setIconSize(QSize(NodeIcons::kSize, NodeIcons::kSize));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setExpandsOnDoubleClick(false);
    setAnimated(false);
    setMouseTracking(true);
    viewport()->setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);

    // Expansions the view makes by itself (keyboard handling of the base class) load lazily too.
    connect(this, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* node) {
        if (expanding_)
            return;
        loadChildren(node);
    });

    setEnabled(false);
    hide();
}

QTreeWidgetItem* FolderTree::rootNode() const {
    for (int i = 0; i < topLevelItemCount(); ++i)
        if (kindOf(topLevelItem(i)) == NodeKind::Root)
            return topLevelItem(i);
    return nullptr;
}

FolderTree::NodeKind FolderTree::kindOf(const QTreeWidgetItem* node) {
    return node ? NodeKind(node->data(0, RoleKind).toInt()) : NodeKind::Folder;
}

int FolderTree::level(const QTreeWidgetItem* node) {
    int depth = -1;
    for (; node; node = node->parent())
        ++depth;
    return depth;
}

int FolderTree::imageIndexOf(const QTreeWidgetItem* node) {
    return node ? node->data(0, RoleImage).toInt() : -1;
}

QString FolderTree::mountPointOf(const QTreeWidgetItem* node) {
    return node ? node->data(0, RoleMountPoint).toString() : QString();
}

QString FolderTree::nameOf(const QTreeWidgetItem* node) {
    return node ? node->data(0, RoleName).toString() : QString();
}

QTreeWidgetItem* FolderTree::newNode(const QString& caption, int image, int selectedImage) {
    auto* node = new FolderNode(QStringList{caption});
    node->setData(0, RoleKind, int(NodeKind::Folder));
    node->setData(0, RoleImage, image);
    node->setIcon(0, icons_->nodeIcon(image, selectedImage));
    return node;
}

FolderTree::~FolderTree() {
    const std::lock_guard lock(probes_->mutex);
    probes_->tree = nullptr;
}

void FolderTree::loadDrives() {
    const bool updates = updatesEnabled();
    setUpdatesEnabled(false);
    clear();
    {
        const std::lock_guard lock(probes_->mutex);
        probes_->generation = ++generation_;
    }
    for (const platform::Place& place : platform::UserPlaces()) {
        const int image = icons_->add(platform::PlaceIcon(place));
        QTreeWidgetItem* node = newNode(place.caption, image, image);
        node->setData(0, RoleKind, int(NodeKind::Place));
        node->setData(0, RolePlacePath, place.path);
        node->setToolTip(0, platform::PlainToolTip(place.path));
        node->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
        addTopLevelItem(node);
    }
    const int computerImage = icons_->add(platform::ComputerIcon());
    QTreeWidgetItem* root = newNode(kRootCaption, computerImage, computerImage);
    root->setData(0, RoleKind, int(NodeKind::Root));
    addTopLevelItem(root);
    for (const platform::Volume& volume : platform::LogicalVolumes()) {
        const QString caption = QStringLiteral(" (") + volume.mountPoint + QStringLiteral(")  ") +
                                volume.displayLabel();
        const int image = icons_->add(platform::VolumeIcon(volume));
        QTreeWidgetItem* node = newNode(caption, image, image);
        node->setData(0, RoleKind, int(NodeKind::Volume));
        node->setData(0, RoleMountPoint, volume.mountPoint);
        node->setData(0, RoleVolumeKind, static_cast<int>(volume.kind));
        // A volume shows its expand button before anything of it is read.
        node->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
        root->addChild(node);
    }
    setUpdatesEnabled(updates);
}

QString FolderTree::pathOf(const QTreeWidgetItem* node) const {
    QString path;
    for (; node; node = node->parent()) {
        switch (kindOf(node)) {
        case NodeKind::Volume:
            return WithTrailingSlash(mountPointOf(node)) + path;
        case NodeKind::Place: {
            const QString place = node->data(0, RolePlacePath).toString();
            return path.isEmpty() ? place : WithTrailingSlash(place) + path;
        }
        case NodeKind::Folder:
            path = path.isEmpty() ? nameOf(node) : nameOf(node) + QLatin1Char('/') + path;
            break;
        case NodeKind::Root:
            break;
        }
    }
    return path.isEmpty() ? kDrivesPath : path;
}

namespace {

// Whether name is a hidden folder's: one whose name begins with ".".
bool IsHiddenName(const std::string& name) {
    return !name.empty() && name.front() == '.';
}

void SortChildren(QTreeWidgetItem* node) {
    if (node && node->childCount() > 1)
        node->sortChildren(0, Qt::AscendingOrder);
}

} // namespace

void FolderTree::addSubfolders(const std::vector<std::string>& names, QTreeWidgetItem* node) {
    // Nothing of a subfolder is looked at here: on a share each look waits for the server, and
    // a folder of hundreds of subfolders held the window for seconds. They are folders, so
    // they get the folder's icons.
    const int image = icons_->add(platform::FolderIcon(false));
    const int openImage = icons_->add(platform::FolderIcon(true));
    for (const std::string& bytes : names) {
        if (!showHidden_ && IsHiddenName(bytes))
            continue;
        // The caption shows the name; the path is made of its bytes.
        const QString name = platform::PathFromBytes(bytes);
        QTreeWidgetItem* child =
            newNode(QString::fromStdString(FileNameForDisplay(bytes)), image, openImage);
        child->setData(0, RoleName, name);
        // A mark shown for nothing goes once the folder is probed or expanded; a mark missed
        // would hide subfolders.
        child->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
        node->addChild(child);
    }
}

void FolderTree::probeMarks(QTreeWidgetItem* node, const QString& path) {
    // In the order they show, so that the first ones settle first.
    std::vector<QTreeWidgetItem*> nodes;
    for (int i = 0; i < node->childCount(); ++i)
        nodes.push_back(node->child(i));
    if (nodes.empty())
        return;
    std::sort(nodes.begin(), nodes.end(), [](const QTreeWidgetItem* a, const QTreeWidgetItem* b) {
        return a->text(0).compare(b->text(0), Qt::CaseInsensitive) < 0;
    });
    std::vector<std::string> paths;
    for (const QTreeWidgetItem* child : nodes)
        paths.push_back(platform::PathToBytes(WithTrailingSlash(path) + nameOf(child)));
    auto probe = [probes = probes_, generation = generation_, hidden = showHidden_,
                  nodes = std::move(nodes), paths = std::move(paths)] {
        for (size_t i = 0; i < paths.size(); ++i) {
            // A folder too full to be probed quickly counts as having subfolders.
            const bool marked = platform::MayHaveSubfolders(paths[i], hidden);
            const std::lock_guard lock(probes->mutex);
            FolderTree* tree = probes->tree;
            if (!tree || probes->generation != generation)
                return; // the tree or its nodes are gone
            if (!marked)
                QMetaObject::invokeMethod(
                    tree,
                    [tree, generation, node = nodes[i]] { tree->takeMarkAway(generation, node); },
                    Qt::QueuedConnection);
        }
    };
    try {
        std::thread(std::move(probe)).detach();
    } catch (const std::system_error&) {
        // No thread to be had: the marks stay, and go as each folder is expanded.
    }
}

void FolderTree::takeMarkAway(uint64_t generation, QTreeWidgetItem* node) {
    // A node expanded meanwhile has had its mark set by its listing.
    if (generation == generation_ && node->childCount() == 0)
        node->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
}

void FolderTree::loadChildren(QTreeWidgetItem* node) {
    if (!node || node->childCount() > 0)
        return;
    platform::WaitCursor wait;
    node->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
    // The root holds the volumes and nothing else; there is no folder to list behind it.
    if (kindOf(node) == NodeKind::Root)
        return;
    const QString folder = pathOf(node);
    // A share that does not answer in time is left unlisted rather than holding the window.
    const auto listing = platform::SubfolderNamesInTime(folder);
    if (!listing) {
        // The share has not answered yet: the folder stays marked, and fills in once the answer
        // has come while it is open (asking again meanwhile costs nothing).
        node->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
        QTimer::singleShot(kListingPollMilliseconds, this, [this, node, generation = generation_] {
            if (generation == generation_ && node->isExpanded() && node->childCount() == 0) {
                loadChildren(node);
                SortChildren(node);
                // A path being selected through this folder goes on down once it is listed.
                if (!selectingPath_.isEmpty() && currentItem() == node && node->childCount() > 0)
                    selectPath(selectingPath_);
            }
        });
        return;
    }
    if (!*listing)
        return; // unreadable: listed as empty
    addSubfolders(**listing, node);
    SortChildren(node);
    probeMarks(node, folder);
    emit folderListed(folder, **listing);
}

void FolderTree::expandNode(QTreeWidgetItem* node) {
    if (!node)
        return;
    loadChildren(node);
    SortChildren(node);
    expanding_ = true;
    node->setExpanded(true);
    expanding_ = false;
}

void FolderTree::collapseNode(QTreeWidgetItem* node) {
    if (!node)
        return;
    for (int i = 0; i < node->childCount(); ++i)
        collapseNode(node->child(i));
    if (IsDescendantOf(currentItem(), node))
        setCurrentItem(node);
    node->setExpanded(false);
}

void FolderTree::selectNode(QTreeWidgetItem* node) {
    if (!node) {
        setCurrentItem(nullptr);
        return;
    }
    for (QTreeWidgetItem* up = node->parent(); up; up = up->parent()) {
        if (!up->isExpanded())
            expandNode(up);
    }
    setCurrentItem(node);
    scrollToItem(node);
}

namespace {

// The volume node whose mount point is the longest prefix of path, and that prefix's length.
std::pair<QTreeWidgetItem*, qsizetype> VolumeHolding(QTreeWidgetItem* root, const QString& path) {
    QTreeWidgetItem* volume = nullptr;
    qsizetype consumed = 0;
    for (int i = 0; i < root->childCount(); ++i) {
        const QString mount = WithTrailingSlash(FolderTree::mountPointOf(root->child(i)));
        if (!mount.isEmpty() && mount.size() > consumed &&
            path.startsWith(mount, Qt::CaseInsensitive)) {
            volume = root->child(i);
            consumed = mount.size();
        }
    }
    return {volume, consumed};
}

// The child folder of that very name, else one that differs in case only.
QTreeWidgetItem* ChildNamed(QTreeWidgetItem* node, const QString& name) {
    for (const Qt::CaseSensitivity sensitivity : {Qt::CaseSensitive, Qt::CaseInsensitive}) {
        for (int i = 0; i < node->childCount(); ++i) {
            if (FolderTree::nameOf(node->child(i)).compare(name, sensitivity) == 0)
                return node->child(i);
        }
    }
    return nullptr;
}

} // namespace

void FolderTree::selectPath(const QString& path) {
    QTreeWidgetItem* node = rootNode();
    if (!node)
        return;
    const bool updates = updatesEnabled();
    setUpdatesEnabled(false);
    if (node->isExpanded())
        collapseNode(node);
    // The first component is the volume: the mount point that is the longest prefix.
    const auto [volume, consumed] = VolumeHolding(node, path);
    QString rest;
    if (volume) {
        selectNode(volume);
        expandNode(volume);
        node = volume;
        rest = path.mid(consumed);
        for (qsizetype cut = rest.indexOf(QLatin1Char('/')); cut >= 0 && node->childCount() > 0;
             cut = rest.indexOf(QLatin1Char('/'))) {
            QTreeWidgetItem* match = ChildNamed(node, rest.left(cut));
            rest = rest.mid(cut + 1);
            if (!match)
                break;
            selectNode(match);
            expandNode(match);
            node = match;
        }
    }
    // Stopped at a folder of a share that has not listed its subfolders yet: the rest of the way
    // is taken once it has.
    selectingPath_ = rest.contains(QLatin1Char('/')) && node->childCount() == 0 ? path : QString();
    setUpdatesEnabled(updates);
}

void FolderTree::applySelection() {
    QTreeWidgetItem* node = currentItem();
    if (!node)
        return;
    // "Drives" is no folder: going back to it means the root, not "Drives/".
    lastPath_ = selectedPath_ == kDrivesPath ? selectedPath_ : WithTrailingSlash(selectedPath_);
    selectedPath_ = kindOf(node) == NodeKind::Root ? kDrivesPath : pathOf(node);
    if (kindOf(node) == NodeKind::Volume) {
        const auto kind = static_cast<platform::VolumeKind>(node->data(0, RoleVolumeKind).toInt());
        const bool checked =
            kind == platform::VolumeKind::Removable || kind == platform::VolumeKind::CdRom;
        if (checked &&
            !platform::CheckDrive(mountPointOf(node), true, kInvalidDrive, kDriveNotReady)) {
            if (lastPath_ == kDrivesPath)
                selectNode(rootNode());
            else
                selectPath(lastPath_);
            selectedPath_ = lastPath_;
            return;
        }
    }
    lastPath_ = selectedPath_;
}

void FolderTree::open() {
    setEnabled(true);
    show();
    raise();
    if (!hasFocus())
        setFocus(Qt::PopupFocusReason);
    if (currentItem())
        scrollToItem(currentItem());
}

void FolderTree::closeUp() {
    const bool wasOpen = isEnabled();
    hide();
    setEnabled(false);
    if (wasOpen && owner_)
        owner_->setFocus(Qt::PopupFocusReason);
}

QRect FolderTree::iconRect(QTreeWidgetItem* node) const {
    if (!node)
        return QRect();
    const QRect cell = visualItemRect(node);
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    option.rect = cell;
    option.features |= QStyleOptionViewItem::HasDecoration | QStyleOptionViewItem::HasDisplay;
    option.icon = node->icon(0);
    option.text = node->text(0);
    option.decorationSize = iconSize();
    const QRect decoration =
        style()->subElementRect(QStyle::SE_ItemViewItemDecoration, &option, this);
    return QRect(cell.left(), cell.top(), qMax(0, decoration.right() + 1 - cell.left()),
                 cell.height());
}

QRect FolderTree::labelRect(QTreeWidgetItem* node) const {
    if (!node)
        return QRect();
    const QRect cell = visualItemRect(node);
    const QRect icon = iconRect(node);
    const int margin = style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1;
    const int width = fontMetrics().horizontalAdvance(node->text(0)) + 2 * margin;
    return QRect(icon.right() + 1, cell.top(), width, cell.height());
}

FolderTree::Hit FolderTree::hitTest(const QPoint& viewportPos, QTreeWidgetItem** hit) const {
    QTreeWidgetItem* node = itemAt(viewportPos);
    if (hit)
        *hit = node;
    if (!node)
        return Hit::Nowhere;
    const QRect cell = visualItemRect(node);
    if (viewportPos.x() < cell.left()) {
        const bool onButton = viewportPos.x() >= cell.left() - indentation() && HasChildMark(node);
        return onButton ? Hit::Button : Hit::Indent;
    }
    if (iconRect(node).contains(viewportPos))
        return Hit::Icon;
    if (labelRect(node).contains(viewportPos))
        return Hit::Label;
    return Hit::Right;
}

void FolderTree::leftButtonDown(const QPoint& viewportPos) {
    QTreeWidgetItem* node = nullptr;
    switch (hitTest(viewportPos, &node)) {
    case Hit::Button:
        if (node->isExpanded())
            node->setExpanded(false);
        else
            expandNode(node);
        break;
    case Hit::Icon:
    case Hit::Label:
        setCurrentItem(node);
        commitNode();
        break;
    default:
        break;
    }
}

void FolderTree::commitNode() {
    // Closed first, so that a warning about a drive without media is not shown beneath a popup
    // that still holds the mouse.
    closeUp();
    applySelection();
    emit nodeCommitted();
}

bool FolderTree::event(QEvent* event) {
    // While the popup is open every mouse event reaches it; those that land outside the
    // viewport arrive here rather than at the viewport.
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        if (!rect().contains(static_cast<QMouseEvent*>(event)->position().toPoint()))
            closeUp();
        event->accept();
        return true;
    case QEvent::MouseMove:
    case QEvent::MouseButtonRelease:
        event->accept();
        return true;
    default:
        return QTreeWidget::event(event);
    }
}

bool FolderTree::viewportEvent(QEvent* event) {
    switch (event->type()) {
    case QEvent::MouseMove: {
        const bool result = QTreeWidget::viewportEvent(event);
        const QPoint pos = static_cast<QMouseEvent*>(event)->position().toPoint();
        QTreeWidgetItem* node = nullptr;
        if (viewport()->rect().contains(pos) && isEnabled() && hitTest(pos, &node) == Hit::Label &&
            node != currentItem())
            setCurrentItem(node);
        return result;
    }
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton)
            leftButtonDown(mouse->position().toPoint());
        mouse->accept();
        return true;
    }
    case QEvent::MouseButtonRelease:
        event->accept();
        return true;
    case QEvent::ContextMenu:
        showContextMenu(static_cast<QContextMenuEvent*>(event)->pos());
        event->accept();
        return true;
    default:
        return QTreeWidget::viewportEvent(event);
    }
}

void FolderTree::showContextMenu(const QPoint& viewportPos) {
    QMenu menu(this);
    menu.setObjectName(QStringLiteral("treeMenu"));
    QAction* hidden = menu.addAction(QStringLiteral("隠しフォルダを表示"));
    hidden->setObjectName(QStringLiteral("showHiddenFolders"));
    hidden->setCheckable(true);
    hidden->setChecked(showHidden_);
    connect(hidden, &QAction::toggled, this, &FolderTree::setShowHidden);
    menu.exec(viewport()->mapToGlobal(viewportPos));
}

void FolderTree::setShowHidden(bool show) {
    if (show == showHidden_)
        return;
    showHidden_ = show;
    const QString selected = selectedPath_;
    loadDrives();
    expandNode(rootNode());
    if (selected == kDrivesPath)
        selectNode(rootNode());
    else if (!selected.isEmpty())
        selectPath(WithTrailingSlash(selected));
}

void FolderTree::hideEvent(QHideEvent* event) {
    // The window system may close the popup by itself (another application was clicked); the
    // tree is then closed as if by closeUp.
    if (isEnabled())
        setEnabled(false);
    QTreeWidget::hideEvent(event);
}
