// SPDX-License-Identifier: GPL-3.0-or-later
#include "dirchooser/folderchooser.h"

#include "dirchooser/foldertree.h"
#include "platform/pathnames.h"
#include "platform/volumes.h"
#include "platform/watchers.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QContextMenuEvent>
#include <QDir>
#include <QEnterEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QStringListModel>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QTimer>
#include <QToolButton>
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

// The drop-down button. A right click does nothing at all (no context menu).
class DropDownButton : public QToolButton {
public:
    explicit DropDownButton(QWidget* parent) : QToolButton(parent) {
        setObjectName(QStringLiteral("dropDownButton"));
        setFocusPolicy(Qt::NoFocus);
        setContextMenuPolicy(Qt::PreventContextMenu);
        setCursor(Qt::ArrowCursor);
        setArrowType(Qt::DownArrow);
    }

protected:
    void mouseReleaseEvent(QMouseEvent* event) override {
        if (event->button() == Qt::RightButton) {
            event->accept();
            return;
        }
        QToolButton::mouseReleaseEvent(event);
    }
    void contextMenuEvent(QContextMenuEvent* event) override { event->accept(); }
};

} // namespace

FolderChooser::FolderChooser(QWidget* parent) : QLineEdit(parent) {
    resize(216, 21);
    completions_ = new QStringListModel(this);
    completer_ = new QCompleter(completions_, this);
    completer_->setCaseSensitivity(Qt::CaseSensitive);
    completer_->setCompletionMode(QCompleter::PopupCompletion);
    setCompleter(completer_);
    connect(this, &QLineEdit::textEdited, this, [this](const QString& typed) {
        editing_ = true;
        awaitedPath_.clear(); // the user has moved on from a folder a share is slow to answer for
        completeFolders(typed);
    });

    button_ = new DropDownButton(this);
    button_->setGeometry(0, 0, kButtonWidth, kButtonWidth);
    connect(button_, &QToolButton::clicked, this, &FolderChooser::dropDown);

    tree_ = new FolderTree(this, &icons_);
    tree_->resize(0, kTreeHeight);
    // The chooser's keys work in the open tree too.
    tree_->installEventFilter(this);
    connect(tree_, &FolderTree::folderListed, this,
            [this](const QString& folder, const std::vector<std::string>& subfolders) {
                if (folderWatcher_)
                    folderWatcher_->watch(folder, subfolders);
            });
    connect(tree_, &FolderTree::nodeCommitted, this, &FolderChooser::nodeCommitted);
    // Without the focus the tree's selection shows in the colours of an unselected node.
    QPalette palette = tree_->palette();
    palette.setColor(QPalette::Inactive, QPalette::Highlight,
                     palette.color(QPalette::Active, QPalette::Base));
    palette.setColor(QPalette::Inactive, QPalette::HighlightedText,
                     palette.color(QPalette::Active, QPalette::Text));
    tree_->setPalette(palette);

    // A watcher that cannot be set up only costs the live updates.
    mountWatcher_ = new platform::MountWatcher(this);
    folderWatcher_ = new platform::FolderWatcher(this);
    connect(mountWatcher_, &platform::MountWatcher::changeNotified, this,
            [this](long code, const QString&) { scheduleNotification(code); });
    connect(folderWatcher_, &platform::FolderWatcher::changeNotified, this,
            [this](long code, const QString&) { scheduleNotification(code); });

    tree_->loadDrives();
    tree_->expandNode(tree_->rootNode());
    if (!tree_->selectedNode()) {
        QTreeWidgetItem* root = tree_->rootNode();
        imageIndex_ = FolderTree::imageIndexOf(root);
        showText(root ? root->text(0) : QString());
        tree_->setSelectedPath(kDrivesPath);
    }
    updateEditRect();
}

FolderChooser::~FolderChooser() {
    // The tree reports to the chooser; it goes first, while the chooser is still whole.
    delete tree_;
    tree_ = nullptr;
}

void FolderChooser::showText(const QString& text) {
    editing_ = false;
    shownText_ = platform::PathForDisplay(text);
    setText(shownText_);
}

void FolderChooser::completeFolders(const QString& typed) {
    // The subfolders of the folder the typed text ends in, by their full paths; hidden ones
    // only once a "." begins the name typed.
    const qsizetype slash = typed.lastIndexOf(QLatin1Char('/'));
    if (slash < 0)
        return;
    const QString folder = typed.left(slash + 1);
    const bool hidden = typed.mid(slash + 1).startsWith(QLatin1Char('.'));
    const QString key = folder + (hidden ? QStringLiteral(".") : QString());
    if (key == completedFolder_)
        return;
    const auto listing = platform::SubfolderNamesInTime(folder);
    if (!listing)
        return; // asked again at the next key, once the share has answered
    completedFolder_ = key;
    QStringList paths;
    if (const auto& names = *listing) {
        for (const std::string& name : *names)
            if (hidden || name.front() != '.')
                paths << folder + platform::PathFromBytes(name) + QLatin1Char('/');
    }
    paths.sort(Qt::CaseInsensitive);
    completions_->setStringList(paths);
}

QString FolderChooser::selectedPath() const {
    return tree_->selectedPath();
}

void FolderChooser::setSelectedPath(const QString& path) {
    if (path.compare(tree_->selectedPath(), Qt::CaseInsensitive) != 0)
        tree_->setSelectedPath(path);
}

QTreeWidgetItem* FolderChooser::selectedNode() const {
    return tree_->selectedNode();
}

void FolderChooser::setSelectedNode(QTreeWidgetItem* node) {
    tree_->selectNode(node);
}

void FolderChooser::setImageIndex(int index) {
    imageIndex_ = index;
    updateEditRect();
    update();
}

void FolderChooser::showNode(QTreeWidgetItem* node) {
    if (!node)
        return;
    setImageIndex(FolderTree::imageIndexOf(node));
    showText(node->text(0));
}

void FolderChooser::openPath(const QString& path) {
    if (path.isEmpty())
        return;
    // One character names no folder, except the root of the file system. A relative path
    // would depend on the working folder of the moment.
    if ((path.size() == 1 && path != QLatin1String("/")) || !path.startsWith(QLatin1Char('/')))
        return;
    if (path != awaitedPath_)
        awaitedPath_.clear(); // another folder chosen meanwhile
    const auto answer = platform::FileInfoOfInTime(path);
    if (!answer) {
        if (!reopening_)
            awaitFolder(path);
        return;
    }
    awaitedPath_.clear();
    if (!*answer || !((*answer)->attr & platform::faDirectory))
        return;
    const QString target = WithTrailingSlash(path);
    tree_->selectPath(target);
    showNode(tree_->selectedNode());
    setSelectedPath(target);
    if (folderWatcher_)
        folderWatcher_->watch(target);
    emit pathChanged(selectedPath());
}

// A share waking up is slow, not gone: a folder on one that did not answer within the wait is
// asked again every quarter second (at once: its late answer, or nothing while it is still
// unanswered) and opened once it answers, unless another folder was chosen meanwhile or the
// user is typing another into the field. Half a minute on, the user has given up on it, and a
// late answer would move the list unasked.
void FolderChooser::awaitFolder(const QString& path) {
    if (awaitedPath_.isEmpty()) {
        awaitedPath_ = path;
        awaitingSince_.start();
    } else if (awaitingSince_.hasExpired(30'000)) {
        awaitedPath_.clear();
        return;
    }
    QTimer::singleShot(250, this, [this, path] {
        if (awaitedPath_ == path)
            openPath(path);
    });
}

void FolderChooser::rebuildTree() {
    const bool updates = tree_->updatesEnabled();
    tree_->setUpdatesEnabled(false);
    tree_->setCurrentItem(nullptr);
    folderWatcher_->clear();
    tree_->loadDrives();
    tree_->setUpdatesEnabled(updates);
}

void FolderChooser::dropDown() {
    setFocus(Qt::OtherFocusReason);
    QPoint point = mapToGlobal(QPoint(0, height()));
    if (const QScreen* display = screen()) {
        const QRect area = display->geometry();
        if (area.top() + area.height() < kTreeHeight + point.y())
            point = mapToGlobal(QPoint(0, -kTreeHeight));
    }
    tree_->setGeometry(point.x(), point.y(), width(), kTreeHeight);
    if (tree_->isOpen()) {
        tree_->lower();
        tree_->closeUp();
    } else {
        tree_->open();
    }
}

void FolderChooser::scheduleNotification(long eventCode) {
    // A burst of changes (several folders made at once) rebuilds the tree once.
    if (!IsRebuildCode(eventCode))
        return;
    pendingCode_ = eventCode;
    if (notificationPending_)
        return;
    notificationPending_ = true;
    QTimer::singleShot(0, this, [this] {
        notificationPending_ = false;
        notifyChange(pendingCode_);
    });
}

void FolderChooser::notifyChange(long eventCode) {
    if (!IsRebuildCode(eventCode))
        return;
    const QString remembered = selectedPath();
    const bool updates = updatesEnabled();
    setUpdatesEnabled(false);
    rebuildTree();
    QTreeWidgetItem* root = tree_->rootNode();
    if (root && !root->isExpanded())
        tree_->expandNode(root);
    if (!remembered.isEmpty()) {
        reopening_ = true;
        openPath(remembered);
        reopening_ = false;
    }
    setUpdatesEnabled(updates);
}

void FolderChooser::nodeCommitted() {
    const QString path = tree_->selectedPath();
    showNode(tree_->selectedNode());
    awaitedPath_.clear();
    emit pathChanged(path);
}

void FolderChooser::enterKey() {
    if (!tree_->selectedNode())
        return;
    // Closed before the check of the drive, whose warning must not sit beneath the popup.
    if (tree_->isOpen())
        tree_->closeUp();
    tree_->applySelection();
    const QString path = tree_->selectedPath();
    // Shown before the event, as a click in the tree does: the listener may list another
    // folder than the node's (the window lists a real one for the drive list) and show it,
    // and what it shows must stay.
    showNode(tree_->selectedNode());
    if (tree_->isVisible())
        setFocus(Qt::OtherFocusReason);
    tree_->lower();
    tree_->setEnabled(false);
    tree_->hide();
    awaitedPath_.clear();
    emit pathChanged(path);
}

void FolderChooser::arrowKey(int key) {
    QTreeWidgetItem* root = tree_->rootNode();
    if (!tree_->selectedNode() && root) {
        tree_->selectNode(root);
        tree_->expandNode(root);
    }
    QTreeWidgetItem* node = tree_->selectedNode();
    if (!node)
        return;
    switch (key) {
    case Qt::Key_Right:
        tree_->expandNode(node);
        break;
    case Qt::Key_Left: {
        if (node->isExpanded())
            tree_->collapseNode(node);
        QTreeWidgetItem* previous = tree_->itemAbove(node);
        const int index = tree_->indexOfTopLevelItem(node);
        const bool siblingIsRoot = index > 0 && tree_->topLevelItem(index - 1) == root;
        if (node == root || previous == root || siblingIsRoot || !previous)
            return;
        tree_->selectNode(previous);
        break;
    }
    case Qt::Key_Down:
        if (tree_->isOpen()) {
            if (QTreeWidgetItem* next = tree_->itemBelow(node))
                tree_->selectNode(next);
        } else {
            dropDown();
        }
        break;
    case Qt::Key_Up:
        if (QTreeWidgetItem* previous = tree_->itemAbove(node))
            tree_->selectNode(previous);
        break;
    default:
        break;
    }
}

bool FolderChooser::handleKey(QKeyEvent* event) {
    // Typing: the keys edit the text, Enter reports it and Esc shows the folder again.
    if (editing_ && !tree_->isOpen()) {
        switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (completer_->popup()->isVisible())
                completer_->popup()->hide();
            emit pathTyped(text());
            return true;
        case Qt::Key_Escape:
            completer_->popup()->hide();
            editing_ = false;
            setText(shownText_);
            return true;
        case Qt::Key_F4:
        case Qt::Key_F5:
            break;
        default:
            return false;
        }
    }
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        enterKey();
        return true;
    case Qt::Key_Escape:
        if (!tree_->isOpen())
            return false;
        tree_->closeUp();
        return true;
    case Qt::Key_Left:
    case Qt::Key_Up:
    case Qt::Key_Right:
    case Qt::Key_Down:
        arrowKey(event->key());
        return true;
    case Qt::Key_F4:
        dropDown();
        if (tree_->isVisible())
            tree_->setFocus(Qt::PopupFocusReason);
        return true;
    case Qt::Key_F5:
        rebuildTree();
        openPath(selectedPath());
        return true;
    default:
        return false;
    }
}

void FolderChooser::updateEditRect() {
    const bool hasIcon = imageIndex_ >= 0 && imageIndex_ < icons_.count();
    QStyleOptionFrame option;
    initStyleOption(&option);
    const QRect contents = style()->subElementRect(QStyle::SE_LineEditContents, &option, this);
    // The text ends two pixels short of the button.
    const int right = qMax(0, contents.right() + 1 - (button_->geometry().left() - 2));
    setTextMargins(hasIcon ? kIconMargin : 0, 0, right, 0);
}

void FolderChooser::resizeEvent(QResizeEvent* event) {
    QLineEdit::resizeEvent(event);
    const int buttonHeight = qMax(0, height() - 4);
    button_->setGeometry(width() - kButtonWidth - 4, (height() - buttonHeight) / 2, kButtonWidth,
                         buttonHeight);
    updateEditRect();
}

void FolderChooser::paintEvent(QPaintEvent* event) {
    QLineEdit::paintEvent(event);
    if (imageIndex_ < 0 || imageIndex_ >= icons_.count())
        return;
    QStyleOptionFrame option;
    initStyleOption(&option);
    const QRect contents = style()->subElementRect(QStyle::SE_LineEditContents, &option, this);
    QPainter painter(this);
    icons_.draw(painter, contents.left() + 5, height() / 2 - NodeIcons::kSize / 2, imageIndex_);
}

void FolderChooser::keyPressEvent(QKeyEvent* event) {
    if (handleKey(event)) {
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

bool FolderChooser::eventFilter(QObject* watched, QEvent* event) {
    if (watched == tree_ && event->type() == QEvent::KeyPress &&
        handleKey(static_cast<QKeyEvent*>(event))) {
        event->accept();
        return true;
    }
    return QLineEdit::eventFilter(watched, event);
}

void FolderChooser::wheelEvent(QWheelEvent* event) {
    const int key = event->angleDelta().y() > 0 ? Qt::Key_Up : Qt::Key_Down;
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    keyPressEvent(&press);
    event->accept();
}

void FolderChooser::enterEvent(QEnterEvent* event) {
    if (tree_->isVisible())
        showHint_ = false;
    else if (!toolTip().trimmed().isEmpty())
        showHint_ = true;
    QLineEdit::enterEvent(event);
}

void FolderChooser::leaveEvent(QEvent* event) {
    showHint_ = false;
    QLineEdit::leaveEvent(event);
}

void FolderChooser::focusOutEvent(QFocusEvent* event) {
    // Opening the tree takes the focus into the popup; only a real loss of focus closes it.
    if (event->reason() != Qt::PopupFocusReason && tree_->isOpen()) {
        tree_->hide();
        tree_->setEnabled(false);
    }
    QLineEdit::focusOutEvent(event);
}

bool FolderChooser::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip && !showHint_) {
        event->accept();
        return true;
    }
    return QLineEdit::event(event);
}
