// SPDX-License-Identifier: GPL-3.0-or-later
#include "preview/thumbnailprovider.h"

#include "previewtesting.h"
#include "support/tsv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>
#include <map>
#include <sys/stat.h>
#include <utime.h>

namespace {

const QString kData = QStringLiteral(PAGEWICK_TEST_DATA);

std::string UserPassword(const std::string& cryptFixture) {
    for (const auto& row : ReadTsvRows(PAGEWICK_TEST_DATA "/crypt/params.tsv", 13))
        if (row[0] == cryptFixture)
            return row[7];
    ADD_FAILURE() << "no row for " << cryptFixture;
    return {};
}

mode_t ModeOf(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

bool HasInk(const QImage& image) {
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qGray(image.pixel(x, y)) < 128)
                return true;
    return false;
}

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

#ifdef PAGEWICK_THUMBNAIL_HELPER
// The helper draws real files; what it drew without a password is cached where the standard
// names it, what needed the password is not cached, and a file it cannot draw gets a failure
// entry.
TEST(ThumbnailProvider, DrawsFirstPagesOfRealFiles) {
    enum Cached { NotCached, Thumbnail, FailureEntry };
    using enum Answer::Kind;
    const auto normal = ThumbnailSize::Normal, large = ThumbnailSize::Large;
    const struct {
        const char* file;
        ThumbnailSize size;
        std::string password;
        Answer::Kind kind;
        QSize drawn;
        bool hasText; // the page shows text, so the picture has dark pixels
        Cached cached;
    } cases[] = {
        // clang-format off
        {"real/ja-gs.pdf",           normal, "",     Ready, {90, 128},  true,  Thumbnail},
        {"real/pages12-v17-gs.pdf",  large,  "",     Ready, {181, 256}, true,  Thumbnail},
        {"tex/lualatex.pdf",         normal, "",     Ready, {99, 128},  false, Thumbnail},
        {"real/ja-rc4-40-empty.pdf", normal, "",     Ready, {90, 128},  true,  Thumbnail},
        {"real/ja-aes128-user.pdf",  normal, "user", Ready, {90, 128},  true,  NotCached},
        {"crypt/user128.pdf",        normal, "",      Locked, {}, false, NotCached},
        {"crypt/user128.pdf",        normal, "wrong", Locked, {}, false, NotCached},
        {"crypt/user128.pdf",        large,  UserPassword("user128.pdf"), Ready, {256, 256}, false, NotCached},
        {"crypt/long128.pdf",        normal, UserPassword("long128.pdf"), Ready, {128, 128}, false, NotCached},
        {"",                         normal, "",     Failed, {}, false, FailureEntry}, // not a PDF
        // clang-format on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.file) + " password '" + c.password + "'");
        OwnCache cache;
        QString file = kData + '/' + c.file;
        if (!*c.file) {
            file = cache.root() + QStringLiteral("/text.pdf");
            WriteFile(file, "only text, in a file named .pdf\n");
        }
        ThumbnailProvider provider;
        provider.setHelperProgram(QStringLiteral(PAGEWICK_THUMBNAIL_HELPER));
        const Answer answer = Ask(provider, file, c.size, QByteArray::fromStdString(c.password));
        ASSERT_EQ(answer.kind, c.kind) << answer.reason.toStdString();
        EXPECT_EQ(answer.path, file);
        if (c.kind == Ready) {
            EXPECT_EQ(answer.image.size(), c.drawn);
            EXPECT_EQ(HasInk(answer.image), c.hasText);
        }

        const std::string absolute = QFileInfo(file).absoluteFilePath().toStdString();
        const std::string name = StandardThumbnailName(absolute);
        const std::string sizeFolder = c.size == ThumbnailSize::Large ? "/large/" : "/normal/";
        const std::string thumbnail = cache.thumbnails() + sizeFolder + name;
        const std::string failure =
            cache.thumbnails() + "/fail/pagewick-" PAGEWICK_VERSION "/" + name;
        EXPECT_EQ(QFile::exists(QString::fromStdString(thumbnail)), c.cached == Thumbnail);
        EXPECT_EQ(QFile::exists(QString::fromStdString(failure)), c.cached == FailureEntry);
        if (c.cached == NotCached)
            continue;
        const std::string& entry = c.cached == Thumbnail ? thumbnail : failure;
        EXPECT_EQ(ModeOf(entry), 0600u);
        EXPECT_EQ(ModeOf(cache.thumbnails()), 0700u);
        EXPECT_EQ(ModeOf(entry.substr(0, entry.rfind('/'))), 0700u);
        const QImage written(QString::fromStdString(entry));
        struct stat st;
        ASSERT_EQ(stat(absolute.c_str(), &st), 0);
        EXPECT_EQ(written.text("Thumb::MTime"), QString::number(st.st_mtime));
        EXPECT_EQ(written.text("Thumb::Size"), QString::number(st.st_size));
        EXPECT_EQ(written.text("Thumb::Mimetype"), "application/pdf");
        EXPECT_TRUE(written.text("Thumb::URI").startsWith("file:///"));
        EXPECT_TRUE(written.hasAlphaChannel()); // 8-bit RGBA, as the standard asks
        QFile raw(QString::fromStdString(entry));
        raw.open(QIODevice::ReadOnly);
        EXPECT_TRUE(raw.readAll().contains(QByteArray("tEXtThumb::URI\0file:///", 23)));

        // Asked again, the answer comes from the cache: there is no helper any more.
        provider.setHelperProgram(QString());
        const Answer again = Ask(provider, file, c.size);
        EXPECT_EQ(again.kind, c.kind);
        if (c.kind == Answer::Ready) {
            EXPECT_EQ(again.image, answer.image.convertToFormat(again.image.format()));
        }
    }
}
#endif

// Stand-ins for a helper taken over by a hostile file. Each run is counted in a file beside it.
TEST(ThumbnailProvider, AHelperThatHangsOrCrashesFailsInTimeAndIsNotRetried) {
    const struct {
        const char* name;
        const char* body;
    } cases[] = {
        {"hangs", "exec sleep 30"},
        {"crashes", "kill -SEGV $$"},
        {"writes no picture", "echo not a picture; exit 0"},
        {"writes without end", "exec yes"},
        {"draws the wrong size", "cat \"$(dirname \"$0\")/tiny.png\""},
        {"says the file is damaged", "exit 5"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        OwnCache cache;
        const QString dir = cache.root();
        QImage(10, 10, QImage::Format_RGB32).save(dir + "/tiny.png");
        QImage good(128, 90, QImage::Format_RGB32);
        good.fill(Qt::blue);
        good.save(dir + "/good.png");
        const QString hostile = WriteScript(
            dir, "hostile", "echo run >> \"$(dirname \"$0\")/runs\"\n" + QByteArray(c.body));
        const QString drawer = WriteScript(dir, "drawer", "cat \"$(dirname \"$0\")/good.png\"");
        const QString doc = dir + "/doc.pdf", other = dir + "/other.pdf";
        WriteFile(doc, "%PDF-1.7 hostile");
        WriteFile(other, "%PDF-1.7 harmless");

        ThumbnailProvider provider;
        provider.setHelperProgram(hostile);
        const Answer answer = Ask(provider, doc);
        EXPECT_EQ(answer.kind, Answer::Failed);
        EXPECT_FALSE(answer.reason.isEmpty());
        EXPECT_LT(answer.milliseconds, 6000); // the time limit is 2 s; the script sleeps 30 s
        const std::string failure = cache.thumbnails() + "/fail/pagewick-" PAGEWICK_VERSION "/" +
                                    StandardThumbnailName(doc.toStdString());
        EXPECT_TRUE(QFile::exists(QString::fromStdString(failure)));

        // Not tried again while the file stays as it is...
        EXPECT_EQ(Ask(provider, doc).kind, Answer::Failed);
        QFile runs(dir + "/runs");
        runs.open(QIODevice::ReadOnly);
        EXPECT_EQ(runs.readAll().count('\n'), 1);
        // ...and the provider goes on serving other files, and this one once it changed.
        provider.setHelperProgram(drawer);
        const Answer next = Ask(provider, other);
        EXPECT_EQ(next.kind, Answer::Ready) << next.reason.toStdString();
        EXPECT_EQ(next.path, other);
        const utimbuf later{time(nullptr) + 10, time(nullptr) + 10};
        utime(QFile::encodeName(doc).constData(), &later);
        EXPECT_EQ(Ask(provider, doc).kind, Answer::Ready);
    }
}

// The pane asks for the file the user highlights; a helper still busy with the previous one
// is stopped and its answer never arrives.
TEST(ThumbnailProvider, ANewRequestDropsTheOneBeingAnswered) {
    OwnCache cache;
    const QString dir = cache.root();
    QImage good(128, 90, QImage::Format_RGB32);
    good.fill(Qt::blue);
    good.save(dir + "/good.png");
    // The password given to the helper decides whether it hangs.
    const QString helper = WriteScript(dir, "helper",
                                       "[ \"$(cat)\" = hang ] && exec sleep 30\n"
                                       "cat \"$(dirname \"$0\")/good.png\"");
    const QString first = dir + "/first.pdf", second = dir + "/second.pdf";
    WriteFile(first, "%PDF-1.7");
    WriteFile(second, "%PDF-1.7");

    ThumbnailProvider provider;
    provider.setHelperProgram(helper);
    QSignalSpy ready(&provider, &ThumbnailProvider::ready);
    QSignalSpy failed(&provider, &ThumbnailProvider::failed);
    provider.request(first, ThumbnailSize::Normal, "hang");
    QTest::qWait(200);
    provider.request(second);
    ASSERT_TRUE(ready.wait(10000));
    provider.request(first, ThumbnailSize::Normal, "hang");
    provider.cancel();
    QTest::qWait(2500); // past the time limit of both dropped requests
    ASSERT_EQ(ready.size(), 1);
    EXPECT_EQ(ready[0][0].toString(), second);
    EXPECT_EQ(failed.size(), 0);
    EXPECT_FALSE(QDir(QString::fromStdString(cache.thumbnails() + "/fail")).exists());
}

TEST(ThumbnailProvider, AFileOrHelperThatCannotBeOpenedIsReported) {
    OwnCache cache;
    const QString dir = cache.root();
    ASSERT_EQ(mkfifo(QFile::encodeName(dir + "/fifo.pdf").constData(), 0600), 0);
    ThumbnailProvider provider;
    provider.setHelperProgram(WriteScript(dir, "helper", "exit 99"));
    for (const QString& path : {dir + "/missing.pdf", dir + "/fifo.pdf", dir}) {
        const Answer answer = Ask(provider, path);
        EXPECT_EQ(answer.kind, Answer::Failed) << path.toStdString();
        EXPECT_TRUE(answer.reason.contains(path)) << answer.reason.toStdString();
    }
    // A helper that cannot be started is no fault of the file: no failure entry for it.
    provider.setHelperProgram(dir + "/no-such-helper");
    WriteFile(dir + "/doc.pdf", "%PDF-1.7");
    const Answer answer = Ask(provider, dir + "/doc.pdf");
    EXPECT_EQ(answer.kind, Answer::Failed);
    EXPECT_FALSE(answer.reason.isEmpty());
    EXPECT_FALSE(QDir(QString::fromStdString(cache.thumbnails())).exists());
}

} // namespace
