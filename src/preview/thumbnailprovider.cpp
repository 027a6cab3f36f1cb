// SPDX-License-Identifier: GPL-3.0-or-later
#include "preview/thumbnailprovider.h"

#include "platform/pathnames.h"
#include "thumbnail/thumbnailprotocol.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QProcess>
#include <QTimer>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace thumbnail;

// A PNG of 256 x 256 pixels stays far below this; a helper that writes more is not drawing
// a thumbnail.
constexpr qint64 kLargestHelperOutput = 4 << 20;

// What the user reads when no preview comes.
namespace reason {
QString CannotOpen(const QString& path) {
    return QStringLiteral("ファイル %1 は開けません").arg(platform::PathForDisplay(path));
}
QString NotAFile(const QString& path) {
    return QStringLiteral("%1 は通常のファイルではありません").arg(platform::PathForDisplay(path));
}
const QString kFailedBefore = QStringLiteral(
    "このファイルのプレビューは以前に作れませんでした。ファイルが変わるまで作り直しません。");
const QString kNoHelper =
    QStringLiteral("プレビューを作るプログラム pagewick-thumbnail がインストールされていません。");
const QString kCannotStart = QStringLiteral("プレビューを作るプログラムを起動できません。");
const QString kTimedOut =
    QStringLiteral("プレビューの作成が制限時間（%1 秒）内に終わりませんでした。")
        .arg(kTimeLimitSeconds);
const QString kCrashed = QStringLiteral("プレビューを作るプログラムが途中で終了しました"
                                        "（壊れたファイルか、制限を超えるファイルです）。");
const QString kUnreadable =
    QStringLiteral("最初のページを表示できません（PDF ではないか、壊れています）。");
const QString kOverMemory = QStringLiteral("プレビューの作成がメモリの制限（%1 MiB）を超えました。")
                                .arg(kMemoryLimitBytes >> 20);
const QString kNoSandbox =
    QStringLiteral("この環境ではプレビューを作るプログラムを隔離できないため、"
                   "プレビューを作りません（Landlock が使えません）。");
QString HelperFailed(int exitCode) {
    return QStringLiteral("プレビューを作れませんでした（終了コード %1）。").arg(exitCode);
}
} // namespace reason

// path made absolute and freed of "." and "..", as bytes: the URI must be the same however the
// caller spelled the path.
std::string AbsolutePathBytes(const QString& path) {
    const QString absolute = path.startsWith(QLatin1Char('/'))
                                 ? path
                                 : platform::CurrentFolderPath() + QLatin1Char('/') + path;
    return platform::PathToBytes(QDir::cleanPath(absolute));
}

// The helper's picture, when it is a PNG whose longer side is exactly size.
QImage DecodeHelperImage(QByteArray png, ThumbnailSize size) {
    QBuffer buffer(&png);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "png");
    const QSize header = reader.size();
    if (!header.isValid() || std::max(header.width(), header.height()) != int(size) ||
        std::min(header.width(), header.height()) < 1)
        return {};
    const QImage image = reader.read();
    return image.size() == header ? image : QImage();
}

} // namespace

struct ThumbnailProvider::Job {
    QString path;
    ThumbnailSize size;
    ThumbnailSource source;
    QProcess* process = nullptr;
    QTimer* clock = nullptr; // the wall-clock limit
    bool timedOut = false;
    bool tooMuchOutput = false;
};

ThumbnailProvider::ThumbnailProvider(QObject* parent)
    : QObject(parent), helper_(DefaultThumbnailHelper()) {}

ThumbnailProvider::~ThumbnailProvider() {
    cancel();
}

template <typename Emit> void ThumbnailProvider::answerLater(Emit emitResult) {
    QMetaObject::invokeMethod(
        this,
        [this, generation = generation_, emitResult] {
            if (generation == generation_)
                emitResult();
        },
        Qt::QueuedConnection);
}

void ThumbnailProvider::request(const QString& path, ThumbnailSize size,
                                const QByteArray& password) {
    cancel();
    const std::string bytes = AbsolutePathBytes(path);
    // Without waiting: a FIFO named .pdf must not stop the window.
    const int fd = open(bytes.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return answerLater([this, path] { emit failed(path, reason::CannotOpen(path)); });
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return answerLater([this, path] { emit failed(path, reason::NotAFile(path)); });
    }
    auto job = std::make_unique<Job>();
    job->path = path;
    job->size = size;
    job->source = {FileUri(bytes), int64_t(st.st_mtim.tv_sec), int64_t(st.st_size)};

    QImage cached = ReadThumbnail(ThumbnailPath(job->source.uri, size), job->source, size);
    if (!cached.isNull()) {
        close(fd);
        return answerLater([this, path, cached] { emit ready(path, cached); });
    }
    if (HasFailureEntry(job->source)) {
        close(fd);
        return answerLater([this, path] { emit failed(path, reason::kFailedBefore); });
    }
    if (helper_.isEmpty()) {
        close(fd);
        return answerLater([this, path] { emit failed(path, reason::kNoHelper); });
    }
    startHelper(std::move(job), fd, password);
}

void ThumbnailProvider::startHelper(std::unique_ptr<Job> job, int fd, const QByteArray& password) {
    auto* process = new QProcess(this);
    job->process = process;
    job_ = std::move(job);
    process->setProgram(helper_);
    process->setArguments({QStringLiteral("--size"), QString::number(int(job_->size)),
                           QStringLiteral("--fd"), QString::number(fd)});
    // poppler's complaints about damaged files are of no use to the user.
    process->setStandardErrorFile(QProcess::nullDevice());
    // The file stays closed to every other program the window starts; only the helper gets it.
    process->setChildProcessModifier([fd] { fcntl(fd, F_SETFD, 0); });
    connect(process, &QProcess::finished, this, [this](int exitCode, QProcess::ExitStatus status) {
        helperFinished(exitCode, status == QProcess::CrashExit);
    });
    // Queued, as a program that cannot be started may be reported inside start().
    connect(
        process, &QProcess::errorOccurred, this,
        [this, process, generation = generation_](QProcess::ProcessError error) {
            if (error != QProcess::FailedToStart || generation != generation_)
                return;
            const QString path = job_->path;
            job_.reset();
            process->deleteLater();
            emit failed(path, reason::kCannotStart);
        },
        Qt::QueuedConnection);
    connect(process, &QProcess::readyReadStandardOutput, this, [this, process] {
        if (job_ && job_->process == process && process->bytesAvailable() > kLargestHelperOutput) {
            job_->tooMuchOutput = true;
            process->kill();
        }
    });
    job_->clock = new QTimer(process);
    job_->clock->setSingleShot(true);
    job_->clock->setTimerType(Qt::PreciseTimer); // a coarse timer may fire 5 % early
    connect(job_->clock, &QTimer::timeout, this, [this, process] {
        if (job_ && job_->process == process) {
            job_->timedOut = true;
            process->kill();
        }
    });
    job_->clock->start(kTimeLimitSeconds * 1000);
    process->start(QIODevice::ReadWrite);
    close(fd); // the child has its own copy now
    if (process->state() != QProcess::NotRunning) {
        process->write(password);
        process->closeWriteChannel();
    }
}

void ThumbnailProvider::helperFinished(int exitCode, bool crashed) {
    const std::unique_ptr<Job> job = std::move(job_);
    job->clock->stop();
    job->process->deleteLater();
    const QString& path = job->path;
    // A file that crashed the helper, hung it or was refused is not tried again until it
    // changes; a failure of this machine (no helper, no sandbox) is no fault of the file.
    auto fail = [&](const QString& reason) {
        WriteFailureEntry(job->source);
        emit failed(path, reason);
    };
    if (job->timedOut)
        return fail(reason::kTimedOut);
    if (crashed || job->tooMuchOutput)
        return fail(reason::kCrashed);
    switch (exitCode) {
    case kRendered:
    case kRenderedWithPassword: {
        const QImage image = DecodeHelperImage(job->process->readAllStandardOutput(), job->size);
        if (image.isNull())
            return fail(reason::kCrashed);
        if (exitCode == kRendered)
            WriteThumbnail(ThumbnailPath(job->source.uri, job->size), image, job->source);
        emit ready(path, image);
        return;
    }
    case kLocked:
        emit locked(path);
        return;
    case kUnreadable:
        return fail(reason::kUnreadable);
    case kOverMemory:
        return fail(reason::kOverMemory);
    case kNoSandbox:
        emit failed(path, reason::kNoSandbox);
        return;
    default:
        emit failed(path, reason::HelperFailed(exitCode));
    }
}

void ThumbnailProvider::cancel() {
    ++generation_;
    if (!job_)
        return;
    QProcess* process = job_->process;
    job_->clock->stop();
    job_.reset();
    disconnect(process, nullptr, this, nullptr);
    if (process->state() == QProcess::NotRunning) {
        process->deleteLater();
    } else {
        connect(process, &QProcess::finished, process, &QObject::deleteLater);
        process->kill();
    }
}

QString DefaultThumbnailHelper() {
    const QString folder = QCoreApplication::applicationDirPath();
    for (const QString& candidate :
         {folder + QStringLiteral("/pagewick-thumbnail"),
          folder + QStringLiteral("/" PAGEWICK_LIBEXEC_FROM_BIN "/pagewick-thumbnail")}) {
        if (QFileInfo(candidate).isExecutable())
            return QDir::cleanPath(candidate);
    }
    return {};
}
