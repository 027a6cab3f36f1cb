// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/mainwindow.h"

#include "app/celldelegate.h"
#include "app/columns.h"
#include "app/detailspane.h"
#include "app/filelistview.h"
#include "app/fileopener.h"
#include "app/folderlistmodel.h"
#include "app/glyphs.h"
#include "app/helppage.h"
#include "app/listlocale.h"
#include "app/passwordcheck.h"
#include "app/qtpaths.h"
#include "app/rowfiltermodel.h"
#include "app/savedialog.h"
#include "app/sorting.h"
#include "app/startargs.h"
#include "common/errors.h"
#include "dirchooser/folderchooser.h"
#include "dirchooser/foldertree.h"
#include "jtext/filename.h"
#include "platform/platform.h"

#include <QApplication>
#include <QBoxLayout>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSettings>
#include <QShortcut>
#include <QSplitter>
#include <QStackedLayout>
#include <QStyle>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <utility>

namespace {

const QString kCaption = QStringLiteral("Pagewick Ver. 1.0");
const QSize kDesignSize(472, 333);
const QString kPasswordHint = QStringLiteral("パスワード（Enter で試します）");
const QString kLenientPasswordHint =
    QStringLiteral("パスワード（Enter で試します。空のパスワードも認めます）");
const int kListedFailures = 20;

// The design's measures: the outer margins of the rows, the gaps between them and the fixed
// widths of the controls that do not grow.
constexpr int kMarginLeft = 8, kMarginRight = 7, kMarginTop = 8, kMarginBottom = 4;
constexpr int kCaptionWidth = 32; // of "場所：", "種類：" and "名前："
constexpr int kGap = 7;           // between a field and the button beside it
constexpr int kButtonSize = 24;   // of the glyph buttons
constexpr int kFieldHeight = 20;
// The room between the filter (its right edge at 161) and the password field (at 240).
constexpr int kPasswordCaptionWidth = 240 - 161;
// The rows added to the design: the search above the list, the status line below all.
constexpr int kSearchRowHeight = kFieldHeight + 4;
constexpr int kStatusRowHeight = 18;

QString FromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

// The text of the box that lists the files the reader failed on in one listing.
QString FailedFilesMessage(const std::vector<ReadFailure>& failures) {
    QString text =
        QStringLiteral("次のファイルは読めませんでした（%1ファイル）：").arg(failures.size());
    for (size_t i = 0; i < failures.size() && i < size_t(kListedFailures); ++i)
        text += QStringLiteral("\r\n") + InertShown(failures[i].name) + QStringLiteral("：") +
                InertShown(failures[i].message);
    if (failures.size() > size_t(kListedFailures))
        text += QStringLiteral("\r\nほか%1ファイル").arg(failures.size() - kListedFailures);
    return text;
}

QToolButton* GlyphButton(QWidget* parent, const char* name, const QString& hint, Glyph glyph) {
    auto* button = new QToolButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setFixedSize(kButtonSize, kButtonSize);
    button->setToolTip(hint);
    button->setIconSize(QSize(16, 16));
    button->setIcon(GlyphIcon(glyph));
    return button;
}

// A caption in front of a control, in a slot of its own width.
QLabel* Caption(QWidget* parent, const char* name, const QString& text, int width) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->setFixedWidth(width);
    return label;
}

QHBoxLayout* Row(int marginLeft, int marginRight) {
    auto* row = new QHBoxLayout;
    row->setContentsMargins(marginLeft, 0, marginRight, 0);
    row->setSpacing(0);
    return row;
}

} // namespace

MainWindow::MainWindow(const QString& startFolder, QWidget* parent)
    : QDialog(parent), model_(new FolderListModel(this)), loader_(model_->loader()),
      startFolder_(startFolder.isEmpty() ? platform::CurrentFolderPath() : startFolder) {
    setObjectName(QStringLiteral("mainWindow"));
    setWindowTitle(kCaption);
    QApplication::setApplicationName(QStringLiteral("Pagewick"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    QFont font;
    // Each character takes the first family that has it. Japanese fonts come first, so a Han
    // character shared by Chinese and Japanese text is drawn in its Japanese form; Noto CJK
    // (Japanese cut, which also has Hangul) covers the characters they lack, the emoji font
    // the emoji.
    font.setFamilies({QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("IPAPGothic"),
                      QStringLiteral("Noto Sans CJK JP"), QStringLiteral("Noto Color Emoji")});
    font.setPixelSize(12);
    setFont(font);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Button);
    createControls();
    connectControls();
    orderTabs();
    setMinimumSize(kDesignSize + QSize(0, kSearchRowHeight + kStatusRowHeight));
    resize(minimumSize());
    restoreView();
    qApp->installEventFilter(this);
}

MainWindow::~MainWindow() {
    qApp->removeEventFilter(this);
}

// The controls in rows, as designed at 472 x 333 with the search and the status line added:
// the list takes what a larger window adds in height; the chooser, the search, the list and
// the name field what it adds in width, and the buttons at the right keep to the right edge.
void MainWindow::createControls() {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, kMarginTop, 0, kMarginBottom);
    layout->setSpacing(0);
    layout->addLayout(createLocationRow());
    layout->addSpacing(1);
    layout->addLayout(createSearchRow());
    createFileList();
    QHBoxLayout* list = Row(kMarginLeft + 1, kMarginRight);
    // The list and, hidden until asked for, the details pane beside it share the width.
    detailsPane_ = new DetailsPane(this);
    detailsPane_->hide();
    listSplitter_ = new QSplitter(Qt::Horizontal, this);
    listSplitter_->setObjectName(QStringLiteral("listSplitter"));
    listSplitter_->setChildrenCollapsible(false);
    listSplitter_->addWidget(fileList_);
    listSplitter_->addWidget(detailsPane_);
    listSplitter_->setStretchFactor(0, 1);
    listSplitter_->setStretchFactor(1, 0);
    list->addWidget(listSplitter_);
    layout->addLayout(list, 1);
    layout->addSpacing(kGap);
    layout->addLayout(createFilterRow());
    layout->addLayout(createNameRow());
    layout->addLayout(createStatusRow());
}

QLayout* MainWindow::createLocationRow() {
    exitButton_ = GlyphButton(this, "exitButton", QStringLiteral("終了"), Glyph::Exit);
    folderChooser_ = new FolderChooser(this);
    folderChooser_->setObjectName(QStringLiteral("folderChooser"));
    folderChooser_->setFixedHeight(kFieldHeight);
    folderChooser_->setToolTip(
        QStringLiteral("ファイルの場所（フォルダのパスを入力して Enter でも移動できます）"));
    upButton_ = GlyphButton(this, "upButton", QStringLiteral("１つ上のフォルダ"), Glyph::Up);
    helpButton_ = GlyphButton(this, "helpButton", QStringLiteral("ヘルプ"), Glyph::Help);
    detailsButton_ =
        GlyphButton(this, "detailsButton", QStringLiteral("詳細ペイン (F3)"), Glyph::Details);
    detailsButton_->setCheckable(true);
    // The help button reaches the window's right edge, as designed.
    QHBoxLayout* row = Row(kMarginLeft, 0);
    row->addWidget(exitButton_);
    row->addSpacing(8);
    row->addWidget(Caption(this, "locationLabel", QStringLiteral("場所："), kCaptionWidth), 0,
                   Qt::AlignVCenter);
    row->addWidget(folderChooser_, 1, Qt::AlignTop);
    row->addSpacing(kGap);
    row->addWidget(upButton_);
    row->addSpacing(8);
    row->addWidget(detailsButton_);
    row->addSpacing(8);
    row->addWidget(helpButton_);
    return row;
}

// The search: what is typed narrows the list to the rows that show it in some column.
QLayout* MainWindow::createSearchRow() {
    searchField_ = new QLineEdit(this);
    searchField_->setObjectName(QStringLiteral("searchField"));
    searchField_->setFixedHeight(kFieldHeight);
    searchField_->setClearButtonEnabled(true);
    searchField_->setPlaceholderText(QStringLiteral("名前やタイトルなどで絞り込み（Ctrl+F）"));
    searchField_->setToolTip(QStringLiteral("どの列の文字でも絞り込めます。大文字と小文字、全角と"
                                            "半角は区別しません。Esc で消します。"));
    searchCount_ = new QLabel(this);
    searchCount_->setObjectName(QStringLiteral("searchCount"));
    searchCount_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    searchCount_->setMinimumWidth(90);
    QHBoxLayout* row = Row(kMarginLeft, kMarginRight);
    row->setContentsMargins(kMarginLeft, 2, kMarginRight, 2);
    row->addWidget(Caption(this, "searchLabel", QStringLiteral("検索："), kCaptionWidth), 0,
                   Qt::AlignVCenter);
    row->addWidget(searchField_, 1);
    row->addSpacing(kGap);
    row->addWidget(searchCount_);
    return row;
}

void MainWindow::createFileList() {
    shown_ = new RowFilterModel(model_, this);
    fileList_ = new FileListView(this);
    fileList_->setObjectName(QStringLiteral("fileList"));
    fileList_->setIconSize(QSize(FileIconCache::kIconSize, FileIconCache::kIconSize));
    fileList_->setItemDelegate(new CellDelegate(fileList_));
    fileList_->setModel(shown_);
    std::vector<int> widths;
    for (const ColumnInfo& column : kColumns)
        widths.push_back(column.width);
    fileList_->setDefaultColumns(widths, kColumnCount);
    fileList_->applyColumnSettings(fileList_->defaultColumns());
    shown_->setSearchedColumns(fileList_->shownColumns());
    showSortIndicator();
}

QLayout* MainWindow::createFilterRow() {
    typeFilter_ = new QComboBox(this);
    typeFilter_->setObjectName(QStringLiteral("typeFilter"));
    typeFilter_->setFixedSize(121, kFieldHeight);
    typeFilter_->setToolTip(QStringLiteral("ファイルの種類"));
    typeFilter_->addItems({QStringLiteral("Pdf(*.pdf)"),
                           QStringLiteral("Pdf+画像(*jpg;*png;*.bmp;*.emf)"),
                           QStringLiteral("All(*.*)")});
    QWidget* caption = createPasswordCaption();
    passwordField_ = new QLineEdit(this);
    passwordField_->setObjectName(QStringLiteral("passwordField"));
    passwordField_->setFixedSize(81, kFieldHeight);
    passwordField_->setEchoMode(QLineEdit::Password);
    passwordField_->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));
    passwordField_->setAttribute(Qt::WA_InputMethodEnabled, false);
    passwordField_->setToolTip(kPasswordHint);
    refreshButton_ =
        GlyphButton(this, "refreshButton",
                    QStringLiteral("最新情報に更新（フォルダを読み直します。入力したパスワードも"
                                   "試します）"),
                    Glyph::Refresh);
    refreshButton_->setAccessibleName(QStringLiteral("最新情報に更新"));
    saveListButton_ = new QPushButton(QStringLiteral("一覧の保存"), this);
    saveListButton_->setObjectName(QStringLiteral("saveListButton"));
    saveListButton_->setFixedSize(105, kButtonSize);
    saveListButton_->setAutoDefault(false);

    QHBoxLayout* row = Row(kMarginLeft, kMarginRight);
    row->addWidget(Caption(this, "typeLabel", QStringLiteral("種類："), kCaptionWidth), 0,
                   Qt::AlignVCenter);
    row->addWidget(typeFilter_, 0, Qt::AlignTop);
    row->addWidget(caption);
    row->addWidget(passwordField_, 0, Qt::AlignTop);
    row->addSpacing(kGap);
    row->addWidget(refreshButton_);
    row->addStretch(1);
    row->addWidget(saveListButton_, 0, Qt::AlignTop);
    return row;
}

// The lenient-password option, hidden until the key chord, takes the place of the password's
// caption: the whole room between the filter and the field.
QWidget* MainWindow::createPasswordCaption() {
    auto* captionPage = new QWidget(this);
    QHBoxLayout* captionRow = Row(kGap, 0);
    captionPage->setLayout(captionRow);
    passwordLabel_ = new QLabel(QStringLiteral("パスワード："), captionPage);
    passwordLabel_->setObjectName(QStringLiteral("passwordLabel"));
    captionRow->addWidget(passwordLabel_, 0, Qt::AlignVCenter);
    auto* checkPage = new QWidget(this);
    QHBoxLayout* checkRow = Row(1, 0);
    checkPage->setLayout(checkRow);
    lenientCheck_ = new QCheckBox(QStringLiteral("パスワード："), checkPage);
    lenientCheck_->setObjectName(QStringLiteral("lenientCheck"));
    lenientCheck_->setToolTip(
        QStringLiteral("MultiByteパスワードを認める\r\n空パスワードを認める"));
    lenientCheck_->setFixedHeight(17);
    lenientCheck_->ensurePolished();
    // Where the style's box and gap leave too little room for the caption, the gap shrinks.
    if (lenientCheck_->sizeHint().width() > kPasswordCaptionWidth - 1)
        lenientCheck_->setStyleSheet(QStringLiteral("QCheckBox { spacing: 1px; }"));
    checkRow->addWidget(lenientCheck_, 1, Qt::AlignVCenter);
    passwordCaption_ = new QStackedLayout;
    passwordCaption_->addWidget(captionPage);
    passwordCaption_->addWidget(checkPage);
    auto* caption = new QWidget(this);
    caption->setFixedWidth(kPasswordCaptionWidth);
    caption->setLayout(passwordCaption_);
    return caption;
}

QLayout* MainWindow::createNameRow() {
    nameField_ = new QLineEdit(this);
    nameField_->setObjectName(QStringLiteral("nameField"));
    nameField_->setFixedHeight(kFieldHeight);
    nameField_->setReadOnly(true);
    nameField_->setToolTip(QStringLiteral("ファイルの名前"));
    // How far a listing has got, shown over the name field while it runs.
    scanProgress_ = new QLabel(this);
    scanProgress_->setObjectName(QStringLiteral("scanProgress"));
    scanProgress_->setFixedHeight(kFieldHeight);
    scanProgress_->setFrameShape(QFrame::StyledPanel);
    scanProgress_->setAutoFillBackground(true);
    auto* nameOrProgress = new QStackedLayout;
    nameOrProgress->setStackingMode(QStackedLayout::StackAll);
    nameOrProgress->addWidget(nameField_);
    nameOrProgress->addWidget(scanProgress_);
    nameOrProgress->setCurrentWidget(nameField_);
    scanProgress_->hide();
    openButton_ = new QPushButton(QStringLiteral("開く"), this);
    openButton_->setObjectName(QStringLiteral("openButton"));
    openButton_->setFixedSize(105, 25);
    openButton_->setAutoDefault(false);
    openButton_->setDefault(true);

    QHBoxLayout* row = Row(kMarginLeft, kMarginRight);
    row->addWidget(Caption(this, "nameLabel", QStringLiteral("名前："), kCaptionWidth), 0,
                   Qt::AlignVCenter);
    row->addLayout(nameOrProgress, 1);
    row->addSpacing(kGap);
    row->addWidget(openButton_);
    return row;
}

// The rows shown: how many files, pages and bytes, and the files that could not be read.
QLayout* MainWindow::createStatusRow() {
    statusLine_ = new QLabel(this);
    statusLine_->setObjectName(QStringLiteral("statusLine"));
    statusLine_->setFixedHeight(kStatusRowHeight);
    statusLine_->setTextFormat(Qt::PlainText);
    QHBoxLayout* row = Row(kMarginLeft, kMarginRight);
    row->addWidget(statusLine_, 1);
    return row;
}

void MainWindow::connectControls() {
    connect(exitButton_, &QToolButton::clicked, this, &MainWindow::close);
    connect(upButton_, &QToolButton::clicked, this, &MainWindow::goUp);
    connect(helpButton_, &QToolButton::clicked, this, &MainWindow::showHelp);
    connect(refreshButton_, &QToolButton::clicked, this, &MainWindow::refresh);
    connect(openButton_, &QPushButton::clicked, this, &MainWindow::openSelected);
    connect(saveListButton_, &QPushButton::clicked, this, &MainWindow::saveList);
    connect(folderChooser_, &FolderChooser::pathChanged, this, &MainWindow::folderChosen);
    connect(folderChooser_, &FolderChooser::pathTyped, this, &MainWindow::locationTyped);
    connect(typeFilter_, &QComboBox::activated, this, &MainWindow::filterChosen);
    connect(lenientCheck_, &QCheckBox::toggled, this, [this] {
        loader_->setSettings(currentSettings());
        detailsPane_->setPassword(currentSettings().password, lenientCheck_->isChecked());
    });
    connect(detailsButton_, &QToolButton::toggled, this, &MainWindow::showDetailsPane);
    connect(new QShortcut(QKeySequence(Qt::Key_F3), this), &QShortcut::activated, detailsButton_,
            &QToolButton::toggle);
    connect(searchField_, &QLineEdit::textChanged, this, &MainWindow::searchChanged);
    auto* find = new QShortcut(QKeySequence::Find, this);
    connect(find, &QShortcut::activated, this, [this] {
        searchField_->setFocus(Qt::ShortcutFocusReason);
        searchField_->selectAll();
    });
    connect(fileList_, &QTreeView::doubleClicked, this, &MainWindow::openHighlighted);
    connect(fileList_, &QWidget::customContextMenuRequested, this, &MainWindow::showRowMenu);
    connect(fileList_, &FileListView::copyRequested, this, &MainWindow::copySelectedRows);
    connect(fileList_, &FileListView::resetRequested, this, &MainWindow::resetView);
    connect(fileList_, &FileListView::shownColumnsChanged, this, [this] {
        shown_->setSearchedColumns(fileList_->shownColumns());
        readFeaturesWhenShown();
    });
    // The counts follow every change of the rows shown: a batch, a search, a new folder.
    for (const auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(shown_, signal, this, &MainWindow::showCounts);
    connect(shown_, &QAbstractItemModel::modelReset, this, &MainWindow::showCounts);
    connect(shown_, &QAbstractItemModel::layoutChanged, this, &MainWindow::showCounts);
    connect(shown_, &QAbstractItemModel::dataChanged, this, &MainWindow::showCounts);
    // However the highlight moved (arrows, Home and End, the page keys, typing a name's first
    // letters, the mouse), the name field shows the highlighted row.
    connect(fileList_, &QTreeView::clicked, this, &MainWindow::showHighlightedName);
    connect(fileList_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &MainWindow::showHighlightedName);
    connect(fileList_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &MainWindow::showHighlightedName);
    connect(fileList_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &MainWindow::showHighlightedDetails);
    connect(fileList_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &MainWindow::showHighlightedDetails);
    connect(fileList_->header(), &QHeaderView::sectionClicked, this, &MainWindow::headerClicked);
    connect(loader_, &FolderLoader::started, this, &MainWindow::listingStarted);
    connect(loader_, &FolderLoader::progressed, this, &MainWindow::listingProgressed);
    connect(loader_, &FolderLoader::finished, this, &MainWindow::listingFinished);
    connect(loader_, &FolderLoader::volumeRemoved, this, &MainWindow::volumeRemoved);
}

void MainWindow::orderTabs() {
    QWidget* order[] = {fileList_,   nameField_,      lenientCheck_, passwordField_, refreshButton_,
                        openButton_, saveListButton_, upButton_,     typeFilter_,    detailsButton_,
                        helpButton_, exitButton_,     folderChooser_, searchField_};
    for (size_t i = 1; i < std::size(order); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}

void MainWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (shownOnce_)
        return;
    shownOnce_ = true;
    // The filter's drop-down is as wide as its longest item.
    QString longest;
    for (int i = 0; i < typeFilter_->count(); ++i)
        if (typeFilter_->itemText(i).size() > longest.size())
            longest = typeFilter_->itemText(i);
    typeFilter_->view()->setMinimumWidth(
        QFontMetrics(typeFilter_->font()).horizontalAdvance(longest) +
        style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 10);
    // The first folder is opened once the window has been painted, so that the window appears
    // at once however long the opening's first questions take (on a share each waits for the
    // server); unless a folder was chosen meanwhile. One the system never paints opens it a
    // quarter second on all the same.
    QTimer::singleShot(250, this, &MainWindow::openStartFolder);
}

bool MainWindow::event(QEvent* event) {
    const bool handled = QDialog::event(event);
    if (event->type() == QEvent::Paint && shownOnce_ && !startOpened_)
        QTimer::singleShot(0, this, &MainWindow::openStartFolder);
    return handled;
}

void MainWindow::openStartFolder() {
    if (std::exchange(startOpened_, true) || !startPending_)
        return;
    folderChooser_->openPath(WithSlash(startFolder_));
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // Not QDialog's own: it would call reject(), which closes, from inside this close. The
    // listing is not waited for: its worker may hang in a system call for minutes.
    loader_->cancel();
    loader_->stopWatching();
    hourglass_.reset();
    keepView();
    event->accept();
}

void MainWindow::reject() {
    // Esc clears the search before it closes anything.
    if (!searchField_->text().isEmpty()) {
        searchField_->clear();
        fileList_->setFocus(Qt::OtherFocusReason);
        return;
    }
    close();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || widget->window() != this || event->type() != QEvent::KeyPress)
        return false;
    auto* key = static_cast<QKeyEvent*>(event);
    // Enter in the password field tries the password; it does not press the default button.
    if (widget == passwordField_ && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)) {
        applyPassword();
        return true;
    }
    // Enter in the search goes to the list, which then opens the highlighted row as usual.
    if (widget == searchField_ && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)) {
        fileList_->setFocus(Qt::OtherFocusReason);
        if (shown_->rowCount() > 0 && highlightedRow() < 0)
            highlightRow(0);
        return true;
    }
    return toggleLenientOption(key);
}

bool MainWindow::toggleLenientOption(QKeyEvent* event) {
    // The chord is Ctrl+Shift+7 on the main keyboard. With Shift held the key may arrive as
    // its shifted symbol ("&" on US, "'" on Japanese layouts), so the key code of the "7" key
    // (X11 keycode 16) counts as well.
    const auto mods =
        event->modifiers() & (Qt::ControlModifier | Qt::ShiftModifier | Qt::KeypadModifier);
    const bool seven = event->key() == Qt::Key_7 || event->nativeScanCode() == 16;
    if (mods != (Qt::ControlModifier | Qt::ShiftModifier) || !seven || !platform::KanaLockOn())
        return false;
    const bool show = passwordCaption_->currentIndex() == 0;
    lenientCheck_->setChecked(show);
    passwordCaption_->setCurrentIndex(show ? 1 : 0);
    passwordField_->setToolTip(show ? kLenientPasswordHint : kPasswordHint);
    event->accept();
    return true;
}

QString MainWindow::currentFolder() const {
    return folderChooser_->selectedPath();
}

ScanSettings MainWindow::currentSettings() const {
    // The password as typed: blanks are characters of it. The others typed this run are tried
    // after it on a file it does not open.
    const QString typed = passwordField_->text();
    ScanSettings settings;
    settings.fileMask = FileMaskForIndex(typeFilter_->currentIndex());
    settings.password = typed.toStdString();
    settings.lenientPassword = lenientCheck_->isChecked();
    settings.format = LocaleCellFormat();
    // The optional columns show what only a longer read of each document finds.
    const std::vector<int> shown = fileList_->shownColumns();
    settings.readFeatures =
        std::any_of(shown.begin(), shown.end(), [](int c) { return IsOptional(Column(c)); }) ||
        IsOptional(Column(std::abs(model_->sortColumn()) - 1));
    for (const QString& password : passwords_)
        if (password != typed)
            settings.otherPasswords.push_back(password.toStdString());
    return settings;
}

bool MainWindow::listing() const {
    return loader_->state() == FolderLoader::State::Listing;
}

void MainWindow::folderChosen(const QString& path) {
    // The chooser opens its folder again after rebuilding its tree for a change of some
    // folder it shows; the list changes only when its own folder does (the loader watches it).
    if (folderChooser_->reopening() && !loader_->listedFolder().isEmpty() &&
        WithSlash(path) == WithSlash(loader_->listedFolder())) {
        showListedPath(loader_->listedFolder()); // the rebuilt chooser shows only the name
        return;
    }
    if (IsDriveList(path)) {
        folderChooser_->openPath(platform::FallbackFolder());
        return;
    }
    listFolder(path);
}

void MainWindow::locationTyped(const QString& text) {
    QString typed = Trimmed(text);
    if (typed == QLatin1String("~") || typed.startsWith(QLatin1String("~/")))
        typed = QDir::homePath() + typed.mid(1);
    const StartPlace place = ResolveStartPlace(
        typed,
        WithSlash(loader_->listedFolder().isEmpty() ? currentFolder() : loader_->listedFolder()));
    if (!place.problem.isEmpty() || place.folder.isEmpty()) {
        // The list stays as it is, and so does the field, for the user to mend.
        platform::ShowMessageBox(
            {kCaption + QStringLiteral("の情報"),
             place.problem.isEmpty() ? QStringLiteral("場所を入力してください。") : place.problem,
             QMessageBox::Ok, QMessageBox::Warning, false, this});
        return;
    }
    if (!place.selectName.isEmpty())
        selectEntry(place.selectName);
    folderChooser_->openPath(WithSlash(place.folder));
}

void MainWindow::listFolder(const QString& path, Told told) {
    folderChooser_->tree()->closeUp();
    told_ = told;
    // The whole path shows while the folder is read, not the tree node's name alone.
    showListedPath(path);
    model_->loadFolder(path, currentSettings());
}

void MainWindow::filterChosen() {
    // Before the first listing there is nothing to list again: the first one takes the filter.
    if (!isVisible() || listing())
        return;
    listFolder(currentFolder(), Told::Nothing);
}

void MainWindow::applyPassword() {
    if (listing())
        return;
    const QString typed = passwordField_->text();
    if (!lenientCheck_->isChecked()) {
        const std::string problem = PasswordProblem(typed.toStdString());
        if (!problem.empty()) {
            platform::ShowMessageBox({QStringLiteral("Check"), FromUtf8(problem), QMessageBox::Ok,
                                      QMessageBox::NoIcon, false, this});
            if (!PasswordUsable(typed.toStdString())) {
                passwordField_->clear();
                return;
            }
        }
    }
    if (!typed.isEmpty() &&
        std::find(passwords_.begin(), passwords_.end(), typed) == passwords_.end())
        passwords_.push_back(typed);
    detailsPane_->setPassword(currentSettings().password, lenientCheck_->isChecked());
    listFolder(currentFolder(), Told::Nothing);
}

void MainWindow::searchChanged(const QString& text) {
    shown_->setSearchText(text);
    // The highlighted row stays in view while it is found.
    if (fileList_->currentIndex().isValid())
        fileList_->scrollTo(fileList_->currentIndex());
    showCounts();
}

void MainWindow::showCounts() {
    const CellFormat format = LocaleCellFormat();
    auto grouped = [&](int64_t n) { return FromUtf8(Grouped(n, format)); };
    searchCount_->setText(
        QStringLiteral("%1 / %2 件").arg(grouped(shown_->rowCount()), grouped(model_->rowCount())));
    const RowTotals totals = TotalsOf(shown_->shownRows());
    QString text = QStringLiteral("%1 ファイル　%2 頁　%3 バイト")
                       .arg(grouped(totals.files), grouped(totals.pages), grouped(totals.bytes));
    if (const size_t failed = model_->failures().size(); failed > 0)
        text += QStringLiteral("　読めないファイル %1").arg(grouped(int64_t(failed)));
    statusLine_->setText(text);
}

void MainWindow::listingStarted(bool quiet) {
    if (quiet)
        return; // a listing nobody asked for leaves the inputs and the cursor alone
    startPending_ = false;
    hourglass_ = std::make_unique<platform::WaitCursor>();
    setInputsEnabled(false);
}

void MainWindow::setInputsEnabled(bool enabled) {
    typeFilter_->setEnabled(enabled);
    passwordField_->setEnabled(enabled);
    lenientCheck_->setEnabled(enabled);
}

void MainWindow::listingProgressed(int done, int total) {
    const CellFormat format = LocaleCellFormat();
    scanProgress_->setText(QStringLiteral("読み込み中 %1 / %2")
                               .arg(FromUtf8(Grouped(done, format)),
                                    FromUtf8(Grouped(std::max(done, total), format))));
    if (!scanProgress_->isVisible()) {
        scanProgress_->show();
        scanProgress_->raise();
    }
}

void MainWindow::listingFinished(bool quiet, FolderLoader::Outcome outcome) {
    if (!quiet) {
        hourglass_.reset();
        scanProgress_->hide();
        setInputsEnabled(true);
    }
    if (outcome == FolderLoader::Outcome::Cancelled)
        return; // another folder is listed next, or the window closed
    if (outcome == FolderLoader::Outcome::Failed) {
        // A folder read again that can no longer be read: the list stays as it was, and
        // says why.
        if (quiet)
            fileList_->setToolTip(platform::PlainToolTip(loader_->error()));
        else
            showOneBox(loader_->error());
        return;
    }
    fileList_->setToolTip(QString());
    showCounts();
    if (quiet)
        return;
    listedOnce_ = true;
    nameField_->clear();
    fileList_->clearSelection();
    showListedPath(loader_->listedFolder());
    if (firstStart_)
        fitFirstStart();
    // The files the reader failed on are marked in the list and counted below it; a folder
    // the user listed tells them in a box too, once a run.
    if (!model_->failures().empty() && told_ == Told::Failures &&
        failuresTold_.insert(WithSlash(loader_->listedFolder())).second)
        showOneBox(FailedFilesMessage(model_->failures()));
    if (!pendingEntry_.isEmpty())
        selectPendingEntry();
    // A column shown while the folder was read.
    readFeaturesWhenShown();
}

void MainWindow::readFeaturesWhenShown() {
    if (isVisible() && listedOnce_ && !listing() && currentSettings().readFeatures &&
        !loader_->settings().readFeatures)
        listFolder(currentFolder(), Told::Nothing);
}

void MainWindow::volumeRemoved() {
    if (loader_->volumeGone(currentFolder())) {
        folderChooser_->rebuildTree();
        folderChooser_->openPath(platform::FallbackFolder());
    }
}

void MainWindow::restoreView() {
    const std::unique_ptr<QSettings> settings = OpenViewSettings();
    const ViewSettings view = LoadViewSettings(*settings, fileList_->defaultColumns());
    fileList_->applyColumnSettings(view.columns);
    model_->setSortColumn(view.sortColumn);
    showSortIndicator();
    firstStart_ = view.geometry.isEmpty() || !restoreGeometry(view.geometry);
    if (!firstStart_)
        return;
    // Until the first folder is read, two thirds of the screen, as wide as the columns at
    // their designed widths ask.
    int designed = 0;
    for (const int column : fileList_->shownColumns())
        designed += fileList_->columnWidth(column);
    if (const QScreen* display = screen())
        resize(FirstStartSize(designed + width() - fileList_->viewport()->width(), minimumSize(),
                              display->availableSize()));
}

void MainWindow::fitFirstStart() {
    firstStart_ = false;
    const int content = fileList_->fitColumnsToContents();
    const QScreen* display = screen();
    if (!display || isMaximized() || isFullScreen())
        return;
    const QSize size = FirstStartSize(content + width() - fileList_->viewport()->width() + 2,
                                      minimumSize(), display->availableSize());
    const QRect area = display->availableGeometry();
    setGeometry(QRect(area.center() - QPoint(size.width() / 2, size.height() / 2), size));
}

void MainWindow::keepView() const {
    const std::unique_ptr<QSettings> settings = OpenViewSettings();
    SaveViewSettings(*settings, {saveGeometry(), fileList_->columnSettings(), model_->sortColumn()},
                     fileList_->defaultColumns());
}

void MainWindow::resetView() {
    fileList_->applyColumnSettings(fileList_->defaultColumns());
    fileList_->fitColumnsToContents();
    if (!listing())
        model_->setSortColumn(1);
    showSortIndicator();
}

void MainWindow::showListedPath(QString path) {
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    folderChooser_->showText(path);
}

void MainWindow::showOneBox(const QString& text) {
    // Boxes are modal and run their own loop, in which another listing may end: that one's
    // message waits for no second box, the list marks its files.
    if (boxOpen_)
        return;
    boxOpen_ = true;
    platform::ShowErrorBox(text, this);
    boxOpen_ = false;
}
