// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/detailspane.h"

#include "app/glyphs.h"
#include "app/listlocale.h"
#include "pdf/documentreader.h"
#include "platform/platform.h"
#include "preview/thumbnailprovider.h"

#include <QGridLayout>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QScrollArea>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>

#include <cmath>
#include <exception>
#include <memory>

namespace {

// Arrow keys held down move the highlight faster than files are read: only the row the
// highlight stops on is.
constexpr int kSettleMilliseconds = 100;
constexpr int kLockSide = 64;

QString FromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

QLabel* TextLabel(const QString& text, const char* name = nullptr) {
    auto* label = new QLabel(text);
    if (name)
        label->setObjectName(QLatin1String(name));
    label->setTextFormat(Qt::PlainText); // a title of "<b>" shows as written
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

// A text that wraps to the pane's width: a long word is cut at the edge rather than widening
// the pane's content past its scroll area.
QLabel* WrappingLabel(const QString& text, const char* name = nullptr) {
    QLabel* label = TextLabel(text, name);
    label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    return label;
}

// A note takes room only when it says something.
void SetNote(QLabel* note, const QString& text) {
    note->setText(text);
    note->setVisible(!text.isEmpty());
}

QString Inert(const QString& text) {
    std::string scratch;
    const std::string utf8 = text.toStdString();
    return FromUtf8(std::string(InertText(utf8, false, scratch)));
}

// What the worker thread hands back.
struct ReadResult {
    std::vector<DetailLine> lines;
    QString error;
};

} // namespace

DetailsPane::DetailsPane(QWidget* parent)
    : QWidget(parent), thumbnails_(new ThumbnailProvider(this)), settle_(new QTimer(this)) {
    setObjectName(QStringLiteral("detailsPane"));
    settle_->setSingleShot(true);
    settle_->setInterval(kSettleMilliseconds);
    connect(settle_, &QTimer::timeout, this, &DetailsPane::update);
    connect(thumbnails_, &ThumbnailProvider::ready, this, &DetailsPane::previewReady);
    connect(thumbnails_, &ThumbnailProvider::failed, this, &DetailsPane::previewFailed);
    connect(thumbnails_, &ThumbnailProvider::locked, this, &DetailsPane::previewLocked);

    auto* content = new QWidget;
    auto* column = new QVBoxLayout(content);
    name_ = WrappingLabel({}, "detailsName");
    QFont bold = name_->font();
    bold.setBold(true);
    name_->setFont(bold);
    preview_ = new QLabel;
    preview_->setObjectName(QStringLiteral("detailsPreview"));
    preview_->setAlignment(Qt::AlignCenter);
    preview_->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    previewNote_ = WrappingLabel({}, "previewNote");
    previewNote_->setAlignment(Qt::AlignCenter);
    readNote_ = WrappingLabel({}, "readNote");
    grid_ = new QWidget;
    gridLayout_ = new QGridLayout(grid_);
    gridLayout_->setContentsMargins(0, 0, 0, 0);
    gridLayout_->setColumnStretch(1, 1);
    column->addWidget(name_);
    column->addWidget(preview_, 0, Qt::AlignHCenter);
    column->addWidget(previewNote_);
    column->addWidget(readNote_);
    column->addWidget(grid_);
    column->addStretch(1);
    auto* scroll = new QScrollArea(this);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setWidget(content);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(scroll);
    setMinimumWidth(200);
}

void DetailsPane::showFile(const QString& path) {
    if (path == path_)
        return;
    path_ = path;
    if (!isVisible())
        return;
    clear();
    settle_->start();
}

void DetailsPane::setPassword(const std::string& password, bool lenient) {
    if (password == password_ && lenient == lenient_)
        return;
    password_ = password;
    lenient_ = lenient;
    shownStale_ = true;
    if (isVisible())
        settle_->start();
}

void DetailsPane::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    update();
}

void DetailsPane::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    // Nothing is read for a hidden pane; it reads its file again when it shows.
    settle_->stop();
    clear();
}

void DetailsPane::update() {
    settle_->stop();
    if (!isVisible() || (path_ == shown_ && !shownStale_))
        return;
    clear();
    shown_ = path_;
    shownStale_ = false;
    const uint64_t generation = generation_;
    if (shown_.isEmpty())
        return;
    const QString display = platform::PathForDisplay(shown_);
    name_->setText(Inert(display.mid(display.lastIndexOf(QLatin1Char('/')) + 1)));
    SetNote(previewNote_, QStringLiteral("プレビューを作成しています…"));
    SetNote(readNote_, QStringLiteral("読み込んでいます…"));
    thumbnails_->request(shown_, ThumbnailSize::Large, QByteArray::fromStdString(password_));

    auto result = std::make_shared<ReadResult>();
    QThread* worker = QThread::create([result, path = platform::PathToBytes(shown_),
                                       options = ReadOptions{password_, lenient_, true},
                                       format = LocaleCellFormat()] {
        try {
            result->lines = DetailLines(ReadPdfInfo(path, options), format);
        } catch (const std::exception& e) {
            result->error = QString::fromUtf8(e.what());
        }
    });
    // A worker stuck on a dead share is left to end when it can: the pane reads the next file
    // on a worker of its own, and the late answer is dropped.
    connect(worker, &QThread::finished, worker, &QObject::deleteLater);
    connect(worker, &QThread::finished, this, [this, result, generation] {
        if (generation != generation_)
            return;
        SetNote(readNote_, result->error.isEmpty()
                               ? QString()
                               : QStringLiteral("読めませんでした：") + Inert(result->error));
        showLines(std::move(result->lines));
    });
    worker->start();
}

void DetailsPane::clear() {
    ++generation_;
    thumbnails_->cancel();
    shown_.clear();
    showLines({});
    name_->clear();
    setPreview({}, false);
    SetNote(previewNote_, {});
    SetNote(readNote_, {});
}

void DetailsPane::showLines(std::vector<DetailLine> lines) {
    while (QLayoutItem* item = gridLayout_->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    lines_ = std::move(lines);
    int row = 0;
    for (const DetailLine& line : lines_) {
        if (line.heading) {
            QLabel* heading = WrappingLabel(FromUtf8(line.label));
            QFont bold = heading->font();
            bold.setBold(true);
            heading->setFont(bold);
            heading->setContentsMargins(0, row > 0 ? 8 : 0, 0, 0);
            gridLayout_->addWidget(heading, row++, 0, 1, 2);
            continue;
        }
        QLabel* label = TextLabel(FromUtf8(line.label));
        label->setForegroundRole(QPalette::PlaceholderText);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        gridLayout_->addWidget(label, row, 0, Qt::AlignTop);
        gridLayout_->addWidget(WrappingLabel(FromUtf8(line.value)), row++, 1, Qt::AlignTop);
    }
}

void DetailsPane::setPreview(const QImage& image, bool framed) {
    preview_->setFrameShape(framed ? QFrame::Box : QFrame::NoFrame);
    image_ = framed ? image : QImage();
    if (image.isNull()) {
        preview_->clear();
        preview_->hide();
        return;
    }
    // A page is kept to what leaves the pane room for the properties below it, and is never
    // drawn larger than it was made.
    const qreal ratio = devicePixelRatioF();
    const QSize room = QSize(std::max(64, width() - 40), std::max(96, height() * 2 / 5)) * ratio;
    QPixmap pixmap = QPixmap::fromImage(
        framed && (image.width() > room.width() || image.height() > room.height())
            ? image.scaled(room, Qt::KeepAspectRatio, Qt::SmoothTransformation)
            : image);
    pixmap.setDevicePixelRatio(ratio);
    const int frame = framed ? 1 : 0;
    preview_->setFixedSize(
        (pixmap.deviceIndependentSize() + QSizeF(2 * frame, 2 * frame)).toSize());
    preview_->setPixmap(pixmap);
    preview_->show();
}

void DetailsPane::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (!image_.isNull())
        setPreview(QImage(image_), true);
}

void DetailsPane::previewReady(const QString& path, const QImage& image) {
    if (path != shown_)
        return;
    setPreview(image, true);
    SetNote(previewNote_, {});
}

void DetailsPane::previewFailed(const QString& path, const QString& reason) {
    if (path != shown_)
        return;
    setPreview({}, false);
    SetNote(previewNote_,
            QStringLiteral("プレビューを表示できません") +
                (reason.isEmpty() ? QString() : QStringLiteral("：") + Inert(reason)));
}

void DetailsPane::previewLocked(const QString& path) {
    if (path != shown_)
        return;
    const qreal ratio = devicePixelRatioF();
    QImage lock = GlyphPixmap(Glyph::Lock, int(std::ceil(kLockSide * ratio / 16))).toImage();
    setPreview(lock, false);
    SetNote(previewNote_, password_.empty()
                              ? QStringLiteral("パスワードで保護されています。パスワードを入力"
                                               "するとプレビューを表示します")
                              : QStringLiteral("パスワードで保護されています。入力された"
                                               "パスワードでは開けません"));
}
