// SPDX-License-Identifier: GPL-3.0-or-later
#include "dirchooser/DirTreeCombo.h"

#include "dirchooser/DirTreeView.h"
#include "platform/dialogs.h"
#include "platform/filesearch.h"
#include "platform/watchers.h"

#include <QContextMenuEvent>
#include <QEnterEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QTimer>
#include <QWheelEvent>

namespace {

bool IsRebuildCode(long eventCode) {
    switch (eventCode) {
    case platform::shcneMkDir:
    case platform::shcneRmDir:
    case platform::shcneDriveRemoved:
    case platform::shcneDriveAdd:
    case platform::shcneRenameFolder:
        return true;
    default:
        return false;
    }
}

// Whether path names a folder, taken by its bytes (Qt's own check loses those that are not
// UTF-8).
bool IsFolder(const QString& path) {
    const auto found = platform::FileInfoOf(path);
    return found && (found->attr & platform::faDirectory);
}

} // namespace

TDirTreeButton::TDirTreeButton(QWidget* parent) : QToolButton(parent) {
    setFocusPolicy(Qt::NoFocus);
    setContextMenuPolicy(Qt::PreventContextMenu);
}

void TDirTreeButton::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        event->accept();
        return;
    }
    QToolButton::mouseReleaseEvent(event);
}

void TDirTreeButton::contextMenuEvent(QContextMenuEvent* event) {
    event->accept();
}

TDirTreeCombo::TDirTreeCombo(QWidget* parent) : QLineEdit(parent) {
    setReadOnly(true);
    resize(216, 21);
    setCursor(Qt::ArrowCursor);
    setContextMenuPolicy(Qt::PreventContextMenu);

    Btn = new TDirTreeButton(this);
    Btn->setCursor(Qt::ArrowCursor);
    Btn->setArrowType(Qt::DownArrow);
    Btn->setGeometry(0, 0, kButtonWidth, kButtonWidth);
    connect(Btn, &QToolButton::clicked, this, &TDirTreeCombo::DropDown);

    Tree = new TDirTreeView(this, &FSysImages);
    Tree->resize(0, treeHeight_);
    Tree->OnFolderListed = [this](const QString& folder) { WatchFolder(folder); };
    SetHideSelection(true);

    // A watcher that cannot be set up only costs the live updates.
    mountWatcher_ = new platform::MountWatcher(this);
    folderWatcher_ = new platform::FolderWatcher(this);
    connect(mountWatcher_, &platform::MountWatcher::changeNotified, this,
            [this](long code, const QString&) { ScheduleNotification(code); });
    connect(folderWatcher_, &platform::FolderWatcher::changeNotified, this,
            [this](long code, const QString&) { ScheduleNotification(code); });

    Tree->LoadDrives();
    SetExpandRoot(true);
    if (!Tree->Selected()) {
        QTreeWidgetItem* root = Tree->RootNode();
        FImageIndex = TDirTreeView::ImageIndexOf(root);
        setText(root ? root->text(0) : QString());
        Tree->FSelectedPath = kDrivesPath;
    }
    UpdateEditRect();

    SetLanguage(lnSysDefault);
    constructing_ = false;
}

TDirTreeCombo::~TDirTreeCombo() {
    // The tree calls back into the combo; it goes first, while the combo is still whole.
    delete Tree;
    Tree = nullptr;
}

void TDirTreeCombo::setText(const QString& text) {
    QLineEdit::setText(platform::PathForDisplay(text));
}

QString TDirTreeCombo::SelectedPath() const {
    return Tree->FSelectedPath;
}

void TDirTreeCombo::SetSelectedPath(const QString& path) {
    if (path.compare(Tree->FSelectedPath, Qt::CaseInsensitive) != 0)
        Tree->FSelectedPath = path;
    if (fileList_)
        fileList_->SetDirectory(Tree->FSelectedPath);
}

void TDirTreeCombo::SetFileList(TDirFileList* fileList) {
    disconnect(fileListGone_);
    fileList_ = fileList;
    // A file list that is also a QObject is forgotten when it is destroyed.
    if (auto* object = dynamic_cast<QObject*>(fileList))
        fileListGone_ = connect(object, &QObject::destroyed, this, [this] { fileList_ = nullptr; });
    if (fileList_ && !SelectedPath().isEmpty()) {
        fileList_->SetDirectory(SelectedPath());
        fileList_->Refresh();
    }
}

bool TDirTreeCombo::ExpandRoot() const {
    return Tree->FExpandRoot;
}

void TDirTreeCombo::SetExpandRoot(bool expand) {
    Tree->FExpandRoot = expand;
    if (expand && Tree->RootNode())
        Tree->ExpandNode(Tree->RootNode());
}

void TDirTreeCombo::SetHideSelection(bool hide) {
    hideSelection_ = hide;
    // Without the focus the selection shows in the colours of an unselected node.
    QPalette palette = Tree->palette();
    const QPalette::ColorRole highlight = hide ? QPalette::Base : QPalette::Highlight;
    const QPalette::ColorRole highlightedText = hide ? QPalette::Text : QPalette::HighlightedText;
    palette.setColor(QPalette::Inactive, QPalette::Highlight,
                     palette.color(QPalette::Active, highlight));
    palette.setColor(QPalette::Inactive, QPalette::HighlightedText,
                     palette.color(QPalette::Active, highlightedText));
    Tree->setPalette(palette);
}

void TDirTreeCombo::SetLanguage(TLanguage language) {
    const TLanguage resolved = language == lnSysDefault ? UserDefaultLanguage() : language;
    if (resolved == language_)
        return;
    language_ = resolved;
    LoadCaptionSet(resolved);
    // Not while the combo is still being built: its owner is not ready for events yet.
    if (!constructing_)
        platform::ProcessPendingEvents();
}

void TDirTreeCombo::SetGlyph(const QPixmap& glyph) {
    if (glyph.isNull())
        return;
    glyph_ = glyph.copy();
    Btn->setArrowType(Qt::NoArrow);
    Btn->setIcon(QIcon(glyph_));
}

void TDirTreeCombo::SetTreeHeight(int height) {
    treeHeight_ = qMax(0, height);
    Tree->resize(Tree->width(), treeHeight_);
}

QTreeWidgetItem* TDirTreeCombo::SelectedNode() const {
    return Tree->Selected();
}

void TDirTreeCombo::SetSelectedNode(QTreeWidgetItem* node) {
    Tree->SetSelected(node);
}

void TDirTreeCombo::SetImageIndex(int index) {
    FImageIndex = index;
    UpdateEditRect();
    update();
}

void TDirTreeCombo::ShowNode(QTreeWidgetItem* node) {
    if (!node)
        return;
    SetImageIndex(TDirTreeView::ImageIndexOf(node));
    setText(node->text(0));
}

void TDirTreeCombo::FirePathChange(QObject* sender, const QString& path) {
    // While the owner lists a folder no other folder is reported, whatever commits it, so that
    // no owner has to guard its listing against being entered again.
    if (!FDropEnabled)
        return;
    // A copy, so that a handler may replace OnPathChange while it runs.
    const TPathChangeEvent handler = OnPathChange;
    if (handler)
        handler(sender, path);
}

void TDirTreeCombo::OpenPath(const QString& path) {
    if (!FDropEnabled || path.isEmpty())
        return;
    // One character names no folder, except the root of the file system. A relative path
    // would depend on the working folder of the moment.
    if ((path.size() == 1 && path != QLatin1String("/")) || !path.startsWith(QLatin1Char('/')))
        return;
    if (!IsFolder(path))
        return;
    const QString target = WithBackslash(path);
    Tree->SelectPath(target);
    ShowNode(Tree->Selected());
    if (Tree->FSelectedPath.compare(target, Qt::CaseInsensitive) != 0)
        Tree->FSelectedPath = target;
    WatchFolder(target);
    FirePathChange(this, SelectedPath());
}

void TDirTreeCombo::RebuildTree() {
    const bool updates = Tree->updatesEnabled();
    Tree->setUpdatesEnabled(false);
    Tree->setCurrentItem(nullptr);
    folderWatcher_->clear();
    Tree->LoadDrives();
    Tree->setUpdatesEnabled(updates);
}

void TDirTreeCombo::DropDown() {
    if (!FDropEnabled)
        return;
    setFocus(Qt::OtherFocusReason);
    QPoint point = mapToGlobal(QPoint(0, height()));
    const QScreen* display = screen();
    if (display) {
        const QRect area = display->geometry();
        if (area.top() + area.height() < treeHeight_ + point.y())
            point = mapToGlobal(QPoint(0, -treeHeight_));
    }
    Tree->setGeometry(point.x(), point.y(), width(), treeHeight_);
    if (Tree->IsOpen()) {
        Tree->lower();
        Tree->CloseUp();
    } else {
        Tree->Open();
    }
}

void TDirTreeCombo::WatchFolder(const QString& folder) {
    if (folderWatcher_ && IsFolder(folder))
        folderWatcher_->watch(folder);
}

void TDirTreeCombo::ScheduleNotification(long eventCode) {
    // A burst of changes (several folders made at once) rebuilds the tree once.
    if (!IsRebuildCode(eventCode))
        return;
    pendingCode_ = eventCode;
    if (notificationPending_)
        return;
    notificationPending_ = true;
    // While the owner lists a folder the change waits until it is done; the delay keeps the
    // wait from running again at every event the listing processes.
    constexpr int kRetryMs = 100;
    QTimer::singleShot(FDropEnabled ? 0 : kRetryMs, this, [this] {
        notificationPending_ = false;
        ShellNotify(pendingCode_);
    });
}

void TDirTreeCombo::ShellNotify(long eventCode) {
    if (!IsRebuildCode(eventCode))
        return;
    if (!FDropEnabled) {
        ScheduleNotification(eventCode);
        return;
    }
    const QString remembered = SelectedPath();
    const bool updates = updatesEnabled();
    setUpdatesEnabled(false);
    RebuildTree();
    QTreeWidgetItem* root = Tree->RootNode();
    if (root && !root->isExpanded())
        Tree->ExpandNode(root);
    if (!remembered.isEmpty()) {
        notifying_ = true;
        OpenPath(remembered);
        notifying_ = false;
    }
    if (fileList_) {
        fileList_->SetDirectory(remembered);
        fileList_->Refresh();
    }
    setUpdatesEnabled(updates);
}

void TDirTreeCombo::EnterKey() {
    // During the owner's listing the committed folder stays the one being listed.
    if (!FDropEnabled || !Tree->Selected())
        return;
    // Closed before the check of the drive, whose warning must not sit beneath the popup.
    const bool wasOpen = Tree->IsOpen();
    if (wasOpen)
        Tree->CloseUp();
    Tree->ApplySelection();
    const QString path = Tree->FSelectedPath;
    SetSelectedPath(path);
    // Shown before the event, as a click in the tree does: the handler may list another
    // folder than the node's (the drive list's owner lists a real one) and show it, and what
    // it shows must stay.
    ShowNode(Tree->Selected());
    if (Tree->isVisible())
        setFocus(Qt::OtherFocusReason);
    Tree->lower();
    Tree->setEnabled(false);
    Tree->hide();
    FirePathChange(this, path);
}

void TDirTreeCombo::ArrowKey(int key) {
    QTreeWidgetItem* root = Tree->RootNode();
    if (!Tree->Selected() && root) {
        Tree->SetSelected(root);
        Tree->ExpandNode(root);
    }
    QTreeWidgetItem* node = Tree->Selected();
    if (!node)
        return;
    switch (key) {
    case Qt::Key_Right:
        Tree->ExpandNode(node);
        break;
    case Qt::Key_Left: {
        if (node->isExpanded())
            Tree->CollapseNode(node);
        QTreeWidgetItem* previous = Tree->itemAbove(node);
        const int index = Tree->indexOfTopLevelItem(node);
        const bool siblingIsRoot = index > 0 && Tree->topLevelItem(index - 1) == root;
        if (node == root || previous == root || siblingIsRoot || !previous)
            return;
        Tree->SetSelected(previous);
        break;
    }
    case Qt::Key_Down:
        if (Tree->IsOpen()) {
            if (QTreeWidgetItem* next = Tree->itemBelow(node))
                Tree->SetSelected(next);
        } else {
            DropDown();
        }
        break;
    case Qt::Key_Up:
        if (node == root)
            return;
        if (QTreeWidgetItem* previous = Tree->itemAbove(node))
            Tree->SetSelected(previous);
        break;
    default:
        break;
    }
}

bool TDirTreeCombo::KeyDown(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        EnterKey();
        return true;
    case Qt::Key_Escape:
        if (!Tree->IsOpen())
            return false;
        Tree->CloseUp();
        return true;
    case Qt::Key_Left:
    case Qt::Key_Up:
    case Qt::Key_Right:
    case Qt::Key_Down:
        ArrowKey(event->key());
        return true;
    case Qt::Key_F4:
        DropDown();
        if (Tree->isVisible())
            Tree->setFocus(Qt::PopupFocusReason);
        return true;
    case Qt::Key_F5:
        // While the owner lists a folder nothing is rebuilt or reported.
        if (!FDropEnabled)
            return true;
        RebuildTree();
        OpenPath(SelectedPath());
        if (fileList_)
            fileList_->Refresh();
        return true;
    default:
        return false;
    }
}

void TDirTreeCombo::UpdateEditRect() {
    const bool hasIcon = FImageIndex >= 0 && FImageIndex < FSysImages.Count();
    QStyleOptionFrame option;
    initStyleOption(&option);
    const QRect contents = style()->subElementRect(QStyle::SE_LineEditContents, &option, this);
    // The text ends two pixels short of the button.
    const int right = qMax(0, contents.right() + 1 - (Btn->geometry().left() - 2));
    setTextMargins(hasIcon ? kIconMargin : 0, 0, right, 0);
}

void TDirTreeCombo::resizeEvent(QResizeEvent* event) {
    QLineEdit::resizeEvent(event);
    const int buttonHeight = qMax(0, height() - 4);
    Btn->setGeometry(width() - kButtonWidth - 4, (height() - buttonHeight) / 2, kButtonWidth,
                     buttonHeight);
    UpdateEditRect();
}

void TDirTreeCombo::paintEvent(QPaintEvent* event) {
    QLineEdit::paintEvent(event);
    if (FImageIndex < 0 || FImageIndex >= FSysImages.Count())
        return;
    QStyleOptionFrame option;
    initStyleOption(&option);
    const QRect contents = style()->subElementRect(QStyle::SE_LineEditContents, &option, this);
    QPainter painter(this);
    FSysImages.Draw(painter, contents.left() + 5, height() / 2 - TDirImageList::kSize / 2,
                    FImageIndex);
}

void TDirTreeCombo::keyPressEvent(QKeyEvent* event) {
    if (KeyDown(event)) {
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void TDirTreeCombo::wheelEvent(QWheelEvent* event) {
    const int key = event->angleDelta().y() > 0 ? Qt::Key_Up : Qt::Key_Down;
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    keyPressEvent(&press);
    event->accept();
}

void TDirTreeCombo::enterEvent(QEnterEvent* event) {
    if (Tree->isVisible())
        showHint_ = false;
    else if (!toolTip().trimmed().isEmpty())
        showHint_ = true;
    QLineEdit::enterEvent(event);
}

void TDirTreeCombo::leaveEvent(QEvent* event) {
    showHint_ = false;
    QLineEdit::leaveEvent(event);
}

void TDirTreeCombo::focusOutEvent(QFocusEvent* event) {
    // Opening the tree takes the focus into the popup; only a real loss of focus closes it.
    if (event->reason() != Qt::PopupFocusReason && Tree->IsOpen()) {
        Tree->hide();
        Tree->setEnabled(false);
    }
    QLineEdit::focusOutEvent(event);
}

void TDirTreeCombo::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        event->accept();
        return;
    }
    QLineEdit::mouseReleaseEvent(event);
}

void TDirTreeCombo::contextMenuEvent(QContextMenuEvent* event) {
    event->accept();
}

bool TDirTreeCombo::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip && !showHint_) {
        event->accept();
        return true;
    }
    return QLineEdit::event(event);
}
