// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/Unit1.h"
#include "app/qtpaths.h"

#include "app/columns.h"
#include "app/folderscan.h"
#include "app/glyphs.h"
#include "app/helppage.h"
#include "app/listlocale.h"
#include "app/rowmodel.h"
#include "app/sorting.h"
#include "common/errors.h"
#include "dirchooser/folderchooser.h"
#include "dirchooser/foldertree.h"
#include "jtext/cp932.h"
#include "pdf/pdfinfo.h"
#include "platform/platform.h"
#include "shellicons/fileiconcache.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileSystemWatcher>
#include <QFontMetrics>
#include <QHeaderView>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QLocale>
#include <QPointer>
#include <QPushButton>
#include <QResizeEvent>
#include <QScrollBar>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QToolButton>
#include <QToolTip>
#include <QTreeView>

#include <dirent.h>

namespace {

// How often a running scan adds the rows it found to the list.
constexpr qint64 kRowBatchMilliseconds = 200;

const QString kCaption = QStringLiteral("Pagewick Ver. 1.0");
const QSize kDesignSize(472, 333);
const QString kPasswordHint = QStringLiteral("パスワード(PrintableASCII Only)");
const int kListedFailures = 20;

QString FromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

// Shows a cell's whole text as its tooltip when the column is too narrow for it.
class CellDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override {
        if (event->type() != QEvent::ToolTip)
            return QStyledItemDelegate::helpEvent(event, view, option, index);
        // The reason a file could not be read, then the cell's whole text where it is cut off.
        QString text = index.data(Qt::ToolTipRole).toString();
        if (const QString cut = TruncatedText(view, option, index); !cut.isEmpty())
            text += (text.isEmpty() ? QString() : QStringLiteral("\n")) + cut;
        if (text.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(event->globalPos(), text, view->viewport(), option.rect);
        return true;
    }

    // The cell's text when it does not fit its cell, else nothing.
    QString TruncatedText(const QAbstractItemView* view, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const {
        QStyleOptionViewItem cell = option;
        initStyleOption(&cell, index);
        if (cell.text.isEmpty())
            return {};
        const QStyle* style = view->style();
        const QRect textRect = style->subElementRect(QStyle::SE_ItemViewItemText, &cell, view);
        const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 1;
        return cell.fontMetrics.horizontalAdvance(cell.text) > textRect.width() - 2 * margin
                   ? cell.text
                   : QString();
    }
};

bool IsDriveList(const QString& path) {
    return path.toLower() == QLatin1String("drives");
}

SaveDialogHandler& SaveDialogHook() {
    static SaveDialogHandler hook;
    return hook;
}

} // namespace

SaveDialogHandler SetSaveDialogHandler(SaveDialogHandler handler) {
    return std::exchange(SaveDialogHook(), std::move(handler));
}

QString FailedFilesMessage(const std::vector<ReadFailure>& failures) {
    QString text =
        QStringLiteral("次のファイルは読めませんでした（%1ファイル）：").arg(failures.size());
    for (size_t i = 0; i < failures.size() && i < size_t(kListedFailures); ++i)
        text += QStringLiteral("\r\n") + FromUtf8(failures[i].name) + QStringLiteral("：") +
                FromUtf8(failures[i].message);
    if (failures.size() > size_t(kListedFailures))
        text += QStringLiteral("\r\nほか%1ファイル").arg(failures.size() - kListedFailures);
    return text;
}

TForm1::TForm1(QWidget* parent) : TForm1(QString(), parent) {}

TForm1::TForm1(const QString& startFolder, QWidget* parent)
    : QDialog(parent), startFolder_(startFolder) {
    CreateControls();
    FormCreate();
}

TForm1::~TForm1() {
    qApp->removeEventFilter(this);
    // The view goes with the window's children, after the rows it shows.
    model_->Show(nullptr, 0);
    // The chooser goes first: it stops watching before the cache it shows icons of is gone.
    delete FDirCombo;
    delete FIconCache;
}

void TForm1::CreateControls() {
    // The controls are placed for this size; a larger window moves and widens them (Layout).
    resize(kDesignSize);
    setMinimumSize(kDesignSize);
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

    auto label = [this](const QString& text, int left, int top) {
        auto* l = new QLabel(text, this);
        l->move(left, top);
        l->adjustSize();
        return l;
    };
    auto glyphButton = [this](const QString& hint, int left, int top) {
        auto* b = new QToolButton(this);
        b->setGeometry(left, top, 24, 24);
        b->setToolTip(hint);
        b->setIconSize(QSize(16, 16));
        return b;
    };

    BitBtn4 = glyphButton(QStringLiteral("終了"), 8, 8);
    Label1 = label(QStringLiteral("場所："), 40, 13);
    Label5 = new QLabel(QStringLiteral("ここはDirComboboxの場所です。"), this);
    Label5->setGeometry(72, 8, 337, 20);
    Label5->setAlignment(Qt::AlignCenter);
    Label5->setAutoFillBackground(true);
    Label5->setStyleSheet(QStringLiteral("background: white;"));
    BitBtn1 = glyphButton(QStringLiteral("１つ上のフォルダ"), 416, 8);
    BitBtn3 = glyphButton(QStringLiteral("ヘルプ"), 448, 8);

    ListView1 = new QTreeView(this);
    ListView1->setGeometry(9, 33, 456, 240);
    ListView1->setRootIsDecorated(false);
    ListView1->setUniformRowHeights(true);
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView1->setSelectionMode(QAbstractItemView::SingleSelection);
    ListView1->setAllColumnsShowFocus(true);
    ListView1->setItemDelegate(new CellDelegate(ListView1));
    // The icons come from the icon cache, which is made later (FormCreate).
    model_ = new ListRowModel(
        [this](int image) {
            return FIconCache ? FIconCache->icon(image).pixmap(FileIconCache::kIconSize)
                              : QPixmap();
        },
        this);
    model_->Show(&rows_, 0);
    ListView1->setModel(model_);
    ListView1->header()->setSectionsClickable(true);
    ListView1->header()->setSortIndicatorShown(true);
    ListView1->header()->setStretchLastSection(false);
    for (int i = 0; i < kColumnCount; ++i)
        ListView1->setColumnWidth(i, kColumns[size_t(i)].width);

    Label3 = label(QStringLiteral("種類："), 8, 285);
    ComboBox1 = new QComboBox(this);
    ComboBox1->setGeometry(40, 280, 121, 20);
    ComboBox1->setToolTip(QStringLiteral("ファイルの種類"));
    ComboBox1->addItems({QStringLiteral("Pdf(*.pdf)"),
                         QStringLiteral("Pdf+画像(*jpg;*png;*.bmp;*.emf)"),
                         QStringLiteral("All(*.*)")});
    Label4 = label(QStringLiteral("パスワード："), 168, 285);
    CheckBox1 = new QCheckBox(QStringLiteral("パスワード："), this);
    CheckBox1->hide();
    MaskEdit1 = new QLineEdit(this);
    MaskEdit1->setGeometry(240, 280, 81, 20);
    MaskEdit1->setEchoMode(QLineEdit::Password);
    MaskEdit1->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));
    MaskEdit1->setAttribute(Qt::WA_InputMethodEnabled, false);
    MaskEdit1->setToolTip(kPasswordHint);
    BitBtn2 = glyphButton(QStringLiteral("最新情報に更新"), 328, 280);
    Button2 = new QPushButton(QStringLiteral("一覧の保存"), this);
    Button2->setGeometry(360, 280, 105, 25);
    Button2->setAutoDefault(false);
    PlaceCheckBox();
    Label2 = label(QStringLiteral("名前："), 8, 309);
    Edit1 = new QLineEdit(this);
    Edit1->setGeometry(40, 304, 313, 20);
    Edit1->setReadOnly(true);
    Edit1->setToolTip(QStringLiteral("ファイルの名前"));
    // How far a scan has got, shown over the name field while it runs.
    ScanProgress = new QLabel(this);
    ScanProgress->setGeometry(Edit1->geometry());
    ScanProgress->setFrameShape(QFrame::StyledPanel);
    ScanProgress->setAutoFillBackground(true);
    ScanProgress->hide();
    Button1 = new QPushButton(QStringLiteral("開く"), this);
    Button1->setGeometry(360, 304, 105, 25);
    Button1->setAutoDefault(false);
    Button1->setDefault(true);

    // How each control follows a larger window: the list grows both ways, the location row
    // and the name field grow in width, the buttons at the right move with the right edge and
    // the controls under the list move with the bottom edge.
    enum : unsigned { Widen = 1, Right = 2, Down = 4, Heighten = 8 };
    const std::pair<QWidget*, unsigned> anchors[] = {
        {Label5, Widen},         {BitBtn1, Right},
        {BitBtn3, Right},        {ListView1, Widen | Heighten},
        {Label3, Down},          {ComboBox1, Down},
        {Label4, Down},          {CheckBox1, Down},
        {MaskEdit1, Down},       {BitBtn2, Down},
        {Button2, Down | Right}, {Label2, Down},
        {Edit1, Down | Widen},   {Button1, Down | Right},
    };
    for (const auto& [widget, how] : anchors)
        anchors_.push_back({widget, widget->geometry(), (how & Widen) != 0, (how & Right) != 0,
                            (how & Down) != 0, (how & Heighten) != 0});

    connect(BitBtn1, &QToolButton::clicked, this, [this] { BitBtn1Click(); });
    connect(BitBtn2, &QToolButton::clicked, this, [this] { BitBtn2Click(); });
    connect(BitBtn3, &QToolButton::clicked, this, [this] { BitBtn3Click(); });
    connect(BitBtn4, &QToolButton::clicked, this, [this] { BitBtn4Click(); });
    connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
    connect(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });
    connect(ListView1, &QTreeView::clicked, this, [this] { ListView1Click(); });
    connect(ListView1, &QTreeView::doubleClicked, this, [this] { ListView1DblClick(); });
    // However the highlight moved (arrows, Home and End, the page keys, typing a name's first
    // letters, the mouse), the name field shows the highlighted row.
    connect(ListView1->selectionModel(), &QItemSelectionModel::currentChanged, this, [this] {
        if (!rearranging_)
            ListView1Click();
    });
    connect(ListView1->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (!rearranging_)
            ListView1Click();
    });
    connect(ListView1->header(), &QHeaderView::sectionClicked, this,
            [this](int column) { ListView1ColumnClick(column); });
    connect(ComboBox1, &QComboBox::activated, this, [this] { ComboBox1Change(); });
    connect(MaskEdit1, &QLineEdit::textChanged, this, [this] { MaskEdit1Change(); });
}

void TForm1::FormCreate() {
    setWindowTitle(kCaption);
    QApplication::setApplicationName(QStringLiteral("Pagewick"));
    FFileMask = "*.pdf";
    Edit1->clear();
    MaskEdit1->clear();
    ComboBox1->setCurrentIndex(0);

    const std::pair<QToolButton*, Glyph> glyphs[] = {{BitBtn1, Glyph::Up},
                                                     {BitBtn2, Glyph::Refresh},
                                                     {BitBtn3, Glyph::Help},
                                                     {BitBtn4, Glyph::Exit}};
    for (const auto& [button, glyph] : glyphs) {
        button->setText(QString());
        button->setIcon(GlyphIcon(glyph));
    }
    BitBtn3->setEnabled(!HelpFile().isEmpty());

    FSortColumn = 1;
    FFolderImageIndex = 0;
    FIconCache = new FileIconCache;
    ListView1->setIconSize(QSize(FileIconCache::kIconSize, FileIconCache::kIconSize));

    CheckBox1->setToolTip(QStringLiteral("MultiByteパスワードを認める\r\n空パスワードを認める"));

    FDirCombo = new FolderChooser(this);
    FDirCombo->setGeometry(72, 8, 337, 20);
    anchors_.push_back({FDirCombo, FDirCombo->geometry(), true, false, false, false});
    LayoutControls();
    connect(FDirCombo, &FolderChooser::pathChanged, this,
            [this](const QString& path) { PathChanged(FDirCombo, path); });
    FDirCombo->setToolTip(QStringLiteral("ファイルの場所"));

    setTabOrder(ListView1, Edit1);
    QWidget* order[] = {ListView1, Edit1,   CheckBox1, MaskEdit1, BitBtn2, Button1,
                        Button2,   BitBtn1, ComboBox1, BitBtn3,   BitBtn4, FDirCombo};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);

    mountWatcher_ = new platform::MountWatcher(this);
    connect(mountWatcher_, &platform::MountWatcher::volumeRemoved, this,
            [this] { DeviceRemoved(); });
    qApp->installEventFilter(this);

    // The first folder is listed once the window shows, so the window appears at once
    // however long that takes.
    if (startFolder_.isEmpty())
        startFolder_ = platform::CurrentFolderPath();
    listWatcher_ = new QFileSystemWatcher(this);
    connect(listWatcher_, &QFileSystemWatcher::directoryChanged, this,
            [this] { ListedFolderChanged(); });
    quietTimer_ = new QTimer(this);
    quietTimer_->setSingleShot(true);
    connect(quietTimer_, &QTimer::timeout, this, [this] { QuietRescan(); });
    FReady = true;
}

void TForm1::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!shownOnce_) {
        shownOnce_ = true;
        FormShow();
        QTimer::singleShot(0, this, [this] {
            startPending_ = false;
            if (scansRun_ == 0) // unless a folder was chosen already
                FDirCombo->openPath(WithSlash(startFolder_));
        });
    }
}

// Shown, the check box takes the place of the label "パスワード：" beneath it: it covers the
// label whole, between the filter and the password field, and the label is hidden meanwhile,
// so that the caption is drawn once.
void TForm1::PlaceCheckBox() {
    const QRect label = Label4->geometry();
    const int left = ComboBox1->geometry().right() + 2;
    const int right = std::max(MaskEdit1->x() - 1, label.right());
    // Where the style's box and gap leave too little room for the caption, the gap shrinks.
    if (CheckBox1->sizeHint().width() > right - left + 1)
        CheckBox1->setStyleSheet(QStringLiteral("QCheckBox { spacing: 1px; }"));
    const int top = std::min(label.top(), 282);
    const int bottom = std::max(label.bottom(), 282 + 17 - 1);
    CheckBox1->setGeometry(QRect(QPoint(left, top), QPoint(right, bottom)));
    CheckBox1->setAutoFillBackground(true);
}

void TForm1::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    LayoutControls();
}

void TForm1::LayoutControls() {
    const int dx = std::max(0, width() - kDesignSize.width());
    const int dy = std::max(0, height() - kDesignSize.height());
    for (const ControlAnchor& a : anchors_) {
        QRect r = a.design;
        if (a.widen)
            r.setWidth(r.width() + dx);
        if (a.heighten)
            r.setHeight(r.height() + dy);
        r.translate(a.moveRight ? dx : 0, a.moveDown ? dy : 0);
        if (a.widget->geometry() != r)
            a.widget->setGeometry(r);
    }
}

void TForm1::FormShow() {
    QString longest;
    for (int i = 0; i < ComboBox1->count(); ++i)
        if (ComboBox1->itemText(i).size() > longest.size())
            longest = ComboBox1->itemText(i);
    const int width = QFontMetrics(ComboBox1->font()).horizontalAdvance(longest) +
                      style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 10;
    ComboBox1->view()->setMinimumWidth(width);
}

void TForm1::closeEvent(QCloseEvent* event) {
    // A scan in progress finishes first; the window closes when it returns.
    if (scanning_) {
        // The running scan ends at its next entry, and the window closes when it returns.
        closeRequested_ = true;
        cancelScan_ = true;
        event->ignore();
        return;
    }
    // Not QDialog's own: it would call reject(), which is the exit button here and so would
    // close again from inside this close, which Qt ignores, and the window would stay open.
    event->accept();
}

void TForm1::reject() {
    BitBtn4Click();
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || widget->window() != this)
        return false;
    return event->type() == QEvent::KeyPress && FormShortCut(static_cast<QKeyEvent*>(event));
}

bool TForm1::FormShortCut(QKeyEvent* event) {
    // The chord is Ctrl+Shift+7 on the main keyboard. With Shift held the key may arrive as
    // its shifted symbol ("&" on US, "'" on Japanese layouts), so the key code of the "7" key
    // (X11 keycode 16) counts as well.
    const auto mods =
        event->modifiers() & (Qt::ControlModifier | Qt::ShiftModifier | Qt::KeypadModifier);
    const bool seven = event->key() == Qt::Key_7 || event->nativeScanCode() == 16;
    if (mods != (Qt::ControlModifier | Qt::ShiftModifier) || !seven || !platform::KanaLockOn())
        return false;
    if (CheckBox1->isVisible()) {
        CheckBox1->setChecked(false);
        CheckBox1->hide();
        Label4->show();
        MaskEdit1->setToolTip(kPasswordHint);
    } else {
        CheckBox1->setChecked(true);
        CheckBox1->show();
        Label4->hide();
        CheckBox1->raise();
        MaskEdit1->setToolTip(QStringLiteral("パスワード"));
    }
    event->accept();
    return true;
}

void TForm1::MaskEdit1Change() {
    if (CheckBox1->isChecked())
        return;
    if (IsPrintableAscii(Trimmed(MaskEdit1->text()).toStdString()))
        return;
    platform::ShowMessageBox(
        {QStringLiteral("Check"),
         QStringLiteral(
             "Error:パスワードは英数字のみです。記号、日本語（２バイト文字は使えません。）"),
         QMessageBox::Ok, QMessageBox::NoIcon, false, this});
    MaskEdit1->clear();
}

QString TForm1::CurrentFolder() const {
    return FDirCombo ? FDirCombo->selectedPath() : QString();
}

QString TForm1::HelpFile() const {
    for (const QString& help : HelpPageCandidates(platform::ExecutablePath()))
        if (platform::FindAssociatedProgram(help))
            return help;
    return {};
}

void TForm1::PathChanged(QObject* sender, const QString& newPath) {
    if (scanning_) {
        // Scans do not nest: the chooser can still commit a folder while the listing runs,
        // and a scan inside it would mix two folders' rows. The running scan is ended and
        // that folder listed next.
        pendingPath_ = newPath;
        cancelScan_ = true;
        return;
    }
    // The chooser opens its folder again after rebuilding its tree for a change of some
    // folder it shows; the list changes only when its own folder does (listWatcher_).
    if (FDirCombo->reopening() && !listedFolder_.isEmpty() &&
        WithSlash(newPath) == WithSlash(listedFolder_)) {
        ShowListedPath(listedFolder_); // the rebuilt chooser shows only the folder's name
        return;
    }
    const bool quiet = quietScan_;
    std::optional<platform::WaitCursor> hourglass;
    if (!quiet)
        hourglass.emplace();
    if (IsDriveList(newPath)) {
        FDirCombo->openPath(platform::FallbackFolder());
        return;
    }
    // The chooser stays open to the user: a folder chosen while this scan runs ends it and
    // is listed next. A scan nobody asked for leaves the inputs and the focus alone too: the
    // handlers stay out while scanning_ is set.
    if (!quiet) {
        for (QWidget* w : {static_cast<QWidget*>(ComboBox1), static_cast<QWidget*>(MaskEdit1),
                           static_cast<QWidget*>(CheckBox1)})
            w->setEnabled(false);
    }
    FReady = false;
    scanning_ = true;
    ++scansRun_;
    cancelScan_ = false;
    failures_.clear();
    // What the user sees of the list is kept through a quiet scan and put back after it.
    const int highlighted = CurrentRow();
    const std::optional<std::string> keptName =
        quiet && highlighted >= 0 ? std::optional<std::string>(rows_[size_t(highlighted)].caption)
                                  : std::nullopt;
    const int keptScroll = ListView1->verticalScrollBar()->value();
    // A quiet scan shows the rows it had until it is done, and leaves them if it fails.
    std::vector<ListRow> keptRows;
    if (quiet) {
        keptRows = std::move(rows_);
        model_->Relocated(&keptRows);
    }
    QString error;
    QString listed = newPath;
    try {
        rows_.clear();
        if (!quiet) {
            model_->SetFailures({});
            model_->Show(&rows_, 0);
        }
        sinceItemsShown_.start(); // a folder listed within this time shows its rows sorted at once
        if (!quiet)
            FDirCombo->tree()->closeUp();
        const auto attributes = platform::FileAttributes(newPath);
        if (!attributes || (*attributes & (platform::faDirectory | platform::faVolumeID)) == 0) {
            if (attributes)
                listed = FolderPart(newPath);
        }
        const auto volume = platform::VolumeOfPath(listed);
        listedVolume_ = volume ? volume->mountPoint : QString();
        StartProgress(listed, !quiet);
        ScanList(listed);
        if (quiet) {
            rearranging_ = true;
            model_->Show(&rows_, 0);
            rearranging_ = false;
        }
        SortList();
    } catch (const std::exception& e) {
        error = QString::fromUtf8(e.what());
    }
    if (quiet && !error.isEmpty()) {
        // The folder could not be read again: the list stays as it was, and says why.
        rows_ = std::move(keptRows);
        model_->Relocated(&rows_);
    } else {
        if (quiet)
            model_->Show(&rows_, 0);
        model_->ShowMore(rows_.size()); // the scan stopped before its rows were shown
        model_->SetFailures(failures_);
    }
    if (keptName) {
        if (const int row = model_->RowOf(*keptName); row >= 0) {
            rearranging_ = true;
            ListView1->selectionModel()->setCurrentIndex(model_->index(row, 0),
                                                         QItemSelectionModel::ClearAndSelect |
                                                             QItemSelectionModel::Rows);
            rearranging_ = false;
        }
        ListView1->verticalScrollBar()->setValue(keptScroll);
    }
    EndProgress();
    platform::ProcessPendingEvents();
    FReady = true;
    scanning_ = false;
    for (QWidget* w : {static_cast<QWidget*>(ComboBox1), static_cast<QWidget*>(MaskEdit1),
                       static_cast<QWidget*>(CheckBox1)})
        w->setEnabled(true);
    const bool cancelled = std::exchange(cancelScan_, false);
    if (quiet && !error.isEmpty()) {
        ListView1->setToolTip(error);
    } else if (error.isEmpty()) {
        ListView1->setToolTip(QString());
        if (!quiet) {
            Edit1->clear();
            ListView1->clearSelection();
        }
        if (!quiet)
            ShowListedPath(listed);
        WatchListedFolder(listed);
    } else {
        ShowOneBox(error);
    }
    // The files the reader failed on are marked in the list; a scan the user started also
    // says so in a box, unless it was ended early.
    if (!failures_.empty() && !quiet && !cancelled && !closeRequested_)
        ShowOneBox(FailedFilesMessage(failures_));
    if (closeRequested_) {
        close();
        return;
    }
    if (pendingPath_) {
        const QString next = *std::exchange(pendingPath_, std::nullopt);
        const bool wasQuiet = std::exchange(quietScan_, false);
        PathChanged(sender, next);
        quietScan_ = wasQuiet;
    }
}

void TForm1::ShowListedPath(QString path) {
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    FDirCombo->showText(path);
}

void TForm1::ShowOneBox(const QString& text) {
    // Boxes are modal and run their own loop, in which another scan may end: that one's
    // message waits for no second box, the list marks its files.
    if (boxOpen_)
        return;
    boxOpen_ = true;
    platform::ShowErrorBox(text, this);
    boxOpen_ = false;
}

int TForm1::CountEntries(const QString& folder) {
    // Names only, nothing looked up: the count is at hand at once even on slow storage.
    // Hidden names are left out as the listing leaves them out.
    int count = 0;
    if (DIR* dir = ::opendir(platform::PathToBytes(folder).c_str())) {
        while (const dirent* entry = ::readdir(dir)) {
            const char* name = entry->d_name;
            if (name[0] != '.' || (name[1] == '.' && name[2] == '\0' && folder != "/"))
                ++count;
        }
        ::closedir(dir);
    }
    return count;
}

void TForm1::StartProgress(const QString& folder, bool visible) {
    progressDone_ = 0;
    progressTotal_ = visible ? CountEntries(folder) : 0;
    progressShown_.invalidate();
    ScanProgress->setVisible(false);
    showProgress_ = visible;
}

void TForm1::ShowProgress() {
    if (!showProgress_)
        return;
    // A few times a second is enough to see it move.
    if (progressShown_.isValid() && progressShown_.elapsed() < 100)
        return;
    progressShown_.start();
    const CellFormat format = LocaleCellFormat();
    ScanProgress->setText(
        QStringLiteral("読み込み中 %1 / %2")
            .arg(FromUtf8(Grouped(progressDone_, format)),
                 FromUtf8(Grouped(std::max(progressDone_, progressTotal_), format))));
    if (!ScanProgress->isVisible()) {
        ScanProgress->setGeometry(Edit1->geometry());
        ScanProgress->show();
        ScanProgress->raise();
    }
}

void TForm1::EndProgress() {
    showProgress_ = false;
    ScanProgress->hide();
}

void TForm1::WatchListedFolder(const QString& folder) {
    const QStringList watched = listWatcher_->directories();
    const bool watching = watched.size() == 1 && WithSlash(folder) == WithSlash(listedFolder_);
    listedFolder_ = folder;
    if (watching)
        return;
    if (!watched.isEmpty())
        listWatcher_->removePaths(watched);
    const QString path =
        folder.size() > 1 && folder.endsWith(QLatin1Char('/')) ? folder.chopped(1) : folder;
    // A folder that cannot be watched (an inotify limit) only costs the live updates. The
    // watch holds the folder itself and outlives the handle it was set up through.
    const platform::WatchableFolder handle(path);
    if (!handle.path().isEmpty())
        listWatcher_->addPath(handle.path());
}

void TForm1::ListedFolderChanged() {
    // Changes come in bursts (a download, an unpacked archive): they are gathered, and the
    // list is read again at most once a second.
    if (quietTimer_->isActive())
        return;
    const qint64 since = sinceQuietScan_.isValid() ? sinceQuietScan_.elapsed() : 1000;
    quietTimer_->start(int(std::clamp<qint64>(1000 - since, 200, 1000)));
}

void TForm1::QuietRescan() {
    if (scanning_ || !isVisible()) {
        if (scanning_)
            quietTimer_->start(1000);
        return;
    }
    const QString folder = CurrentFolder();
    if (folder.isEmpty() || IsDriveList(folder))
        return;
    sinceQuietScan_.start();
    quietScan_ = true;
    PathChanged(this, folder);
    quietScan_ = false;
}

void TForm1::ScanList(const QString& folder) {
    ScanEvents events;
    events.imageIndex = [this](const platform::WalkedFolder& at, const platform::FindData& entry) {
        // Every folder entry shows the folder icon; the listed folder stands for all of them.
        const bool isFolder = (entry.attr & platform::faDirectory) != 0;
        const int index = FIconCache->iconIndex(
            platform::PathFromBytes(isFolder ? at.path : at.path + entry.bytes), isFolder);
        if (entry.attr & platform::faDirectory)
            FFolderImageIndex = index;
        return index;
    };
    events.onRow = [this](ListRow&& row) {
        rows_.push_back(std::move(row));
        // A quiet scan shows its rows only when it is done, in place of the old ones.
        if (!quietScan_ &&
            (!sinceItemsShown_.isValid() || sinceItemsShown_.elapsed() >= kRowBatchMilliseconds))
            ShowPendingItems();
    };
    events.onFailure = [this](const ReadFailure& failure) { failures_.push_back(failure); };
    // The Kana-lock chord may switch the option during the scan; a file read ahead with the
    // earlier settings is then read again with the current ones.
    events.currentSettings = [this] { return CurrentScanSettings(); };
    const QPointer<TForm1> alive(this);
    // Esc, the exit button, closing the window or another folder end the scan here, after the
    // entry at hand.
    events.keepGoing = [this, &alive] {
        ++progressDone_;
        ShowProgress();
        platform::ProcessPendingEvents();
        return !alive.isNull() && !cancelScan_;
    };
    ScanFolder(platform::PathToBytes(folder), CurrentScanSettings(), {}, events);
}

ScanSettings TForm1::CurrentScanSettings() const {
    const std::string password = Trimmed(MaskEdit1->text()).toStdString();
    return {FFileMask, Utf8ToCp932(password), CheckBox1->isChecked(), LocaleCellFormat(), password};
}

void TForm1::ShowPendingItems() {
    model_->ShowMore(rows_.size());
    sinceItemsShown_.start();
}

void TForm1::SortList() {
    // Rows found since the last batch join the list before it is put in order.
    model_->ShowMore(rows_.size());
    sinceItemsShown_.invalidate();
    const int current = CurrentRow();
    rearranging_ = true;
    model_->BeginRearrange();
    model_->EndRearrange(SortRowsByLocale(rows_, FSortColumn));
    rearranging_ = false;
    // The highlighted row stays highlighted at its new place.
    if (current >= 0)
        ListView1->scrollTo(ListView1->currentIndex());
    ShowSortIndicator();
}

void TForm1::ShowSortIndicator() {
    ListView1->header()->setSortIndicator(
        std::abs(FSortColumn) - 1, FSortColumn > 0 ? Qt::AscendingOrder : Qt::DescendingOrder);
}

int TForm1::CurrentRow() const {
    const QItemSelectionModel* selection = ListView1->selectionModel();
    const QModelIndex current = ListView1->currentIndex();
    if (current.isValid() && selection->isSelected(current.siblingAtColumn(0)))
        return current.row();
    const QModelIndexList selected = selection->selectedRows();
    return selected.isEmpty() ? -1 : selected.first().row();
}

void TForm1::HighlightRow(int row) {
    const QModelIndex index = model_->index(row, 0);
    ListView1->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                            QItemSelectionModel::Rows);
    ListView1->scrollTo(index);
}

int TForm1::SelectedIndex() const {
    const int i = CurrentRow();
    return i >= 0 && size_t(i) < rows_.size() && size_t(i) < model_->Shown() ? i : -1;
}

void TForm1::ComboBox1Change() {
    if (!isVisible())
        return;
    if (scanning_) {
        // Only a quiet scan leaves the filter enabled: it ends, and the folder is listed anew
        // with the filter chosen.
        if (ComboBox1->isEnabled()) {
            FFileMask = FileMaskForIndex(ComboBox1->currentIndex());
            pendingPath_ = CurrentFolder();
            cancelScan_ = true;
        }
        return;
    }
    FFileMask = FileMaskForIndex(ComboBox1->currentIndex());
    PathChanged(this, CurrentFolder());
}

// Whether the listed folder can no longer be read where it was: the drive list, a volume
// that is not ready, or a folder that now lies on another volume. The last is how a removed
// stick shows here: its mount point stays behind as an empty folder of the volume beneath,
// which is ready.
bool TForm1::ListedVolumeGone() const {
    const QString current = CurrentFolder();
    if (IsDriveList(current) || !platform::DriveAvailable(current))
        return true;
    const auto volume = platform::VolumeOfPath(current);
    return !volume || (!listedVolume_.isEmpty() && volume->mountPoint != listedVolume_);
}

void TForm1::BitBtn2Click() {
    if (scanning_)
        return;
    const QString target = ListedVolumeGone() ? platform::FallbackFolder() : CurrentFolder();
    FDirCombo->rebuildTree();
    FDirCombo->openPath(target);
}

void TForm1::DeviceRemoved() {
    if (!FReady)
        return;
    if (ListedVolumeGone()) {
        FDirCombo->rebuildTree();
        FDirCombo->openPath(platform::FallbackFolder());
    }
}

void TForm1::ListView1ColumnClick(int column) {
    if (scanning_) {
        // The header has already moved its indicator by itself; the order did not change.
        ShowSortIndicator();
        return;
    }
    FSortColumn = SortColumnAfterClick(FSortColumn, column);
    SortList();
}
