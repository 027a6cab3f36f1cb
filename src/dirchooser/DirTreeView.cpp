// SPDX-License-Identifier: GPL-3.0-or-later
#include "dirchooser/DirTreeView.h"

#include "dirchooser/DirCaptions.h"
#include "dirchooser/DirImageList.h"
#include "dirchooser/DirTreeCombo.h"
#include "jtext/filename.h"
#include "platform/dialogs.h"
#include "platform/filesearch.h"
#include "platform/icons.h"
#include "platform/volumes.h"

#include <QEnterEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QStyle>
#include <QStyleOptionViewItem>

namespace {

enum NodeRole {
    RoleImage = Qt::UserRole,
    RoleSelectedImage,
    RoleMountPoint,
    RoleVolumeKind,
    RoleName, // a folder's name in its path: its bytes, as PathFromBytes carries them
};

const QString kRootCaption = QStringLiteral("コンピュータ");

// Folders sort by caption without regard to case; equal captions fall back to the exact text
// so that the order never depends on the order found.
class TDirNode : public QTreeWidgetItem {
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

QString WithBackslash(const QString& path) {
    if (path.isEmpty() || path.endsWith(QLatin1Char('/')))
        return path;
    return path + QLatin1Char('/');
}

TDirTreeView::TDirTreeView(TDirTreeCombo* combo, TDirImageList* images)
    : QTreeWidget(combo), FCombo(combo), FImages(images) {
    // A popup of its own, so that it can float over (and beyond) the window; its font still
    // follows the combo's.
    setWindowFlags(Qt::Popup);
    setAttribute(Qt::WA_WindowPropagation);
    // A click outside only closes the tree; it must not reach the control below as well, or a
    // click on the combo's button would open the tree again at once.
    setAttribute(Qt::WA_NoMouseReplay);
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setLineWidth(1);
    setColumnCount(1);
    setHeaderHidden(true);
    header()->setStretchLastSection(true);
    setRootIsDecorated(true);
    setUniformRowHeights(true);
    setIconSize(QSize(TDirImageList::kSize, TDirImageList::kSize));
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
        NodeExpanding(node);
        SortChildren(node);
    });

    setEnabled(false);
    hide();
}

QTreeWidgetItem* TDirTreeView::RootNode() const {
    return topLevelItem(0);
}

int TDirTreeView::Level(const QTreeWidgetItem* node) {
    int level = -1;
    for (; node; node = node->parent())
        ++level;
    return level;
}

int TDirTreeView::ImageIndexOf(const QTreeWidgetItem* node) {
    return node ? node->data(0, RoleImage).toInt() : -1;
}

int TDirTreeView::SelectedIndexOf(const QTreeWidgetItem* node) {
    return node ? node->data(0, RoleSelectedImage).toInt() : -1;
}

QString TDirTreeView::MountPointOf(const QTreeWidgetItem* node) {
    return node ? node->data(0, RoleMountPoint).toString() : QString();
}

QString TDirTreeView::NameOf(const QTreeWidgetItem* node) {
    return node ? node->data(0, RoleName).toString() : QString();
}

QTreeWidgetItem* TDirTreeView::NewNode(const QString& caption, int image, int selectedImage) {
    auto* node = new TDirNode(QStringList{caption});
    node->setData(0, RoleImage, image);
    node->setData(0, RoleSelectedImage, selectedImage);
    node->setIcon(0, FImages->NodeIcon(image, selectedImage));
    return node;
}

void TDirTreeView::LoadDrives() {
    const bool updates = updatesEnabled();
    setUpdatesEnabled(false);
    clear();
    const int computerImage = FImages->Add(platform::ComputerIcon());
    QTreeWidgetItem* root = NewNode(kRootCaption, computerImage, computerImage);
    addTopLevelItem(root);
    for (const platform::Volume& volume : platform::LogicalVolumes()) {
        const QString caption = QStringLiteral(" (") + volume.mountPoint + QStringLiteral(")  ") +
                                volume.displayLabel();
        const int image = FImages->Add(platform::VolumeIcon(volume));
        QTreeWidgetItem* node = NewNode(caption, image, image);
        node->setData(0, RoleMountPoint, volume.mountPoint);
        node->setData(0, RoleVolumeKind, static_cast<int>(volume.kind));
        // A volume shows its expand button before anything of it is read.
        node->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
        root->addChild(node);
    }
    setUpdatesEnabled(updates);
}

void TDirTreeView::BuildNodePath(QTreeWidgetItem* node) {
    QString path;
    for (; node; node = node->parent()) {
        const int level = Level(node);
        if (level == 1)
            path = WithBackslash(MountPointOf(node)) + path;
        else if (level > 1)
            path = path.isEmpty() ? NameOf(node) : NameOf(node) + QLatin1Char('/') + path;
    }
    FNodePath = path.isEmpty() ? kDrivesPath : path;
}

bool TDirTreeView::HasSubfolders(const QString& path) const {
    const auto names = platform::SubfolderNames(platform::PathToBytes(path), 1);
    return names && !names->empty();
}

void TDirTreeView::AddSubfolders(const QString& path, QTreeWidgetItem* node) {
    const auto names = platform::SubfolderNames(platform::PathToBytes(path));
    if (!names)
        return;
    for (const std::string& bytes : *names) {
        // The caption shows the name; the path is made of its bytes.
        const QString name = platform::PathFromBytes(bytes);
        const QString folder = WithBackslash(path) + name;
        QTreeWidgetItem* child = NewNode(QString::fromStdString(FileNameForDisplay(bytes)),
                                         FImages->Add(platform::ShellIcon(folder, false)),
                                         FImages->Add(platform::ShellIcon(folder, true)));
        child->setData(0, RoleName, name);
        if (HasSubfolders(folder))
            child->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
        node->addChild(child);
    }
}

void TDirTreeView::SortChildren(QTreeWidgetItem* node) {
    if (node && node->childCount() > 1)
        node->sortChildren(0, Qt::AscendingOrder);
}

void TDirTreeView::NodeExpanding(QTreeWidgetItem* node) {
    if (!node || node->childCount() > 0)
        return;
    platform::WaitCursor wait;
    node->setChildIndicatorPolicy(QTreeWidgetItem::DontShowIndicatorWhenChildless);
    // The root holds the volumes and nothing else; there is no folder to list behind it.
    if (Level(node) == 0)
        return;
    BuildNodePath(node);
    const QString folder = FNodePath;
    AddSubfolders(folder, node);
    SortChildren(node);
    if (OnFolderListed)
        OnFolderListed(folder);
}

void TDirTreeView::ExpandNode(QTreeWidgetItem* node) {
    if (!node)
        return;
    NodeExpanding(node);
    SortChildren(node);
    expanding_ = true;
    node->setExpanded(true);
    expanding_ = false;
}

void TDirTreeView::CollapseNode(QTreeWidgetItem* node) {
    if (!node)
        return;
    for (int i = 0; i < node->childCount(); ++i)
        CollapseNode(node->child(i));
    if (IsDescendantOf(currentItem(), node))
        setCurrentItem(node);
    node->setExpanded(false);
}

void TDirTreeView::SetSelected(QTreeWidgetItem* node) {
    if (!node) {
        setCurrentItem(nullptr);
        return;
    }
    for (QTreeWidgetItem* up = node->parent(); up; up = up->parent()) {
        if (!up->isExpanded())
            ExpandNode(up);
    }
    setCurrentItem(node);
    scrollToItem(node);
}

void TDirTreeView::SelectPath(const QString& path) {
    QTreeWidgetItem* node = RootNode();
    if (!node)
        return;
    const bool updates = updatesEnabled();
    setUpdatesEnabled(false);
    if (node->isExpanded())
        CollapseNode(node);

    // The first component is the volume: the mount point that is the longest prefix.
    QTreeWidgetItem* volume = nullptr;
    qsizetype consumed = 0;
    for (int i = 0; i < node->childCount(); ++i) {
        const QString mount = WithBackslash(MountPointOf(node->child(i)));
        if (!mount.isEmpty() && mount.size() > consumed &&
            path.startsWith(mount, Qt::CaseInsensitive)) {
            volume = node->child(i);
            consumed = mount.size();
        }
    }
    if (volume) {
        SetSelected(volume);
        ExpandNode(volume);
        node = volume;
        QString rest = path.mid(consumed);
        for (qsizetype cut = rest.indexOf(QLatin1Char('/')); cut >= 0 && node->childCount() > 0;
             cut = rest.indexOf(QLatin1Char('/'))) {
            const QString component = rest.left(cut);
            rest = rest.mid(cut + 1);
            // The folder of that very name, else one that differs in case only.
            QTreeWidgetItem* match = nullptr;
            for (const Qt::CaseSensitivity sensitivity : {Qt::CaseSensitive, Qt::CaseInsensitive}) {
                for (int i = 0; i < node->childCount() && !match; ++i) {
                    if (NameOf(node->child(i)).compare(component, sensitivity) == 0)
                        match = node->child(i);
                }
            }
            if (!match)
                break;
            SetSelected(match);
            ExpandNode(match);
            node = match;
        }
    }
    setUpdatesEnabled(updates);
}

bool TDirTreeView::CheckDrive(const QString& mountPoint, bool showMessages) const {
    return platform::CheckDrive(mountPoint, showMessages, DirCaption(dcInvalidDrive),
                                DirCaption(dcDriveNotReady));
}

void TDirTreeView::ApplySelection() {
    QTreeWidgetItem* node = currentItem();
    if (!node)
        return;
    // "Drives" is no folder: going back to it means the root, not "Drives/".
    FLastPath = FSelectedPath == kDrivesPath ? FSelectedPath : WithBackslash(FSelectedPath);
    BuildNodePath(node);
    FSelectedPath = Level(node) == 0 ? kDrivesPath : FNodePath;
    if (Level(node) == 1) {
        const auto kind = static_cast<platform::VolumeKind>(node->data(0, RoleVolumeKind).toInt());
        const bool checked =
            kind == platform::VolumeKind::Removable || kind == platform::VolumeKind::CdRom;
        if (checked && !CheckDrive(MountPointOf(node), true)) {
            if (FLastPath == kDrivesPath)
                SetSelected(RootNode());
            else
                SelectPath(FLastPath);
            FSelectedPath = FLastPath;
            return;
        }
    }
    FLastPath = FSelectedPath;
}

void TDirTreeView::Open() {
    setEnabled(true);
    show();
    raise();
    if (!hasFocus())
        setFocus(Qt::PopupFocusReason);
    if (currentItem())
        scrollToItem(currentItem());
}

void TDirTreeView::CloseUp() {
    const bool wasOpen = isEnabled();
    hide();
    setEnabled(false);
    if (wasOpen && FCombo)
        FCombo->setFocus(Qt::PopupFocusReason);
}

QRect TDirTreeView::IconRect(QTreeWidgetItem* node) const {
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

QRect TDirTreeView::LabelRect(QTreeWidgetItem* node) const {
    if (!node)
        return QRect();
    const QRect cell = visualItemRect(node);
    const QRect icon = IconRect(node);
    const int margin = style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1;
    const int width = fontMetrics().horizontalAdvance(node->text(0)) + 2 * margin;
    return QRect(icon.right() + 1, cell.top(), width, cell.height());
}

TDirTreeView::THitKind TDirTreeView::HitTest(const QPoint& viewportPos,
                                             QTreeWidgetItem** hit) const {
    QTreeWidgetItem* node = itemAt(viewportPos);
    if (hit)
        *hit = node;
    if (!node)
        return htNowhere;
    const QRect cell = visualItemRect(node);
    if (viewportPos.x() < cell.left()) {
        const bool onButton = viewportPos.x() >= cell.left() - indentation() && HasChildMark(node);
        return onButton ? htButton : htIndent;
    }
    if (IconRect(node).contains(viewportPos))
        return htIcon;
    if (LabelRect(node).contains(viewportPos))
        return htLabel;
    return htRight;
}

void TDirTreeView::LeftButtonDown(const QPoint& viewportPos) {
    FMouseInside = true;
    QTreeWidgetItem* node = nullptr;
    switch (HitTest(viewportPos, &node)) {
    case htButton:
        if (node->isExpanded())
            node->setExpanded(false);
        else
            ExpandNode(node);
        break;
    case htIcon:
    case htLabel:
        setCurrentItem(node);
        CommitNode();
        break;
    default:
        break;
    }
}

void TDirTreeView::CommitNode() {
    // Closed first, so that a warning about a drive without media is not shown beneath a popup
    // that still holds the mouse.
    CloseUp();
    // A tree still open when the owner began listing a folder commits nothing, as Enter does.
    if (FCombo && !FCombo->FDropEnabled)
        return;
    ApplySelection();
    QTreeWidgetItem* node = currentItem();
    if (!FCombo)
        return;
    FCombo->SetSelectedPath(FSelectedPath);
    if (node) {
        FCombo->SetImageIndex(ImageIndexOf(node));
        FCombo->setText(node->text(0));
    }
    FCombo->FirePathChange(this, FSelectedPath);
}

bool TDirTreeView::event(QEvent* event) {
    // While the popup is open every mouse event reaches it; those that land outside the
    // viewport arrive here rather than at the viewport.
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
        const QPoint pos = static_cast<QMouseEvent*>(event)->position().toPoint();
        FMouseInside = rect().contains(pos);
        if (!FMouseInside)
            CloseUp();
        event->accept();
        return true;
    }
    case QEvent::MouseMove:
        FMouseInside = rect().contains(static_cast<QMouseEvent*>(event)->position().toPoint());
        event->accept();
        return true;
    case QEvent::MouseButtonRelease:
        event->accept();
        return true;
    default:
        return QTreeWidget::event(event);
    }
}

bool TDirTreeView::viewportEvent(QEvent* event) {
    switch (event->type()) {
    case QEvent::MouseMove: {
        const bool result = QTreeWidget::viewportEvent(event);
        const QPoint pos = static_cast<QMouseEvent*>(event)->position().toPoint();
        FMouseInside = viewport()->rect().contains(pos);
        QTreeWidgetItem* node = nullptr;
        if (FMouseInside && isEnabled() && HitTest(pos, &node) == htLabel && node != currentItem())
            setCurrentItem(node);
        return result;
    }
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton)
            LeftButtonDown(mouse->position().toPoint());
        mouse->accept();
        return true;
    }
    case QEvent::MouseButtonRelease:
    case QEvent::ContextMenu:
        event->accept();
        return true;
    default:
        return QTreeWidget::viewportEvent(event);
    }
}

void TDirTreeView::keyPressEvent(QKeyEvent* event) {
    // The combo's keyboard rules hold whether the key reaches the field or the open tree.
    if (FCombo && FCombo->KeyDown(event)) {
        event->accept();
        return;
    }
    QTreeWidget::keyPressEvent(event);
}

void TDirTreeView::hideEvent(QHideEvent* event) {
    // The window system may close the popup by itself (another application was clicked); the
    // tree is then closed as if by CloseUp.
    if (isEnabled())
        setEnabled(false);
    QTreeWidget::hideEvent(event);
}

void TDirTreeView::enterEvent(QEnterEvent* event) {
    FMouseInside = true;
    QTreeWidget::enterEvent(event);
}

void TDirTreeView::leaveEvent(QEvent* event) {
    FMouseInside = false;
    QTreeWidget::leaveEvent(event);
}
