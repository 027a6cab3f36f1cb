// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the preview tests share: a cache folder of their own, the thumbnail names as Python
// computes them, and waiting for the provider's answer.

#include "preview/thumbnailprovider.h"

#include <QImage>
#include <QTemporaryDir>
#include <string>

// Points XDG_CACHE_HOME at a folder of the test's own for its lifetime, so that no test reads
// or writes the user's cache.
class OwnCache {
public:
    OwnCache();
    ~OwnCache();
    QString root() const { return dir_.path(); } // XDG_CACHE_HOME
    std::string thumbnails() const { return dir_.path().toStdString() + "/thumbnails"; }

private:
    QTemporaryDir dir_;
    QByteArray previous_;
    bool hadPrevious_;
};

// The thumbnail's file name (MD5 of the URI, ".png") for an absolute path, computed by Python's
// URL quoting and hashlib, so that the tests do not take Pagewick's word for the naming.
std::string StandardThumbnailName(const std::string& absolutePath);

struct Answer {
    enum Kind { None, Ready, Failed, Locked } kind = None;
    QString path;
    QImage image;
    QString reason;
    qint64 milliseconds = 0; // from the request to the answer
};

// Asks provider for path and waits (at most timeoutMs) for the first answer.
Answer Ask(ThumbnailProvider& provider, const QString& path,
           ThumbnailSize size = ThumbnailSize::Normal, const QByteArray& password = {},
           int timeoutMs = 15000);

// Writes an executable shell script with body into dir and returns its path.
QString WriteScript(const QString& dir, const QString& name, const QByteArray& body);
