// SPDX-License-Identifier: GPL-3.0-or-later
// The details pane in the window: F3 and its button, the highlighted file's properties and
// preview, the window's password, and a preview helper that hangs or crashes.

#include "windowfixture.h"

#include "app/detailspane.h"
#include "preview/thumbnailprovider.h"

#include <QScreen>
#include <QSplitter>

namespace {

class DetailsTest : public WindowFixture {
protected:
    void SetUp() override {
        WindowFixture::SetUp();
        // The previews go to a thumbnail cache of the test's own.
        previousCache = qgetenv("XDG_CACHE_HOME");
        hadCache = qEnvironmentVariableIsSet("XDG_CACHE_HOME");
        qputenv("XDG_CACHE_HOME", QFile::encodeName(root + "/cache"));
    }
    void TearDown() override {
        WindowFixture::TearDown();
        if (hadCache)
            qputenv("XDG_CACHE_HOME", previousCache);
        else
            qunsetenv("XDG_CACHE_HOME");
    }

    void OpenWithPane() {
        ASSERT_NO_FATAL_FAILURE(Open());
        pane = form->findChild<DetailsPane*>(QStringLiteral("detailsPane"));
        button = form->findChild<QToolButton*>(QStringLiteral("detailsButton"));
        ASSERT_TRUE(pane && button);
        pane->thumbnails()->setHelperProgram(helper);
    }

    void PressF3() {
        form->activateWindow();
        QTest::keyClick(list, Qt::Key_F3);
        QApplication::processEvents();
    }

    std::string Value(const std::string& label) const {
        for (const DetailLine& line : pane->lines())
            if (line.label == label)
                return line.value;
        return "-";
    }

    QString PreviewNote() const {
        return pane->findChild<QLabel*>(QStringLiteral("previewNote"))->text();
    }
    bool PreviewShown() const {
        return !pane->findChild<QLabel*>(QStringLiteral("detailsPreview"))->pixmap().isNull();
    }

    QByteArray previousCache;
    bool hadCache = false;
#ifdef PAGEWICK_THUMBNAIL_HELPER
    QString helper = QStringLiteral(PAGEWICK_THUMBNAIL_HELPER);
#else
    QString helper;
#endif
    DetailsPane* pane = nullptr;
    QToolButton* button = nullptr;
};

} // namespace

TEST_F(DetailsTest, F3AndTheButtonShowTheHighlightedFileBesideAListThatKeepsItsWidth) {
    ASSERT_NO_FATAL_FAILURE(Fixture("work/signed.pdf", "features/signed.pdf"));
    ASSERT_NO_FATAL_FAILURE(Fixture("work/restricted.pdf", "features/restricted-print.pdf"));
    ASSERT_NO_FATAL_FAILURE(File("work/broken.pdf", "not a document"));
    ASSERT_NO_FATAL_FAILURE(OpenWithPane());
    EXPECT_FALSE(pane->isVisible());
    // The design size, with the screen's room beside it for the pane.
    form->resize(472, 333);
    QApplication::processEvents();
    ASSERT_NO_FATAL_FAILURE(Select("signed.pdf"));
    const int listWidth = list->width(), windowWidth = form->width();
    PressF3();
    ASSERT_TRUE(pane->isVisible());
    EXPECT_TRUE(button->isChecked());
    EXPECT_TRUE(form->screen()->availableGeometry().contains(form->frameGeometry()));
    ASSERT_TRUE(QTest::qWaitFor([&] { return Value("署名者") == "Pagewick Test Signer"; }));
    EXPECT_EQ(list->width(), listWidth);
    ASSERT_NO_FATAL_FAILURE(Select("restricted.pdf"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return Value("印刷") == "禁止"; }));
    EXPECT_EQ(Value("署名者"), "-"); // the earlier file's lines are gone
    if (!helper.isEmpty()) {
        EXPECT_TRUE(QTest::qWaitFor([&] { return PreviewShown(); }, 15000));
    }
    // A file the reader fails on says why, in place of the lines.
    ASSERT_NO_FATAL_FAILURE(Select("broken.pdf"));
    EXPECT_TRUE(QTest::qWaitFor([&] {
        return pane->findChild<QLabel*>(QStringLiteral("readNote"))
            ->text()
            .startsWith("読めませんでした");
    }));
    EXPECT_TRUE(pane->lines().empty());
    PressF3();
    EXPECT_FALSE(pane->isVisible());
    EXPECT_FALSE(button->isChecked());
    EXPECT_EQ(form->width(), windowWidth);
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_TRUE(pane->isVisible());
}

TEST_F(DetailsTest, APreviewHelperThatHangsOrCrashesLeavesThePaneAndTheWindowUsable) {
    ASSERT_NO_FATAL_FAILURE(Fixture("work/a.pdf", "features/b5-jis.pdf"));
    ASSERT_NO_FATAL_FAILURE(Fixture("work/b.pdf", "features/hagaki.pdf"));
    const struct {
        const char* name;
        const char* body;
        bool slow; // the properties are shown before the helper is given up
    } helpers[] = {
        {"hangs", "exec sleep 30", true},
        {"crashes", "kill -SEGV $$", false},
    };
    ASSERT_NO_FATAL_FAILURE(OpenWithPane());
    PressF3();
    for (const auto& h : helpers) {
        SCOPED_TRACE(h.name);
        const QString script = At(h.name);
        QFile file(script);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray("#!/bin/sh\n") + h.body + "\n");
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        pane->thumbnails()->setHelperProgram(script);
        for (const auto& [name, paper] :
             {std::pair{"a.pdf", "B5 (JIS) 縦"}, {"b.pdf", "はがき 縦"}}) {
            ASSERT_NO_FATAL_FAILURE(Select(name));
            // The properties come while the helper is still at work, and the list answers.
            ASSERT_TRUE(QTest::qWaitFor([&] { return Value("用紙") == paper; }));
            if (h.slow) {
                EXPECT_FALSE(PreviewNote().startsWith("プレビューを表示できません"));
            }
            EXPECT_EQ(Highlighted(), name);
            ASSERT_TRUE(QTest::qWaitFor(
                [&] { return PreviewNote().startsWith("プレビューを表示できません"); }, 8000));
            EXPECT_FALSE(PreviewShown());
        }
    }
}

TEST_F(DetailsTest, AProtectedFileShowsItsLockUntilTheWindowsPasswordOpensIt) {
    ASSERT_NO_FATAL_FAILURE(Fixture("work/locked.pdf", "crypt/user128.pdf"));
    ASSERT_NO_FATAL_FAILURE(OpenWithPane());
    PressF3();
    // At the size of a first start the screen has less room than the pane needs.
    EXPECT_TRUE(form->screen()->availableGeometry().contains(form->frameGeometry()));
    ASSERT_NO_FATAL_FAILURE(Select("locked.pdf"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return Value("パスワード") != "-"; }));
    EXPECT_EQ(Value("タイトルなど"), "パスワードで保護されていて読めません");
    if (helper.isEmpty())
        return;
    ASSERT_TRUE(QTest::qWaitFor([&] { return PreviewNote().startsWith("パスワードで保護"); }));
    EXPECT_TRUE(PreviewShown()); // the lock
    QTest::keyClicks(passwordField, "user");
    QTest::keyClick(passwordField, Qt::Key_Return);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Value("タイトル") == "Report"; }));
    EXPECT_EQ(Value("パスワード"), "ユーザーパスワードで開きました");
    EXPECT_TRUE(QTest::qWaitFor([&] { return PreviewNote().isEmpty() && PreviewShown(); }, 15000));
}
