// SPDX-License-Identifier: GPL-3.0-or-later
#include "preview/thumbnailcache.h"

#include "previewtesting.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

// GLib's spelling of file URIs, which file managers name their thumbnails by.
TEST(ThumbnailCache, FileUrisAreSpelledAsFileManagersSpellThem) {
    const struct {
        std::string path, uri;
    } cases[] = {
        {"/home/jens/photos/me.png", "file:///home/jens/photos/me.png"},
        {"/tmp/a b#c%d;e?f.pdf", "file:///tmp/a%20b%23c%25d%3Be%3Ff.pdf"},
        {"/x/!$&'()*+,=:@~-._/y", "file:///x/!$&'()*+,=:@~-._/y"},
        {"/x/[]{}|\\^`\"<>", "file:///x/%5B%5D%7B%7D%7C%5C%5E%60%22%3C%3E"},
        {"/資料/報告.pdf", "file:///%E8%B3%87%E6%96%99/%E5%A0%B1%E5%91%8A.pdf"},
        {"/\x95\xf1\x8d\x90.pdf", "file:///%95%F1%8D%90.pdf"}, // Shift-JIS name
        {std::string("/a\x01\x7f\0b", 6), "file:///a%01%7F%00b"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FileUri(c.path), c.uri) << c.path;
}

TEST(ThumbnailCache, FoldersAndNamesFollowTheStandard) {
    const QByteArray home = qgetenv("HOME");
    const struct {
        const char *cacheHome, *home, *folder;
    } cases[] = {
        {"/c", "/h", "/c/thumbnails"},
        {"", "/h", "/h/.cache/thumbnails"},
        {"relative/cache", "/h", "/h/.cache/thumbnails"}, // not absolute: ignored
    };
    for (const auto& c : cases) {
        qputenv("XDG_CACHE_HOME", c.cacheHome);
        qputenv("HOME", c.home);
        EXPECT_EQ(ThumbnailFolder(), c.folder) << c.cacheHome;
    }
    // The standard's own example of a thumbnail name.
    const std::string uri = "file:///home/jens/photos/me.png";
    qputenv("XDG_CACHE_HOME", "/c");
    EXPECT_EQ(ThumbnailPath(uri, ThumbnailSize::Normal),
              "/c/thumbnails/normal/c6ee772d9e49320e97ec29a7eb5b1697.png");
    EXPECT_EQ(ThumbnailPath(uri, ThumbnailSize::Large),
              "/c/thumbnails/large/c6ee772d9e49320e97ec29a7eb5b1697.png");
    EXPECT_EQ(FailureEntryPath(uri), "/c/thumbnails/fail/pagewick-" PAGEWICK_VERSION
                                     "/c6ee772d9e49320e97ec29a7eb5b1697.png");
    qputenv("HOME", home);
    qunsetenv("XDG_CACHE_HOME");
}

// A thumbnail another program left in the cache is shown only while it is that of the file as
// it is now. The provider has no helper here, so anything not taken from the cache fails.
TEST(ThumbnailCache, AnEntryIsTakenOnlyWhileItIsCurrent) {
    enum Size { NoSize, RightSize, WrongSize };
    const auto normal = ThumbnailSize::Normal, large = ThumbnailSize::Large;
    const struct {
        const char* name;
        ThumbnailSize asked;
        const char* folder;
        int side;
        bool ownUri, hasMTime;
        int mtimeOffset;
        Size size;
        bool taken;
    } cases[] = {
        // clang-format off
        {"current",                    normal, "normal", 128, true,  true,  0,  RightSize, true},
        {"current, no Thumb::Size",    normal, "normal", 128, true,  true,  0,  NoSize,    true},
        {"current, large",             large,  "large",  256, true,  true,  0,  RightSize, true},
        {"smaller than asked",         normal, "normal", 64,  true,  true,  0,  RightSize, true},
        {"older modification time",    normal, "normal", 128, true,  true,  -1, RightSize, false},
        {"newer modification time",    normal, "normal", 128, true,  true,  1,  RightSize, false},
        {"no Thumb::MTime",            normal, "normal", 128, true,  false, 0,  RightSize, false},
        {"other size",                 normal, "normal", 128, true,  true,  0,  WrongSize, false},
        {"another file's URI",         normal, "normal", 128, false, true,  0,  RightSize, false},
        {"larger than asked",          normal, "normal", 256, true,  true,  0,  RightSize, false},
        {"in the other size's folder", normal, "large",  128, true,  true,  0,  RightSize, false},
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        OwnCache cache;
        const QString file = cache.root() + QStringLiteral("/doc.pdf");
        QFile pdf(file);
        ASSERT_TRUE(pdf.open(QIODevice::WriteOnly));
        pdf.write("%PDF-1.4 not drawn in this test");
        pdf.close();
        struct stat st;
        ASSERT_EQ(stat(QFile::encodeName(file).constData(), &st), 0);

        QImage thumbnail(c.side * 3 / 4, c.side, QImage::Format_RGB32);
        thumbnail.fill(Qt::red);
        const std::string uri = "file://" + file.toStdString() + (c.ownUri ? "" : "x");
        thumbnail.setText("Thumb::URI", QString::fromStdString(uri));
        if (c.hasMTime)
            thumbnail.setText("Thumb::MTime", QString::number(st.st_mtime + c.mtimeOffset));
        if (c.size != NoSize)
            thumbnail.setText("Thumb::Size", QString::number(st.st_size + (c.size == WrongSize)));
        const QString folder = QString::fromStdString(cache.thumbnails()) + '/' + c.folder;
        ASSERT_TRUE(QDir().mkpath(folder));
        ASSERT_TRUE(thumbnail.save(
            folder + '/' + QString::fromStdString(StandardThumbnailName(file.toStdString())),
            "png"));

        ThumbnailProvider provider;
        provider.setHelperProgram(QString());
        const Answer answer = Ask(provider, file, c.asked);
        EXPECT_EQ(answer.path, file);
        ASSERT_EQ(answer.kind, c.taken ? Answer::Ready : Answer::Failed)
            << answer.reason.toStdString();
        if (c.taken) {
            EXPECT_EQ(answer.image.size(), thumbnail.size());
            EXPECT_EQ(answer.image.pixelColor(0, 0), QColor(Qt::red));
        }
    }
}

} // namespace
