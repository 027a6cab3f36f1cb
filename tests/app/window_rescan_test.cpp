// SPDX-License-Identifier: GPL-3.0-or-later
// The window shows before it lists, a running scan shows how far it has got and ends at once
// when the user leaves, and changes of the listed folder are read again quietly.

#include "windowfixture.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QThread>
#include <QTimer>
#include <QToolButton>

#include <atomic>
#include <functional>

namespace {

class RescanTest : public WindowFixture {
protected:
    // Storage that takes delayMs for every entry, as a USB stick or a network share may, as
    // long as slow is set.
    void MakeSlow(int delayMs) {
        delay = delayMs;
        slow = true;
    }

    // Read by the listing's worker.
    std::atomic<int> delay = 0;
    std::atomic<bool> slow = false;
    platform::ScopedHook<platform::SearchStepHook> slowHook{platform::SetSearchStepHook,
                                                            [this](const std::string&) {
                                                                if (slow)
                                                                    QThread::msleep(delay);
                                                            }};

    void ManyPdfs(const QString& folder, int count) {
        for (int i = 0; i < count; ++i)
            Fixture(QStringLiteral("%1/f%2.pdf").arg(folder).arg(i, 3, 10, QLatin1Char('0')),
                    "crypt/empty40.pdf");
    }

    // Runs step every few milliseconds while the listing runs, until it returns true.
    void DuringTheScan(std::function<bool()> step) {
        auto* timer = new QTimer(form.get());
        QObject::connect(timer, &QTimer::timeout, form.get(), [timer, step] {
            if (step())
                timer->stop();
        });
        timer->start(5);
    }
};

TEST_F(RescanTest, TheWindowShowsFirstAndTheScanShowsItsProgress) {
    ManyPdfs("work", 40);
    ASSERT_NO_FATAL_FAILURE(Open("work", false));
    // Built, not listed yet: nothing was read while the window was made.
    EXPECT_TRUE(Rows().empty());
    EXPECT_FALSE(Idle());
    MakeSlow(30);
    QStringList progress;
    int rowsWhileRunning = 0;
    DuringTheScan([&] {
        if (scanProgress->isVisible() && !Idle()) {
            progress << scanProgress->text();
            rowsWhileRunning = std::max(rowsWhileRunning, RowCount());
        }
        return Idle() && !progress.isEmpty();
    });
    form->show();
    ASSERT_NO_FATAL_FAILURE(WaitUntilIdle());
    ASSERT_FALSE(progress.isEmpty());
    // The files are counted, not "..".
    const QRegularExpression shape(QStringLiteral("^読み込み中 (\\d+) / 40$"));
    for (const QString& text : progress) {
        const QRegularExpressionMatch match = shape.match(text);
        EXPECT_TRUE(match.hasMatch()) << text.toStdString();
        EXPECT_LE(match.captured(1).toInt(), 40);
    }
    EXPECT_GT(progress.size(), 2);           // it moved
    EXPECT_GT(rowsWhileRunning, 0);          // the list fills while the scan runs
    EXPECT_FALSE(scanProgress->isVisible()); // and the name field is back
    EXPECT_EQ(Rows().size(), 41u);
}

TEST_F(RescanTest, LeavingEndsTheRunningScanAtOnce) {
    ManyPdfs("work", 60);
    Dir("work/Sub");
    Fixture("work/Sub/inner.pdf", "crypt/empty40.pdf");
    const std::vector<std::pair<const char*, std::function<void()>>> ways = {
        {"Esc", [this] { QTest::keyClick(list, Qt::Key_Escape); }},
        {"exit button", [this] { QTest::mouseClick(exitButton, Qt::LeftButton); }},
        {"closing", [this] { form->close(); }},
        {"another folder", [this] { chooser->openPath(At("work/Sub/")); }},
    };
    for (const auto& [what, leave] : ways) {
        SCOPED_TRACE(what);
        ASSERT_NO_FATAL_FAILURE(Open("work", false));
        MakeSlow(50); // the whole folder would take three seconds
        QElapsedTimer sinceLeaving;
        DuringTheScan([&, leave = leave] {
            if (Idle() || Rows().size() < 5)
                return false;
            sinceLeaving.start();
            slow = false; // what comes next (another folder) is quick again
            leave();
            return true;
        });
        form->show();
        const bool another = std::string(what) == "another folder";
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return sinceLeaving.isValid() && (another ? Idle() : !form->isVisible()); },
            10000));
        // Well before the three seconds the folder would take, the second folder's own listing
        // included; the bound leaves room for a machine busy with other tests.
        EXPECT_LT(sinceLeaving.elapsed(), 1000);
        if (another) {
            EXPECT_EQ(Listed(), At("work/Sub"));
            EXPECT_EQ(Captions(), (std::vector<std::string>{"..", "inner.pdf"}));
            EXPECT_TRUE(form->isVisible());
        }
        EXPECT_TRUE(boxes.empty());
        form.reset();
    }
}

// A listing whose storage hangs in a system call (a dead share) holds nothing up: another
// folder is listed at once, and closing the window lets the program end at once; what the
// stuck worker finds when its call returns is thrown away.
TEST_F(RescanTest, AHungListingIsLeftBehind) {
    Dir("work/stuck");
    ManyPdfs("work/stuck", 5);
    Dir("work/Sub");
    Fixture("work/Sub/inner.pdf", "crypt/empty40.pdf");
    ASSERT_NO_FATAL_FAILURE(Open());
    std::shared_ptr<Hang> hang = HangIn("/stuck/");
    chooser->openPath(At("work/stuck"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return hang->entered > 0; }, 5000));
    EXPECT_EQ(loader->state(), FolderLoader::State::Listing);

    QElapsedTimer clock;
    clock.start();
    chooser->openPath(At("work/Sub"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return Idle(); }, 1000));
    EXPECT_LT(clock.elapsed(), 1000);
    EXPECT_EQ(Listed(), At("work/Sub"));
    EXPECT_EQ(Captions(), (std::vector<std::string>{"..", "inner.pdf"}));
    // The stuck call returns: its rows go nowhere.
    hang->Release();
    QTest::qWait(300);
    EXPECT_EQ(Captions(), (std::vector<std::string>{"..", "inner.pdf"}));
    EXPECT_EQ(Listed(), At("work/Sub"));

    // Closing while a listing hangs: the window goes at once, and so does the loader.
    hang = HangIn("/stuck/");
    chooser->openPath(At("work/stuck"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return hang->entered > 0; }, 5000));
    clock.start();
    QTest::keyClick(list, Qt::Key_Escape);
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(loader->state(), FolderLoader::State::Cancelling);
    form.reset();
    EXPECT_LT(clock.elapsed(), 1000);
    EXPECT_TRUE(boxes.empty());
}

TEST_F(RescanTest, ANotificationAboutAnotherFolderDoesNotReadTheListAgain) {
    Fixture("work/a.pdf", "crypt/empty40.pdf");
    ASSERT_NO_FATAL_FAILURE(Open());
    Select("a.pdf");
    // A scan would show the list anew, which ends every index into it.
    const QPersistentModelIndex before(Item("a.pdf"));
    const int scans = scansRun;
    // A folder made in the parent folder: the chooser rebuilds its tree and opens the listed
    // folder again, which is no reason to read it.
    ASSERT_TRUE(QDir().mkdir(At("sibling")));
    chooser->notifyChange(platform::shcneMkDir);
    QTest::qWait(1500);
    EXPECT_EQ(scansRun, scans);
    EXPECT_TRUE(before.isValid());
    EXPECT_EQ(QModelIndex(before), Item("a.pdf"));
    EXPECT_EQ(nameField->text(), "a.pdf");
    EXPECT_EQ(chooser->text(), Listed()); // the whole path, as the listing left it
    EXPECT_TRUE(boxes.empty());
}

TEST_F(RescanTest, ChangesOfTheListedFolderAreReadQuietly) {
    ManyPdfs("work", 60);
    File("work/bad.pdf", "%PDF-1.4\ngarbage\n");
    ASSERT_NO_FATAL_FAILURE(Open());
    ASSERT_EQ(BoxesWithIcon(QMessageBox::Critical).size(), 1u); // the scan the user started
    Select("f030.pdf");
    ASSERT_EQ(nameField->text(), "f030.pdf");
    QScrollBar* scroll = list->verticalScrollBar();
    scroll->setValue(scroll->maximum() / 2);
    const int scrolled = scroll->value();
    ASSERT_GT(scrolled, 0);
    chooser->dropDown();
    ASSERT_TRUE(chooser->tree()->isOpen());
    const int scans = scansRun;

    // A burst of new files is read once or twice, not file by file.
    for (int i = 0; i < 8; ++i) {
        Fixture(QStringLiteral("work/new%1.pdf").arg(i), "crypt/empty40.pdf");
        QTest::qWait(40);
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return Row("new7.pdf") != nullptr; }, 5000));
    QTest::qWait(1200);
    EXPECT_GE(scansRun - scans, 1);
    EXPECT_LE(scansRun - scans, 2);
    EXPECT_EQ(Captions().size(), Rows().size());
    // What the user had is kept: the row, the name, the scroll position, the drop-down.
    EXPECT_EQ(Highlighted(), "f030.pdf");
    EXPECT_TRUE(HighlightedIsSelected());
    EXPECT_EQ(nameField->text(), "f030.pdf");
    EXPECT_EQ(scroll->value(), scrolled);
    EXPECT_TRUE(chooser->tree()->isOpen());
    // The damaged file is marked in the list, and no box was shown again.
    EXPECT_EQ(BoxesWithIcon(QMessageBox::Critical).size(), 1u);
    const QString why = Item("bad.pdf").data(Qt::ToolTipRole).toString();
    EXPECT_TRUE(why.startsWith("読めませんでした")) << why.toStdString();
    EXPECT_EQ(Item("bad.pdf").data(Qt::ForegroundRole).value<QBrush>().color(), Qt::red);
    EXPECT_FALSE(Item("f030.pdf").data(Qt::ToolTipRole).isValid());

    // The folder gone: the list stays as it was and says why, without a box.
    const size_t rows = Rows().size();
    chooser->tree()->closeUp();
    ASSERT_TRUE(QDir(At("work")).removeRecursively());
    QTest::qWait(1600);
    EXPECT_EQ(Rows().size(), rows);
    EXPECT_EQ(size_t(RowCount()), rows);
    EXPECT_FALSE(list->toolTip().isEmpty());
    EXPECT_EQ(BoxesWithIcon(QMessageBox::Critical).size(), 1u);
}

} // namespace
