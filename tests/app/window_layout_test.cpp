// SPDX-License-Identifier: GPL-3.0-or-later
// The window at other sizes, the whole text of narrow cells as tooltips, Qt's own texts in
// Japanese and the lenient-password check box over its label.

#include "windowfixture.h"

#include "app/translations.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTextDocument>
#include <QTimer>
#include <QToolButton>
#include <QToolTip>

#include <cstdlib>
#include <tuple>

namespace {

class LayoutTest : public WindowFixture {
protected:
    // Where w lies in the window.
    QRect InWindow(const QWidget* w) const {
        return QRect(w->mapTo(form.get(), QPoint(0, 0)), w->size());
    }
};

// How a control follows a larger window.
enum Growth : unsigned { Stays = 0, Widens = 1, Heightens = 2, MovesRight = 4, MovesDown = 8 };

struct Designed {
    const char* name;
    QRect rect; // at 472 x 333; a label's only where its text begins
    unsigned growth;
};

// The design of the window at its smallest size, and how each control grows: the designed
// 472 x 333 with the search above the list and the status line below all.
constexpr int kSearch = 24; // the search row's height
const Designed kDesign[] = {
    {"exitButton", {8, 8, 24, 24}, Stays},
    {"locationLabel", {40, 13, 0, 0}, Stays},
    {"folderChooser", {72, 8, 305, 20}, Widens},
    {"upButton", {384, 8, 24, 24}, MovesRight},
    {"detailsButton", {416, 8, 24, 24}, MovesRight},
    {"helpButton", {448, 8, 24, 24}, MovesRight},
    {"searchLabel", {8, 35 + 5, 0, 0}, Stays},
    {"searchField", {40, 35, 328, 20}, Widens},
    {"searchCount", {375, 35, 90, 20}, MovesRight},
    {"fileList", {9, 33 + kSearch, 456, 240}, Widens | Heightens},
    {"typeLabel", {8, 285 + kSearch, 0, 0}, MovesDown},
    {"typeFilter", {40, 280 + kSearch, 121, 20}, MovesDown},
    {"passwordLabel", {168, 285 + kSearch, 0, 0}, MovesDown},
    {"passwordField", {240, 280 + kSearch, 81, 20}, MovesDown},
    {"refreshButton", {328, 280 + kSearch, 24, 24}, MovesDown},
    {"saveListButton", {360, 280 + kSearch, 105, 25}, MovesDown | MovesRight},
    {"nameLabel", {8, 309 + kSearch, 0, 0}, MovesDown},
    {"nameField", {40, 304 + kSearch, 313, 20}, MovesDown | Widens},
    {"openButton", {360, 304 + kSearch, 105, 25}, MovesDown | MovesRight},
    {"statusLine", {8, 329 + kSearch, 457, 18}, MovesDown | Widens},
};

TEST_F(LayoutTest, ControlsFollowTheWindowsEdges) {
    ASSERT_NO_FATAL_FAILURE(Open());
    const QSize smallest(472, 333 + kSearch + 18);
    EXPECT_EQ(form->minimumSize(), smallest);
    form->resize(smallest);
    QApplication::processEvents();
    EXPECT_EQ(form->size(), smallest);
    // Each control within 2 pixels of the design.
    std::vector<std::pair<const Designed*, QRect>> measured;
    for (const Designed& d : kDesign) {
        SCOPED_TRACE(d.name);
        const QWidget* w = form->findChild<QWidget*>(d.name);
        ASSERT_NE(w, nullptr);
        const QRect at = InWindow(w);
        const bool label = d.rect.isEmpty();
        const QRect compared = label ? QRect(at.topLeft(), d.rect.size()) : at;
        for (const auto& [edge, was, is] :
             {std::tuple{"left", d.rect.left(), compared.left()},
              std::tuple{"top", d.rect.top(), compared.top()},
              std::tuple{"right", d.rect.right(), compared.right()},
              std::tuple{"bottom", d.rect.bottom(), compared.bottom()}})
            EXPECT_LE(std::abs(is - was), 2) << edge << " " << is << " designed " << was;
        measured.emplace_back(&d, at);
    }

    const int dx = 1920 - 472, dy = 1000 - smallest.height();
    form->resize(1920, 1000);
    QApplication::processEvents();
    for (const auto& [d, was] : measured) {
        SCOPED_TRACE(d->name);
        QRect expected = was;
        if (d->growth & Widens)
            expected.setWidth(was.width() + dx);
        if (d->growth & Heightens)
            expected.setHeight(was.height() + dy);
        expected.translate(d->growth & MovesRight ? dx : 0, d->growth & MovesDown ? dy : 0);
        EXPECT_EQ(InWindow(form->findChild<QWidget*>(d->name)), expected);
    }
    // The bottom controls keep their distance to the bottom edge; the list ends where it did.
    EXPECT_EQ(form->height() - openButton->geometry().bottom(), 333 - 328 + 18);
    EXPECT_EQ(form->width() - InWindow(list).right(), 472 - 464);

    form->showMaximized();
    QApplication::processEvents();
    EXPECT_TRUE(form->isMaximized());
    EXPECT_EQ(InWindow(list).right(), form->width() - 8);

    // Back to the smallest size: everything where it was.
    form->showNormal();
    form->resize(smallest);
    QApplication::processEvents();
    for (const auto& [d, was] : measured)
        EXPECT_EQ(InWindow(form->findChild<QWidget*>(d->name)), was) << d->name;
}

TEST_F(LayoutTest, NarrowCellsShowTheirWholeTextAsTooltip) {
    File("work/a-rather-long-file-name-that-does-not-fit.pdf",
         BuiltPdf("%PDF-1.4", 1, "/Title (short)"));
    // A title written like HTML, which Qt would show as a heading without its tags, and with
    // two blanks in a row.
    File("work/b.pdf", BuiltPdf("%PDF-1.4", 1, "/Title (<h1>Quarterly  <i>report of the year)"));
    ASSERT_NO_FATAL_FAILURE(Open());
    auto tooltipAt = [&](const char* name, int column) {
        const QModelIndex item = Item(name);
        EXPECT_TRUE(item.isValid()) << name;
        list->scrollTo(item);
        list->horizontalScrollBar()->setValue(list->header()->sectionPosition(column));
        QApplication::processEvents();
        const QRect rect = list->visualRect(item);
        const QPoint at(list->header()->sectionViewportPosition(column) + 5, rect.center().y());
        QToolTip::hideText(); // it goes after a moment
        EXPECT_TRUE(QTest::qWaitFor([] { return !QToolTip::isVisible(); }, 2000));
        QHelpEvent help(QEvent::ToolTip, at, list->viewport()->mapToGlobal(at));
        QApplication::sendEvent(list->viewport(), &help);
        if (!QToolTip::isVisible())
            return QString();
        // What the tip shows: Qt reads a text that looks like HTML as HTML.
        QTextDocument shown;
        if (Qt::mightBeRichText(QToolTip::text()))
            shown.setHtml(QToolTip::text());
        else
            shown.setPlainText(QToolTip::text());
        return shown.toPlainText();
    };
    const char* longName = "a-rather-long-file-name-that-does-not-fit.pdf";
    list->setColumnWidth(0, 120); // the first start fitted it to the name
    EXPECT_EQ(tooltipAt(longName, 0), longName);
    EXPECT_EQ(tooltipAt(longName, 1), ""); // "short" fits
    list->setColumnWidth(1, 80);
    EXPECT_EQ(tooltipAt("b.pdf", 1), "<h1>Quarterly  <i>report of the year");
    // Wide enough: no tooltip.
    list->setColumnWidth(0, 600);
    EXPECT_EQ(tooltipAt(longName, 0), "");
    QToolTip::hideText();
}

TEST_F(LayoutTest, TheCheckBoxCoversItsLabel) {
    kana = true;
    ASSERT_NO_FATAL_FAILURE(Open());
    QTest::keyClick(list, Qt::Key_7, Qt::ControlModifier | Qt::ShiftModifier);
    ASSERT_TRUE(lenientCheck->isVisible());
    const QRect box = InWindow(lenientCheck);
    const QRect label = InWindow(passwordLabel);
    // It hides the label beneath it whole, its caption is not cut, and it keeps clear of
    // the filter and the password field beside it.
    EXPECT_TRUE(box.contains(label))
        << box.x() << "," << box.y() << " " << box.width() << "x" << box.height() << " label "
        << label.x() << "," << label.y() << " " << label.width() << "x" << label.height();
    EXPECT_FALSE(passwordLabel->isVisible());
    EXPECT_GE(box.width(), lenientCheck->sizeHint().width());
    EXPECT_GT(box.left(), InWindow(typeFilter).right());
    EXPECT_LT(box.right(), InWindow(passwordField).left());
    // Hidden again: the label is back.
    QTest::keyClick(list, Qt::Key_7, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_FALSE(lenientCheck->isVisible());
    EXPECT_TRUE(passwordLabel->isVisible());
}

// The save dialog as the user sees it: Japanese buttons, and no question before replacing.
TEST_F(LayoutTest, TheSaveDialogIsJapaneseAndReplacesWithoutAsking) {
    ASSERT_TRUE(LoadJapaneseQtTranslations(*qApp));
    ASSERT_NO_FATAL_FAILURE(Open());
    File("work/list.txt", "old\n");
    QStringList buttons;
    bool confirms = true;
    QString title;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        title = dialog->windowTitle();
        confirms = !dialog->testOption(QFileDialog::DontConfirmOverwrite);
        for (QPushButton* b :
             dialog->findChildren<QDialogButtonBox*>().value(0)->findChildren<QPushButton*>())
            buttons << b->text();
        dialog->reject();
    });
    const auto chosen = RunSaveDialogForList(form.get(), "ファイル一覧の保存", At("work/list.txt"));
    EXPECT_FALSE(chosen);
    EXPECT_EQ(title, "ファイル一覧の保存");
    EXPECT_FALSE(confirms);
    EXPECT_TRUE(buttons.contains("保存(&S)") || buttons.contains("保存"))
        << buttons.join("|").toStdString();
    EXPECT_TRUE(buttons.contains("キャンセル")) << buttons.join("|").toStdString();
}

} // namespace
