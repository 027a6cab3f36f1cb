// SPDX-License-Identifier: GPL-3.0-or-later
// The command line of the window: which command it is, where the window starts, and what the
// window shows for a folder, a file and a path that names nothing.

#include "windowfixture.h"

#include "app/startargs.h"

#include <QLineEdit>

namespace {

TEST(StartCommandTest, ArgumentsGiveTheCommand) {
    using Kind = StartCommand::Kind;
    struct Case {
        QStringList arguments;
        Kind kind;
        QString path;
    } cases[] = {
        {{}, Kind::Open, {}},
        {{"Documents"}, Kind::Open, "Documents"},
        {{"/tmp/a b"}, Kind::Open, "/tmp/a b"},
        {{"-"}, Kind::Open, "-"}, // a lone dash is a name
        {{"--help"}, Kind::Help, {}},
        {{"-h"}, Kind::Help, {}},
        {{"--version"}, Kind::Version, {}},
        {{"folder", "--version"}, Kind::Version, {}},
        {{"--bogus", "--help"}, Kind::Help, {}}, // help still answers beside a mistake
        {{"--bogus"}, Kind::Usage, {}},
        {{"-x", "folder"}, Kind::Usage, {}},
        {{"one", "two"}, Kind::Usage, {}},
        {{"--", "--help"}, Kind::Open, "--help"}, // after "--" every argument is a path
        {{"--", "-x"}, Kind::Open, "-x"},
        {{"--", "a", "b"}, Kind::Usage, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        const StartCommand command = ParseStartCommand(c.arguments);
        EXPECT_EQ(command.kind, c.kind);
        EXPECT_EQ(command.path, c.path);
        EXPECT_EQ(command.problem.isEmpty(), c.kind != Kind::Usage)
            << command.problem.toStdString();
    }
}

TEST(StartCommandTest, TheProblemNamesTheArgument) {
    EXPECT_TRUE(ParseStartCommand({"--colour"}).problem.contains("--colour"));
    EXPECT_TRUE(ParseStartCommand({"one", "two"}).problem.contains("two"));
}

class StartTest : public WindowFixture {
protected:
    void SetUp() override {
        WindowFixture::SetUp();
        Dir("work/Sub");
        Fixture("work/here.pdf", "crypt/empty40.pdf");
        Dir("other/docs/inner");
        Fixture("other/docs/a.pdf", "crypt/empty40.pdf");
        Fixture("other/docs/b.pdf", "crypt/empty40.pdf");
        File("other/docs/notes.txt", "notes\n");
        File("other/docs/.hidden.pdf", "x");
        ASSERT_EQ(::symlink(QFile::encodeName(At("other/docs")).constData(),
                            QFile::encodeName(At("work/docs-link")).constData()),
                  0);
        ASSERT_EQ(::symlink("nowhere", QFile::encodeName(At("work/dangling")).constData()), 0);
    }

    // Starts the window as `pagewick argument` run in the tree's folder work.
    void Start(const QString& argument) {
        ASSERT_TRUE(QDir::setCurrent(At("work")));
        form = OpenMainWindow(ResolveStartPlace(argument, QDir::currentPath()));
        ASSERT_NO_FATAL_FAILURE(Bind());
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        ASSERT_NO_FATAL_FAILURE(WaitUntilIdle());
    }

    QString SelectedCaption() const {
        const auto selected = list->selectionModel()->selectedRows();
        return selected.size() == 1 ? selected.first().data().toString() : QString();
    }
};

TEST_F(StartTest, AFolderIsListed) {
    struct Case {
        const char* what;
        QString argument;
        QString listed; // relative to the tree
    } cases[] = {
        {"none", "", "work"},
        {"absolute", At("other/docs"), "other/docs"},
        {"relative to the current folder", "../other/docs", "other/docs"},
        {"with a trailing slash", "../other/docs/", "other/docs"},
        {"through a link, which is resolved", "docs-link", "other/docs"},
        {"a subfolder", "Sub", "work/Sub"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        boxes.clear();
        ASSERT_NO_FATAL_FAILURE(Start(c.argument));
        EXPECT_EQ(Listed(), At(c.listed));
        EXPECT_TRUE(boxes.empty());
        EXPECT_TRUE(SelectedCaption().isEmpty());
        EXPECT_TRUE(nameField->text().isEmpty());
    }
    // The listed folder's rows, not the current folder's.
    ASSERT_NO_FATAL_FAILURE(Start("../other/docs"));
    EXPECT_EQ(Captions(), (std::vector<std::string>{"..", "inner", "a.pdf", "b.pdf"}));
}

TEST_F(StartTest, AFileIsSelectedInItsFolder) {
    struct Case {
        const char* what;
        QString argument;
        QString listed;
        QString selected; // empty: nothing
        int filter;       // the file-type box afterwards
    } cases[] = {
        {"a PDF file", "../other/docs/b.pdf", "other/docs", "b.pdf", 0},
        {"an absolute path", At("other/docs/a.pdf"), "other/docs", "a.pdf", 0},
        {"through a linked folder", "docs-link/b.pdf", "other/docs", "b.pdf", 0},
        {"in the current folder", "here.pdf", "work", "here.pdf", 0},
        // The PDF filter would hide it: the list shows every file instead.
        {"another kind of file", "../other/docs/notes.txt", "other/docs", "notes.txt", 2},
        // Hidden files are never listed: the folder is, and nothing is selected.
        {"a hidden file", "../other/docs/.hidden.pdf", "other/docs", "", 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        boxes.clear();
        ASSERT_NO_FATAL_FAILURE(Start(c.argument));
        EXPECT_EQ(Listed(), At(c.listed));
        EXPECT_EQ(SelectedCaption(), c.selected);
        EXPECT_EQ(nameField->text(), c.selected);
        EXPECT_EQ(typeFilter->currentIndex(), c.filter);
        EXPECT_TRUE(boxes.empty());
        if (!c.selected.isEmpty()) {
            const QRect shown = list->viewport()->rect();
            EXPECT_TRUE(
                shown.intersects(list->visualRect(list->selectionModel()->selectedRows().first())));
        }
    }
}

TEST_F(StartTest, APathThatNamesNothingIsReportedOverTheCurrentFolder) {
    for (const QString& argument : {QStringLiteral("no-such-folder"), At("other/missing/x.pdf"),
                                    QStringLiteral("dangling"), QStringLiteral("ない.pdf")}) {
        SCOPED_TRACE(argument.toStdString());
        boxes.clear();
        ASSERT_NO_FATAL_FAILURE(Start(argument));
        EXPECT_EQ(Listed(), At("work"));
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].icon, QMessageBox::Warning);
        EXPECT_EQ(boxes[0].buttons, QMessageBox::Ok);
        EXPECT_EQ(boxes[0].owner, form.get());
        EXPECT_TRUE(boxes[0].text.contains(argument)) << boxes[0].text.toStdString();
        EXPECT_TRUE(boxes[0].text.contains(At("work"))) << boxes[0].text.toStdString();
        EXPECT_EQ(Captions(), (std::vector<std::string>{"..", "docs-link", "Sub", "here.pdf"}));
    }
}

// The window is painted before its folder is opened, as on a share each question of the opening
// waits for the server.
TEST_F(StartTest, TheWindowIsPaintedBeforeItsFolderIsOpened) {
    struct PaintSeen : QObject {
        QStringList* order = nullptr;
        bool eventFilter(QObject*, QEvent* event) override {
            if (event->type() == QEvent::Paint && !order->contains("painted"))
                *order << "painted";
            return false;
        }
    } paintSeen;
    QStringList order;
    paintSeen.order = &order;
    ASSERT_TRUE(QDir::setCurrent(At("work")));
    form = OpenMainWindow(ResolveStartPlace("Sub", QDir::currentPath()));
    form->installEventFilter(&paintSeen);
    ASSERT_NO_FATAL_FAILURE(Bind());
    QObject::connect(loader, &FolderLoader::started, form.get(), [&] { order << "listed"; });
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    ASSERT_NO_FATAL_FAILURE(WaitUntilIdle());
    EXPECT_EQ(order, QStringList({"painted", "listed"}));
    EXPECT_EQ(Listed(), At("work/Sub"));
}

} // namespace
