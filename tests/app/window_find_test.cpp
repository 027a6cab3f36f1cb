// SPDX-License-Identifier: GPL-3.0-or-later
// Finding and copying: the search narrows the list as it is typed, the rows' context menu
// opens and copies, Ctrl+C copies the selected rows, and the status line totals the rows shown.

#include "windowfixture.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QTimer>

#include <algorithm>

namespace {

class FindTest : public WindowFixture {
protected:
    void SetUp() override {
        WindowFixture::SetUp();
        // Names in the forms a Japanese keyboard gives: full-width letters, half-width kana.
        File("work/report-a.pdf", BuiltPdf("%PDF-1.4", 3, "/Title (Quarterly)"), kFileTime);
        File("work/ＲＥＰＯＲＴ-b.pdf", BuiltPdf("%PDF-1.4", 12, "/Title (Other)"), kFileTime);
        File("work/ｱﾆﾒ.pdf", BuiltPdf("%PDF-1.4", 2, "/Title (Anime)"), kFileTime);
        File("work/other.pdf", BuiltPdf("%PDF-1.4", 5, "/Title (Plain)"), kFileTime);
        Dir("work/Reports");
    }

    QLineEdit* Search() const { return form->findChild<QLineEdit*>("searchField"); }
    QString Count() const { return form->findChild<QLabel*>("searchCount")->text(); }
    QString Status() const { return form->findChild<QLabel*>("statusLine")->text(); }

    void Type(const QString& text) {
        Search()->setFocus();
        Search()->selectAll();
        TypeInto(Search(), text);
    }

    // Opens the rows' context menu on the row of caption (column column) and triggers the
    // action of that name; false when the menu or the action was not there.
    bool FromRowMenu(const std::string& caption, const char* action, int column = 0) {
        const QModelIndex item = Item(caption);
        if (!item.isValid())
            return false;
        list->scrollTo(item);
        const QRect cell = list->visualRect(item.siblingAtColumn(column));
        const QPoint at(cell.left() + 4, cell.center().y());
        bool found = false;
        QTimer::singleShot(0, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            QAction* chosen = menu ? menu->findChild<QAction*>(action) : nullptr;
            found = chosen && chosen->isEnabled();
            if (menu)
                menu->close();
            if (found)
                chosen->trigger();
        });
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, list->viewport()->mapToGlobal(at));
        QApplication::sendEvent(list->viewport(), &event);
        return found;
    }

    static QString Clipboard() { return QGuiApplication::clipboard()->text(); }
};

TEST_F(FindTest, TheSearchNarrowsTheRowsAsItIsTyped) {
    ASSERT_NO_FATAL_FAILURE(Open());
    EXPECT_EQ(Count(), "6 / 6 件");
    int64_t bytes = 0;
    for (const ListRow& row : Rows())
        bytes += row.size;
    EXPECT_GT(bytes, 1000);
    EXPECT_EQ(Status(), QStringLiteral("4 ファイル　22 頁　%1 バイト")
                            .arg(QLocale(QLocale::English).toString(qlonglong(bytes))));
    const struct {
        QString typed;
        std::vector<std::string> shown;
        QString status;
    } cases[] = {
        {"report", {"Reports", "report-a.pdf", "ＲＥＰＯＲＴ-b.pdf"}, "2 ファイル　15 頁"},
        {"ＲＥＰＯＲＴ", {"Reports", "report-a.pdf", "ＲＥＰＯＲＴ-b.pdf"}, "2 ファイル　15 頁"},
        {"アニメ", {"ｱﾆﾒ.pdf"}, "1 ファイル　2 頁"},
        {"quarter", {"report-a.pdf"}, "1 ファイル　3 頁"}, // a title
        {"2004/07/15",
         {"report-a.pdf", "ＲＥＰＯＲＴ-b.pdf", "ｱﾆﾒ.pdf", "other.pdf"},
         "4 ファイル"},
        {"no such text", {}, "0 ファイル　0 頁　0 バイト"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed.toStdString());
        Type(c.typed);
        // The rows found, in the list's order.
        std::vector<std::string> expected;
        for (const ListRow& row : Rows())
            if (std::count(c.shown.begin(), c.shown.end(), row.caption))
                expected.push_back(row.caption);
        EXPECT_EQ(expected.size(), c.shown.size());
        EXPECT_EQ(Captions(), expected);
        EXPECT_EQ(Count(), QStringLiteral("%1 / 6 件").arg(c.shown.size()));
        EXPECT_TRUE(Status().startsWith(c.status)) << Status().toStdString();
    }
    // Esc clears the search first, and closes the window only then.
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Escape);
    EXPECT_TRUE(Search()->text().isEmpty());
    EXPECT_EQ(RowCount(), 6);
    EXPECT_TRUE(form->isVisible());
    QTest::keyClick(list, Qt::Key_Escape);
    EXPECT_FALSE(form->isVisible());
}

TEST_F(FindTest, CtrlFFindsAndTheSearchHoldsAcrossFolders) {
    ASSERT_NO_FATAL_FAILURE(Open());
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    list->setFocus();
    QTest::keyClick(list, Qt::Key_F, Qt::ControlModifier);
    EXPECT_TRUE(Search()->hasFocus());
    QTest::keyClicks(Search(), "pdf");
    EXPECT_EQ(RowCount(), 4);
    // A listing of the folder again keeps the search; a sort orders what it finds.
    Click(refreshButton);
    EXPECT_EQ(RowCount(), 4);
    ClickHeader(8); // 頁数
    EXPECT_EQ(Captions(), (std::vector<std::string>{"ｱﾆﾒ.pdf", "report-a.pdf", "other.pdf",
                                                    "ＲＥＰＯＲＴ-b.pdf"}));
    // Enter in the search goes to the list's first row.
    QTest::keyClick(Search(), Qt::Key_Return);
    EXPECT_TRUE(list->hasFocus());
    EXPECT_EQ(Highlighted(), "ｱﾆﾒ.pdf");
}

TEST_F(FindTest, CtrlCAndTheMenuCopyWhatTheListShows) {
    ASSERT_NO_FATAL_FAILURE(Open());
    // Several rows at once: a click, then Ctrl+click.
    Select("other.pdf");
    const QModelIndex second = Item("report-a.pdf");
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier,
                      QPoint(10, list->visualRect(second).center().y()));
    ASSERT_EQ(list->selectionModel()->selectedRows().size(), 2);
    list->setFocus();
    QGuiApplication::clipboard()->clear();
    QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier);
    const QString date = QStringLiteral("2004/07/15 09:03:27");
    auto line = [&](const char* name, const char* title, const char* pages) {
        return QStringLiteral("%1\t%2\t\t\t\t\t\t無し\t%3\t%4\t1.4\t1KB\t.PDF\t%5\n")
            .arg(name, title, pages, QString::fromUtf8(Row(name)->cells[8]), date);
    };
    // In the list's order, whichever was selected first.
    const auto captions = Captions();
    const bool otherFirst = std::find(captions.begin(), captions.end(), "other.pdf") <
                            std::find(captions.begin(), captions.end(), "report-a.pdf");
    const QString rows =
        otherFirst ? line("other.pdf", "Plain", "5") + line("report-a.pdf", "Quarterly", "3")
                   : line("report-a.pdf", "Quarterly", "3") + line("other.pdf", "Plain", "5");
    EXPECT_EQ(Clipboard(), rows);

    // The menu: the rows, the paths and the cell under the pointer.
    QGuiApplication::clipboard()->clear();
    ASSERT_TRUE(FromRowMenu("other.pdf", "copyRows"));
    EXPECT_EQ(Clipboard(), rows);
    ASSERT_TRUE(FromRowMenu("other.pdf", "copyPath"));
    EXPECT_EQ(Clipboard(), otherFirst ? At("work/other.pdf") + "\n" + At("work/report-a.pdf")
                                      : At("work/report-a.pdf") + "\n" + At("work/other.pdf"));
    ASSERT_TRUE(FromRowMenu("other.pdf", "copyCell", 1));
    EXPECT_EQ(Clipboard(), "Plain");
    // A row outside the selection is selected by the menu, alone.
    ASSERT_TRUE(FromRowMenu("ｱﾆﾒ.pdf", "copyCell", 13));
    EXPECT_EQ(Clipboard(), date);
    ASSERT_TRUE(FromRowMenu("ｱﾆﾒ.pdf", "copyPath"));
    EXPECT_EQ(Clipboard(), At("work/ｱﾆﾒ.pdf"));
    // Hidden columns are not copied, and the order on screen is the order copied.
    list->header()->moveSection(list->header()->visualIndex(1), 0);
    for (int column = 2; column < list->header()->count(); ++column)
        list->setColumnHidden(column, true);
    ASSERT_TRUE(FromRowMenu("ｱﾆﾒ.pdf", "copyRows"));
    EXPECT_EQ(Clipboard(), "Anime\tｱﾆﾒ.pdf\n");
}

TEST_F(FindTest, TheMenuOpensTheRowAndItsFolder) {
    associations[At("work/other.pdf")] = {"/x/viewer.desktop", "viewer %f", "Viewer"};
    ASSERT_NO_FATAL_FAILURE(Open());
    ASSERT_TRUE(FromRowMenu("other.pdf", "openRow"));
    ASSERT_EQ(started.size(), 1u);
    EXPECT_EQ(started[0].argv, (QStringList{"viewer", At("work/other.pdf")}));
    started.clear();
    ASSERT_TRUE(FromRowMenu("other.pdf", "openFolder"));
    ASSERT_EQ(started.size(), 1u);
    EXPECT_EQ(started[0].argv, (QStringList{"xdg-open", At("work/")}));
    started.clear();
    ASSERT_TRUE(FromRowMenu("Reports", "openFolder"));
    ASSERT_EQ(started.size(), 1u);
    EXPECT_EQ(started[0].argv, (QStringList{"xdg-open", At("work/Reports")}));
    // 開く on a folder enters it.
    ASSERT_TRUE(FromRowMenu("Reports", "openRow"));
    ASSERT_NO_FATAL_FAILURE(WaitUntilIdle());
    EXPECT_EQ(Listed(), At("work/Reports"));
}

} // namespace
