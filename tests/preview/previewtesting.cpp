// SPDX-License-Identifier: GPL-3.0-or-later
#include "previewtesting.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTimer>
#include <gtest/gtest.h>

OwnCache::OwnCache()
    : previous_(qgetenv("XDG_CACHE_HOME")),
      hadPrevious_(qEnvironmentVariableIsSet("XDG_CACHE_HOME")) {
    qputenv("XDG_CACHE_HOME", dir_.path().toLocal8Bit());
}

OwnCache::~OwnCache() {
    if (hadPrevious_)
        qputenv("XDG_CACHE_HOME", previous_);
    else
        qunsetenv("XDG_CACHE_HOME");
}

std::string StandardThumbnailName(const std::string& absolutePath) {
    static const char* kScript =
        "import sys, hashlib, urllib.parse\n"
        "uri = 'file://' + urllib.parse.quote(bytes.fromhex(sys.argv[1]), "
        "safe=\"/!$&'()*+,:=@~\")\n"
        "print(hashlib.md5(uri.encode('ascii')).hexdigest() + '.png', end='')\n";
    QProcess python;
    python.start(QStringLiteral("python3"),
                 {QStringLiteral("-c"), QString::fromLatin1(kScript),
                  QString::fromLatin1(QByteArray::fromStdString(absolutePath).toHex())});
    python.waitForFinished(30000);
    return python.readAllStandardOutput().toStdString();
}

Answer Ask(ThumbnailProvider& provider, const QString& path, ThumbnailSize size,
           const QByteArray& password, int timeoutMs) {
    Answer answer;
    QEventLoop loop;
    QElapsedTimer clock;
    bool returned = false;
    auto take = [&](Answer::Kind kind, const QString& p, const QImage& image,
                    const QString& reason) {
        EXPECT_TRUE(returned) << "answered inside request(), before the caller could connect";
        if (answer.kind != Answer::None)
            return;
        answer = {kind, p, image, reason, clock.elapsed()};
        loop.quit();
    };
    QObject context;
    QObject::connect(
        &provider, &ThumbnailProvider::ready, &context,
        [&](const QString& p, const QImage& image) { take(Answer::Ready, p, image, {}); });
    QObject::connect(
        &provider, &ThumbnailProvider::failed, &context,
        [&](const QString& p, const QString& reason) { take(Answer::Failed, p, {}, reason); });
    QObject::connect(&provider, &ThumbnailProvider::locked, &context,
                     [&](const QString& p) { take(Answer::Locked, p, {}, {}); });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    clock.start();
    provider.request(path, size, password);
    returned = true;
    if (answer.kind == Answer::None)
        loop.exec();
    return answer;
}

QString WriteScript(const QString& dir, const QString& name, const QByteArray& body) {
    const QString path = dir + QLatin1Char('/') + name;
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write("#!/bin/sh\n" + body + "\n");
    file.close();
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}
