// SPDX-License-Identifier: GPL-3.0-or-later
// The location typed or pasted, the chooser's own folders, the location and the rows while a
// folder is read, and passwords typed one after another.

#include "windowfixture.h"

#include <QAbstractItemView>
#include <QClipboard>
#include <QCompleter>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <functional>

namespace {

class LocationTest : public WindowFixture {
protected:
    // Types text into the location field as the user does, and presses Enter.
    void TypeLocation(const QString& text) {
        chooser->setFocus();
        chooser->selectAll();
        TypeInto(chooser, text);
        QTest::keyClick(chooser, Qt::Key_Return);
        ASSERT_NO_FATAL_FAILURE(WaitUntilIdle());
    }
};

TEST_F(LocationTest, ATypedOrPastedPathIsListed) {
    Dir("work/Sub");
    Dir("other/far away");
    Fixture("other/far away/deep.pdf", "crypt/empty40.pdf");
    ASSERT_NO_FATAL_FAILURE(Open());
    ASSERT_NO_FATAL_FAILURE(TypeLocation(At("other/far away")));
    EXPECT_EQ(Listed(), At("other/far away"));
    EXPECT_EQ(chooser->text(), At("other/far away"));
    // Relative to the folder listed.
    ASSERT_NO_FATAL_FAILURE(TypeLocation("../../work/Sub"));
    EXPECT_EQ(Listed(), At("work/Sub"));
    // A file: its folder, with the file highlighted.
    ASSERT_NO_FATAL_FAILURE(TypeLocation(At("other/far away/deep.pdf")));
    EXPECT_EQ(Listed(), At("other/far away"));
    EXPECT_EQ(Highlighted(), "deep.pdf");
    // Pasted, with Ctrl+V.
    QGuiApplication::clipboard()->setText(At("work"));
    chooser->setFocus();
    chooser->selectAll();
    QTest::keyClick(chooser, Qt::Key_V, Qt::ControlModifier);
    QTest::keyClick(chooser, Qt::Key_Return);
    ASSERT_NO_FATAL_FAILURE(WaitUntilIdle());
    EXPECT_EQ(Listed(), At("work"));
    EXPECT_TRUE(boxes.empty());
}

TEST_F(LocationTest, APathThatDoesNotExistIsToldAndTheListStays) {
    Fixture("work/a.pdf", "crypt/empty40.pdf");
    ASSERT_NO_FATAL_FAILURE(Open());
    const int asked = listingsAsked;
    // A name that looks like HTML is told as it is, and the message keeps its line break.
    ASSERT_NO_FATAL_FAILURE(TypeLocation(At("work/<h1>nothing here")));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(boxes[0].text.contains("「" + At("work/<h1>nothing here") + "」"))
        << boxes[0].text.toStdString();
    EXPECT_TRUE(boxes[0].text.contains("\r\n現在のフォルダ")) << boxes[0].text.toStdString();
    EXPECT_EQ(listingsAsked, asked);
    EXPECT_EQ(Listed(), At("work"));
    EXPECT_NE(Row("a.pdf"), nullptr);
    // The text stays for the user to mend; Esc shows the folder again.
    EXPECT_EQ(chooser->text(), At("work/<h1>nothing here"));
    QTest::keyClick(chooser, Qt::Key_Escape);
    EXPECT_EQ(chooser->text(), At("work"));
    EXPECT_TRUE(form->isVisible());
}

TEST_F(LocationTest, FolderNamesAreCompletedAsTheyAreTyped) {
    for (const char* folder : {"work/Sub one", "work/Sub two", "work/Other", "work/.secret"})
        Dir(folder);
    ASSERT_NO_FATAL_FAILURE(Open());
    QCompleter* completer = chooser->completer();
    ASSERT_NE(completer, nullptr);
    auto offered = [&](const QString& typed) {
        chooser->setFocus();
        chooser->selectAll();
        TypeInto(chooser, typed);
        QStringList paths;
        QAbstractItemModel* model = completer->completionModel();
        for (int i = 0; i < model->rowCount(); ++i)
            paths << model->index(i, 0).data().toString();
        return paths;
    };
    EXPECT_EQ(offered(At("work/Su")), (QStringList{At("work/Sub one/"), At("work/Sub two/")}));
    EXPECT_EQ(offered(At("work/.s")), QStringList{At("work/.secret/")}); // asked for by the "."
    EXPECT_TRUE(completer->popup()->isVisible());
    QTest::keyClick(completer->popup(), Qt::Key_Escape);
    QTest::keyClick(chooser, Qt::Key_Escape);
}

TEST_F(LocationTest, TheChooserOffersTheUsersFoldersFirst) {
    Dir("home/Documents/letters");
    Dir("home/Desktop");
    places = {{platform::PlaceKind::Home, "ホーム", At("home")},
              {platform::PlaceKind::Documents, "ドキュメント", At("home/Documents")},
              {platform::PlaceKind::Desktop, "デスクトップ", At("home/Desktop")}};
    ASSERT_NO_FATAL_FAILURE(Open());
    FolderTree* tree = chooser->tree();
    QStringList top;
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        top << tree->topLevelItem(i)->text(0);
    EXPECT_EQ(top, (QStringList{"ホーム", "ドキュメント", "デスクトップ", "コンピュータ"}));
    EXPECT_TRUE(tree->rootNode()->isExpanded()); // the volumes show beneath them
    chooser->dropDown();
    tree->setCurrentItem(tree->topLevelItem(1));
    QTest::keyClick(tree, Qt::Key_Return);
    ASSERT_NO_FATAL_FAILURE(WaitUntilIdle());
    EXPECT_EQ(Listed(), At("home/Documents"));
    EXPECT_NE(Row("letters"), nullptr);
}

// While a folder is read the location shows its whole path and the rows found so far stand in
// their places.
TEST_F(LocationTest, WhileAFolderIsReadItsPathAndOrderShow) {
    Dir("work/Deep/Folder");
    for (int i = 0; i < 40; ++i)
        Fixture(QStringLiteral("work/Deep/Folder/f%1.pdf").arg((i * 17) % 40, 2, 10, QChar('0')),
                "crypt/empty40.pdf");
    ASSERT_NO_FATAL_FAILURE(Open());
    std::atomic<bool> slow = true;
    platform::ScopedHook<platform::SearchStepHook> slowSteps{platform::SetSearchStepHook,
                                                             [&](const std::string&) {
                                                                 if (slow)
                                                                     QThread::msleep(15);
                                                             }};
    QStringList locations;
    std::vector<std::vector<std::string>> seen;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (loader->state() == FolderLoader::State::Listing) {
            locations << chooser->text();
            if (RowCount() > 1)
                seen.push_back(Captions());
        }
    });
    watch.start(20);
    chooser->openPath(At("work/Deep/Folder"));
    ASSERT_NO_FATAL_FAILURE(WaitUntilIdle());
    slow = false;
    watch.stop();
    ASSERT_FALSE(locations.isEmpty());
    for (const QString& location : locations)
        EXPECT_EQ(location, At("work/Deep/Folder"));
    ASSERT_FALSE(seen.empty());
    EXPECT_LT(seen.front().size(), 41u); // rows showed before the folder was read
    for (const auto& captions : seen) {
        // ".." comes first once it is found, the files in their order after it.
        const auto files = captions.begin() + (captions.front() == ".." ? 1 : 0);
        EXPECT_EQ(std::count(files, captions.end(), ".."), 0);
        EXPECT_TRUE(std::is_sorted(files, captions.end()));
    }
}

// Every password typed in a run is tried on each locked file: a folder of files locked each
// their own way opens with each password typed once, and Enter in the field only tries it.
TEST_F(LocationTest, EachPasswordTypedOpensItsFiles) {
    Fixture("work/rc4-40.pdf", "crypt/user40.pdf");                     // user
    Fixture("work/rc4-128.pdf", "crypt/six128.pdf");                    // sixsix
    Fixture("work/aes-256.pdf", "crypt/tools/qpdf-aes256-unicode.pdf"); // 所有者 (owner)
    Fixture("work/open.pdf", "crypt/empty40.pdf");                      // no password
    ASSERT_NO_FATAL_FAILURE(Open());
    Select("open.pdf");
    auto locked = [&] {
        std::vector<std::string> names;
        for (const char* name : {"rc4-40.pdf", "rc4-128.pdf", "aes-256.pdf", "open.pdf"})
            if (Row(name)->cells[0] == "***crypt***")
                names.push_back(name);
        return names;
    };
    EXPECT_EQ(locked(), (std::vector<std::string>{"rc4-40.pdf", "rc4-128.pdf", "aes-256.pdf"}));
    const struct {
        QString typed;
        std::vector<std::string> locked;
    } steps[] = {
        {"user", {"rc4-128.pdf", "aes-256.pdf"}},
        {QStringLiteral("所有者"), {"rc4-128.pdf"}},
        {"sixsix", {}},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.typed.toStdString());
        passwordField->setFocus();
        passwordField->selectAll();
        TypeInto(passwordField, step.typed);
        QTest::keyClick(passwordField, Qt::Key_Return);
        ASSERT_NO_FATAL_FAILURE(WaitUntilIdle());
        EXPECT_EQ(locked(), step.locked);
    }
    EXPECT_TRUE(started.empty()); // Enter tried the password, it opened no file
    EXPECT_TRUE(boxes.empty());
    // The field emptied, the passwords of the run still open the files.
    passwordField->clear();
    Click(refreshButton);
    EXPECT_TRUE(locked().empty());
}

} // namespace
