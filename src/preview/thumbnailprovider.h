// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// First-page previews for the window: from the shared thumbnail cache (thumbnailcache.h) when
// it holds a current one, else drawn by the helper program pagewick-thumbnail in a process of
// its own, limited in time and memory and shut off from everything but the file
// (src/thumbnail). Nothing of a PDF is rendered in the window's process.

#include "preview/thumbnailcache.h"

#include <QByteArray>
#include <QImage>
#include <QObject>
#include <QString>
#include <cstdint>
#include <memory>

class QProcess;
class QTimer;

class ThumbnailProvider : public QObject {
    Q_OBJECT
public:
    explicit ThumbnailProvider(QObject* parent = nullptr);
    ~ThumbnailProvider() override;

    // The helper it starts: DefaultThumbnailHelper() at first; tests put another program in
    // its place. With none, previews come from the cache alone.
    void setHelperProgram(const QString& program) { helper_ = program; }
    QString helperProgram() const { return helper_; }

    // Asks for the preview of the PDF at path (as platform::PathFromBytes carries it; a relative
    // path is taken from the current folder). Exactly one of ready, failed or locked follows,
    // always after request has returned, unless a new request or cancel comes first: one
    // preview is made at a time, and the one still being made is dropped (its helper killed).
    // The file is opened here and its modification time and size are the ones the cache is
    // checked against. The password, used only for a file that does not open without one, goes
    // to the helper's standard input. A preview that needed the password is not cached: the
    // cache must not show what the protection hides.
    void request(const QString& path, ThumbnailSize size = ThumbnailSize::Normal,
                 const QByteArray& password = QByteArray());
    // Drops the request being answered, if any; no signal follows for it.
    void cancel();

signals:
    // The preview of path: its longer side is the size asked for (or smaller, from a cache
    // entry that another program made of a smaller page).
    void ready(const QString& path, const QImage& image);
    // No preview can be made of path; reason says why, in a sentence for the user.
    void failed(const QString& path, const QString& reason);
    // path is protected and the password (none, or the one given) does not open it: show the
    // lock, not a preview.
    void locked(const QString& path);

private:
    struct Job;
    // Emits through emitResult once request has returned, unless the request is dropped first.
    template <typename Emit> void answerLater(Emit emitResult);
    void startHelper(std::unique_ptr<Job> job, int fd, const QByteArray& password);
    void helperFinished(int exitCode, bool crashed);

    QString helper_;
    std::unique_ptr<Job> job_; // the helper at work, if any
    uint64_t generation_ = 0;  // counts requests, so that a dropped one's answer is not sent
};

// The helper beside the running executable (the build tree), else in libexec/pagewick of the
// installed tree; empty when neither is there.
QString DefaultThumbnailHelper();
