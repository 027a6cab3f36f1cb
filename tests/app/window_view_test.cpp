// SPDX-License-Identifier: GPL-3.0-or-later
// A window that fits and remembers: the first start sized for the columns, the columns filling
// the list, the header's menu showing and hiding any column and resetting the view, and what
// is kept between runs (and nothing else).

#include "windowfixture.h"

#include "app/columns.h"
#include "app/viewsettings.h"

#include <QDirIterator>
#include <QMenu>
#include <QScreen>
#include <QTimer>

namespace {

class ViewTest : public WindowFixture {
protected:
    // Opens the header's menu and, once it shows, calls act with it.
    void WithHeaderMenu(const std::function<void(QMenu*)>& act) {
        bool shown = false;
        QTimer::singleShot(0, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            shown = menu != nullptr;
            if (menu) {
                act(menu);
                menu->close();
            }
        });
        QHeaderView* header = list->header();
        const QPoint at(header->sectionViewportPosition(0) + 5, header->height() / 2);
        emit header->customContextMenuRequested(at);
        EXPECT_TRUE(shown);
    }

    static QAction* Action(QMenu* menu, const QString& text) {
        for (QAction* action : menu->actions())
            if (action->text() == text)
                return action;
        return nullptr;
    }

    // The files of the configuration folder, relative to it.
    QStringList ConfigFiles() const {
        QStringList files;
        QDirIterator it(config.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext())
            files << QDir(config.path()).relativeFilePath(it.next());
        return files;
    }

    int ShownWidth() const {
        int width = 0;
        for (int i = 0; i < list->header()->count(); ++i)
            if (!list->isColumnHidden(i))
                width += list->columnWidth(i);
        return width;
    }
};

TEST(ViewSettings, TheFirstStartFitsWithinTwoThirdsOfTheScreen) {
    const QSize designed(472, 375);
    EXPECT_EQ(FirstStartSize(1000, designed, {1920, 1080}), QSize(1000, 720));
    EXPECT_EQ(FirstStartSize(3000, designed, {1920, 1080}), QSize(1280, 720));
    EXPECT_EQ(FirstStartSize(100, designed, {1920, 1080}), QSize(472, 720));
    EXPECT_EQ(FirstStartSize(1000, designed, {600, 400}), QSize(472, 375)); // never smaller
}

// What the user made of the view comes back at the next start, and only that is stored.
TEST_F(ViewTest, TheViewIsKeptBetweenRunsAndNothingElse) {
    File("work/a-long-name-that-the-first-start-shows-whole.pdf",
         BuiltPdf("%PDF-1.4", 1, "/Title (t)"));
    ASSERT_NO_FATAL_FAILURE(Open());
    // The first start: every column at its content, the name whole.
    const int nameWidth =
        list->fontMetrics().horizontalAdvance("a-long-name-that-the-first-start-shows-whole.pdf");
    EXPECT_GE(list->columnWidth(0), nameWidth);
    const QSize screen = form->screen()->availableSize();
    EXPECT_LE(form->width(), std::max(screen.width() * 2 / 3, form->minimumWidth()));
    EXPECT_GE(form->width(), form->minimumWidth());

    // The user's view: a column hidden, one moved, one widened, sorted by size descending, and
    // the window made larger; a search and a password, which are not kept.
    WithHeaderMenu([](QMenu* menu) { Action(menu, "キーワード")->trigger(); });
    EXPECT_TRUE(list->isColumnHidden(4));
    list->header()->moveSection(list->header()->visualIndex(11), 0);
    list->setColumnWidth(1, 333);
    ClickHeader(11);
    ClickHeader(11);
    ASSERT_EQ(model->sortColumn(), -12);
    form->resize(700, 500);
    form->findChild<QLineEdit*>("searchField")->setText("long");
    passwordField->setText("secret-word");
    QTest::keyClick(passwordField, Qt::Key_Return);
    ASSERT_NO_FATAL_FAILURE(WaitUntilIdle());
    form->close();

    EXPECT_EQ(ConfigFiles(), QStringList{"Pagewick/pagewick.conf"});
    QFile kept(config.path() + "/Pagewick/pagewick.conf");
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    const QByteArray text = kept.readAll();
    for (const char* secret : {"secret-word", "long", "work"})
        EXPECT_FALSE(text.contains(secret)) << secret;

    ASSERT_NO_FATAL_FAILURE(Open());
    EXPECT_EQ(form->size(), QSize(700, 500));
    EXPECT_TRUE(list->isColumnHidden(4));
    EXPECT_EQ(list->header()->logicalIndex(0), 11);
    EXPECT_EQ(list->columnWidth(1), 333);
    EXPECT_EQ(model->sortColumn(), -12);
    EXPECT_EQ(list->header()->sortIndicatorSection(), 11);
    EXPECT_TRUE(form->findChild<QLineEdit*>("searchField")->text().isEmpty());
    EXPECT_TRUE(passwordField->text().isEmpty());

    // Reset: every column back, in its place, sorted by name.
    WithHeaderMenu([](QMenu* menu) { menu->findChild<QAction*>("resetView")->trigger(); });
    EXPECT_FALSE(list->isColumnHidden(4));
    for (int i = 0; i < list->header()->count(); ++i)
        EXPECT_EQ(list->header()->logicalIndex(i), i);
    EXPECT_EQ(model->sortColumn(), 1);
}

// The menu offers every column the list has, the name always shown.
TEST_F(ViewTest, TheHeaderMenuShowsAndHidesAnyColumn) {
    ASSERT_NO_FATAL_FAILURE(Open());
    const int columns = list->model()->columnCount();
    WithHeaderMenu([&](QMenu* menu) {
        int offered = 0;
        for (QAction* action : menu->actions())
            offered += action->isCheckable() ? 1 : 0;
        EXPECT_EQ(offered, columns);
        QAction* name = Action(menu, "名前");
        ASSERT_TRUE(name);
        EXPECT_FALSE(name->isEnabled());
        Action(menu, "タイトル")->trigger();
    });
    EXPECT_TRUE(list->isColumnHidden(1));
    // The search no longer finds what only a hidden column shows.
    File("work/plain.pdf", BuiltPdf("%PDF-1.4", 1, "/Title (Findable)"));
    Click(refreshButton);
    form->findChild<QLineEdit*>("searchField")->setText("findable");
    EXPECT_EQ(RowCount(), 0);
    WithHeaderMenu([](QMenu* menu) { Action(menu, "タイトル")->trigger(); });
    EXPECT_FALSE(list->isColumnHidden(1));
    EXPECT_GT(list->columnWidth(1), 20);
    EXPECT_EQ(Captions(), std::vector<std::string>{"plain.pdf"});
}

// An optional column shown from the menu has its values read, sorts by them, is kept with the
// view and goes into the table saved for other programs; the list keeps its own columns.
TEST_F(ViewTest, AnOptionalColumnIsReadSortedKeptAndSaved) {
    Fixture("work/a.pdf", "features/a3-landscape.pdf");
    Fixture("work/b.pdf", "features/hagaki.pdf");
    Fixture("work/c.pdf", "features/b5-jis.pdf");
    ASSERT_NO_FATAL_FAILURE(Open());
    const int paper = int(Column::Paper);
    EXPECT_TRUE(list->isColumnHidden(paper));
    EXPECT_EQ(Row("a.pdf")->features, nullptr); // the default columns need no longer read
    WithHeaderMenu([](QMenu* menu) { Action(menu, "用紙")->trigger(); });
    ASSERT_NO_FATAL_FAILURE(WaitUntilIdle());
    EXPECT_FALSE(list->isColumnHidden(paper));
    ClickHeader(paper);
    EXPECT_EQ(Captions(), (std::vector<std::string>{"..", "b.pdf", "c.pdf", "a.pdf"}));
    EXPECT_EQ(Text(3, paper), "A3 横");

    saveChoice = SaveChoice{At("table.csv"), ListEncoding::Utf8WithMark};
    Click(saveListButton);
    saveChoice = SaveChoice{At("list.txt"), ListEncoding::Cp932};
    Click(saveListButton);
    QFile table(At("table.csv")), saved(At("list.txt"));
    ASSERT_TRUE(table.open(QIODevice::ReadOnly) && saved.open(QIODevice::ReadOnly));
    const QStringList records = QString::fromUtf8(table.readAll().mid(3)).split("\r\n");
    EXPECT_TRUE(records[0].endsWith(",更新日時,用紙")) << records[0].toStdString();
    EXPECT_TRUE(records[1].startsWith("b.pdf,") && records[1].contains("はがき"))
        << records[1].toStdString();
    EXPECT_FALSE(saved.readAll().contains(QByteArray("\x97\x70\x8E\x86"))); // 用紙 in 932
    form->close();

    ASSERT_NO_FATAL_FAILURE(Open());
    EXPECT_FALSE(list->isColumnHidden(paper));
    EXPECT_EQ(model->sortColumn(), paper + 1);
    EXPECT_EQ(Captions(), (std::vector<std::string>{"..", "b.pdf", "c.pdf", "a.pdf"}));
}

// A wider window widens the list's columns with it, up to the list's edge.
TEST_F(ViewTest, TheColumnsFillTheList) {
    ASSERT_NO_FATAL_FAILURE(Open());
    for (int width : {1400, 1900}) {
        form->resize(width, 600);
        QApplication::processEvents();
        EXPECT_EQ(ShownWidth(), list->viewport()->width()) << width;
    }
}

} // namespace
