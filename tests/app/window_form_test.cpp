// SPDX-License-Identifier: GPL-3.0-or-later
// The window itself: texts, hints, tab order, Esc and Enter, the filter's drop-down width,
// and what a running listing lets through.

#include "windowfixture.h"

#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>

#include <functional>

namespace {

using FormTest = WindowFixture;

TEST_F(FormTest, TextsAndHints) {
    ASSERT_NO_FATAL_FAILURE(Open());
    EXPECT_EQ(form->windowTitle(), "Pagewick Ver. 1.0");
    EXPECT_EQ(QApplication::applicationName(), "Pagewick");
    form->resize(form->minimumSize());
    QApplication::processEvents();
    struct Case {
        QWidget* widget;
        QString text;
        QString hint;
    } cases[] = {
        {exitButton, "", "終了"},
        {upButton, "", "１つ上のフォルダ"},
        {helpButton, "", "ヘルプ"},
        {refreshButton, "",
         "最新情報に更新（フォルダを読み直します。入力したパスワードも試します）"},
        {saveListButton, "一覧の保存", ""},
        {openButton, "開く", ""},
        {typeFilter, "", "ファイルの種類"},
        {passwordField, "", "パスワード（Enter で試します）"},
        {nameField, "", "ファイルの名前"},
        {lenientCheck, "パスワード：", "MultiByteパスワードを認める\r\n空パスワードを認める"},
        {chooser, "", "ファイルの場所（フォルダのパスを入力して Enter でも移動できます）"},
        {form->findChild<QLabel*>("searchLabel"), "検索：", ""},
        {form->findChild<QLabel*>("locationLabel"), "場所：", ""},
        {form->findChild<QLabel*>("nameLabel"), "名前：", ""},
        {form->findChild<QLabel*>("typeLabel"), "種類：", ""},
        {passwordLabel, "パスワード：", ""},
    };
    for (const Case& c : cases) {
        ASSERT_NE(c.widget, nullptr) << c.text.toStdString();
        SCOPED_TRACE(c.widget->objectName().toStdString());
        EXPECT_EQ(c.widget->toolTip(), c.hint);
        if (auto* button = qobject_cast<QAbstractButton*>(c.widget)) {
            EXPECT_EQ(button->text(), c.text);
            if (qobject_cast<QToolButton*>(c.widget)) {
                EXPECT_FALSE(button->icon().isNull());
            }
        }
        if (auto* label = qobject_cast<QLabel*>(c.widget)) {
            EXPECT_EQ(label->text(), c.text);
        }
    }
    EXPECT_EQ(typeFilter->currentIndex(), 0);
    EXPECT_EQ(typeFilter->count(), 3);
    EXPECT_EQ(passwordField->echoMode(), QLineEdit::Password);
    EXPECT_TRUE(nameField->isReadOnly());
    EXPECT_FALSE(lenientCheck->isVisible());
    EXPECT_FALSE(lenientCheck->isChecked());
    EXPECT_TRUE(openButton->isDefault());
    // The chooser takes its place in the design, over no placeholder.
    EXPECT_EQ(chooser->geometry(), QRect(72, 8, 305, 20));
    for (const QLabel* label : form->findChildren<QLabel*>())
        EXPECT_FALSE(label->isVisible() &&
                     QRect(label->mapTo(form.get(), QPoint(0, 0)), label->size())
                         .intersects(chooser->geometry()))
            << label->text().toStdString();
}

TEST_F(FormTest, TabOrder) {
    associations[platform::ExecutablePath() + ".htm"] = {"/x/b.desktop", "b %u", "B"};
    ASSERT_NO_FATAL_FAILURE(Open());
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    auto chain = [&] {
        std::vector<QWidget*> order;
        list->setFocus();
        for (int i = 0; i < 16; ++i) {
            QWidget* focused = QApplication::focusWidget();
            if (!focused || (i > 0 && focused == list))
                break;
            order.push_back(focused);
            QTest::keyClick(focused, Qt::Key_Tab);
        }
        return order;
    };
    auto* search = form->findChild<QLineEdit*>("searchField");
    const std::vector<QWidget*> hidden = {
        list,          nameField,  passwordField,
        refreshButton, openButton, saveListButton,
        upButton,      typeFilter, form->findChild<QWidget*>(QStringLiteral("detailsButton")),
        helpButton,    exitButton, chooser,
        search};
    EXPECT_EQ(chain(), hidden);
    kana = true;
    QTest::keyClick(list, Qt::Key_7, Qt::ControlModifier | Qt::ShiftModifier);
    ASSERT_TRUE(lenientCheck->isVisible());
    std::vector<QWidget*> shown = hidden;
    shown.insert(shown.begin() + 2, lenientCheck);
    EXPECT_EQ(chain(), shown);
}

TEST_F(FormTest, EscClosesAndEnterOpens) {
    Dir("work/Sub");
    ASSERT_NO_FATAL_FAILURE(Open());
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    // Enter in the name field presses the default button, which opens the named folder.
    nameField->setText("Sub");
    nameField->setFocus();
    QTest::keyClick(nameField, Qt::Key_Return);
    ASSERT_NO_FATAL_FAILURE(WaitUntilIdle());
    EXPECT_EQ(Listed(), At("work/Sub"));
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Escape);
    EXPECT_FALSE(form->isVisible());
}

TEST_F(FormTest, TheFilterListIsWideEnoughForItsLongestItem) {
    ASSERT_NO_FATAL_FAILURE(Open());
    const QString longest = QStringLiteral("Pdf+画像(*jpg;*png;*.bmp;*.emf)");
    const int expected = QFontMetrics(typeFilter->font()).horizontalAdvance(longest) +
                         form->style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 10;
    EXPECT_EQ(typeFilter->view()->minimumWidth(), expected);
    EXPECT_GT(expected, typeFilter->width());
}

// What the window lets through while a listing it asked for runs: the inputs that would list
// again are held, the buttons that act on the list do nothing, and leaving is honoured at
// once, however long the listing would still take.
TEST_F(FormTest, ARunningListingHoldsItsInputsAndLetsTheUserLeave) {
    File("work/readme", "no extension\n");
    Fixture("work/a.pdf", "crypt/empty40.pdf");
    Fixture("work/b.pdf", "crypt/empty40.pdf");
    ASSERT_NO_FATAL_FAILURE(Open());
    ChooseFilter(2);
    const int sortBefore = model->sortColumn();
    const std::shared_ptr<Hang> hang = HangIn("/work/");
    QTest::mouseClick(refreshButton, Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return hang->entered > 0; }, 5000));
    EXPECT_EQ(loader->state(), FolderLoader::State::Listing);
    EXPECT_FALSE(typeFilter->isEnabled());
    EXPECT_FALSE(passwordField->isEnabled());
    EXPECT_FALSE(lenientCheck->isEnabled());
    EXPECT_TRUE(chooser->isEnabled()); // a folder chosen now ends the listing
    nameField->setText("readme");      // "開く" would report it has no program
    for (QAbstractButton* button : std::initializer_list<QAbstractButton*>{
             openButton, saveListButton, upButton, refreshButton})
        QTest::mouseClick(button, Qt::LeftButton);
    ClickHeader(3);
    typeFilter->setCurrentIndex(0);
    emit typeFilter->activated(0);
    QApplication::processEvents();
    EXPECT_EQ(model->sortColumn(), sortBefore);
    EXPECT_EQ(list->header()->sortIndicatorSection(), 0);
    EXPECT_EQ(list->header()->sortIndicatorOrder(), Qt::AscendingOrder);
    EXPECT_EQ(scansRun, 3); // the first listing, the filter's, the refresh
    EXPECT_TRUE(boxes.empty());
    EXPECT_TRUE(proposedNames.empty());
    EXPECT_TRUE(started.empty());
    EXPECT_EQ(Listed(), At("work"));
    EXPECT_EQ(loader->state(), FolderLoader::State::Listing);
    // Esc (the exit button) is honoured at once.
    QTest::keyClick(list, Qt::Key_Escape);
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(FormTest, AHeaderClickWhileAListingRunsLeavesTheOrderAndTheIndicator) {
    for (int i = 0; i < 6; ++i)
        Fixture(QStringLiteral("work/f%1.pdf").arg(i), "crypt/empty40.pdf");
    ASSERT_NO_FATAL_FAILURE(Open());
    // The listing hangs after its first entries, which the list shows meanwhile.
    const std::shared_ptr<Hang> hang = HangIn("/work/", 3);
    QTest::mouseClick(refreshButton, Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return hang->entered > 0 && RowCount() > 0; }, 5000));
    ClickHeader(3);
    EXPECT_EQ(model->sortColumn(), 1);
    EXPECT_EQ(list->header()->sortIndicatorSection(), 0);
    EXPECT_EQ(list->header()->sortIndicatorOrder(), Qt::AscendingOrder);
    hang->Release();
    ASSERT_NO_FATAL_FAILURE(WaitUntilIdle());
    EXPECT_EQ(model->sortColumn(), 1);
    EXPECT_EQ(list->header()->sortIndicatorSection(), 0);
}

// A folder chosen while a listing runs ends that listing and is listed at once; of several,
// the last one chosen (here the drive list, which means the root of the current volume, and
// then a folder).
TEST_F(FormTest, AFolderChosenDuringAListingEndsItAndIsListedAtOnce) {
    Dir("work/Sub");
    Fixture("work/Sub/inner.pdf", "crypt/empty40.pdf");
    for (const char* name : {"a.pdf", "b.pdf", "c.pdf", "d.pdf"})
        Fixture(QStringLiteral("work/") + name, "crypt/empty40.pdf");
    ASSERT_NO_FATAL_FAILURE(Open());
    const std::shared_ptr<Hang> hang = HangIn("/work/");
    QTest::mouseClick(refreshButton, Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return hang->entered > 0; }, 5000));
    chooser->setSelectedNode(chooser->tree()->rootNode());
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(chooser, &enter);
    chooser->openPath(At("work/Sub/"));
    ASSERT_NO_FATAL_FAILURE(WaitUntilIdle());
    EXPECT_EQ(Listed(), At("work/Sub"));
    EXPECT_EQ(Captions(), (std::vector<std::string>{"..", "inner.pdf"}));
    EXPECT_EQ(Row("a.pdf"), nullptr);
    EXPECT_TRUE(typeFilter->isEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(FormTest, TheCursorShowsTheHourglassWhileListing) {
    Fixture("work/a.pdf", "crypt/empty40.pdf");
    ASSERT_NO_FATAL_FAILURE(Open());
    const std::shared_ptr<Hang> hang = HangIn("/work/");
    QTest::mouseClick(refreshButton, Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return hang->entered > 0; }, 5000));
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    hang->Release();
    ASSERT_NO_FATAL_FAILURE(WaitUntilIdle());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

} // namespace
