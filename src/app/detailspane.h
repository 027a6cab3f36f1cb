// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The details pane: every property of the highlighted file in words (detaillines.h) under a
// preview of its first page. The file is read on a worker thread and the preview is drawn by
// the preview helper's process, so neither a slow share nor a hostile file holds up the window;
// an answer that arrives after the highlight moved on is dropped.

#include "app/detaillines.h"

#include <QImage>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <string>
#include <vector>

class QGridLayout;
class QLabel;
class QTimer;
class ThumbnailProvider;

class DetailsPane : public QWidget {
    Q_OBJECT
public:
    explicit DetailsPane(QWidget* parent = nullptr);

    // The file to show (as platform::PathFromBytes carries it); empty: none. A hidden pane reads
    // nothing, and shows the file when it is shown.
    void showFile(const QString& path);
    QString file() const { return path_; }
    // The password typed in the window (UTF-8, as typed) and the lenient-password option: the
    // shown file is read again with them.
    void setPassword(const std::string& password, bool lenient);

    // The lines shown now; for a file the reader failed on, none (the note says why).
    const std::vector<DetailLine>& lines() const { return lines_; }
    // Where the previews come from; tests point its helper at another program.
    ThumbnailProvider* thumbnails() const { return thumbnails_; }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // Reads the wanted file and asks for its preview, unless that is shown already.
    void update();
    // Nothing of the file shown before stays, and nothing of it arrives any more.
    void clear();
    void showLines(std::vector<DetailLine> lines);
    // Shows image (none: hides the preview); a page is framed and fitted to the pane.
    void setPreview(const QImage& image, bool framed);
    void previewReady(const QString& path, const QImage& image);
    void previewFailed(const QString& path, const QString& reason);
    void previewLocked(const QString& path);

    ThumbnailProvider* thumbnails_;
    QTimer* settle_; // lets the highlight stop before anything is read
    QLabel* name_;
    QLabel* preview_;
    QImage image_; // the page shown, as the helper made it
    QLabel* previewNote_;
    QLabel* readNote_;
    QWidget* grid_;
    QGridLayout* gridLayout_;
    QString path_;            // wanted
    QString shown_;           // what the pane shows, or is reading
    bool shownStale_ = false; // the password changed since shown_ was read
    std::string password_;
    bool lenient_ = false;
    uint64_t generation_ = 0; // counts reads, so that a late one is dropped
    std::vector<DetailLine> lines_;
};
