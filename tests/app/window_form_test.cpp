// SPDX-License-Identifier: GPL-3.0-or-later
// The window itself: texts, hints, tab order, Esc and Enter, the filter's drop-down width,
// and what a running scan lets through.

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
    EXPECT_EQ(form->size(), QSize(472, 333));
    struct Case {
        QWidget* widget;
        QString text;
        QString hint;
    } cases[] = {
        {form->BitBtn4, "", "終了"},
        {form->BitBtn1, "", "１つ上のフォルダ"},
        {form->BitBtn3, "", "ヘルプ"},
        {form->BitBtn2, "", "最新情報に更新"},
        {form->Button2, "一覧の保存", ""},
        {form->Button1, "開く", ""},
        {form->ComboBox1, "", "ファイルの種類"},
        {form->MaskEdit1, "", "パスワード(PrintableASCII Only)"},
        {form->Edit1, "", "ファイルの名前"},
        {form->CheckBox1, "パスワード：", "MultiByteパスワードを認める\r\n空パスワードを認める"},
        {form->FDirCombo, "", "ファイルの場所"},
        {form->Label1, "場所：", ""},
        {form->Label2, "名前：", ""},
        {form->Label3, "種類：", ""},
        {form->Label4, "パスワード：", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.widget->metaObject()->className());
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
    EXPECT_EQ(form->ComboBox1->currentIndex(), 0);
    EXPECT_EQ(form->ComboBox1->count(), 3);
    EXPECT_EQ(form->MaskEdit1->echoMode(), QLineEdit::Password);
    EXPECT_TRUE(form->Edit1->isReadOnly());
    EXPECT_FALSE(form->CheckBox1->isVisible());
    EXPECT_FALSE(form->CheckBox1->isChecked());
    EXPECT_TRUE(form->Button1->isDefault());
    // The chooser lies over its placeholder.
    EXPECT_EQ(form->FDirCombo->geometry(), form->Label5->geometry());
    EXPECT_EQ(form->FDirCombo->geometry(), QRect(72, 8, 337, 20));
    EXPECT_GT(form->FDirCombo->parentWidget()->children().indexOf(form->FDirCombo),
              form->FDirCombo->parentWidget()->children().indexOf(form->Label5));
}

TEST_F(FormTest, TabOrder) {
    associations[platform::ExecutablePath() + ".htm"] = {"/x/b.desktop", "b %u", "B"};
    ASSERT_NO_FATAL_FAILURE(Open());
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    auto chain = [&] {
        std::vector<QWidget*> order;
        form->ListView1->setFocus();
        for (int i = 0; i < 16; ++i) {
            QWidget* focused = QApplication::focusWidget();
            if (!focused || (i > 0 && focused == form->ListView1))
                break;
            order.push_back(focused);
            QTest::keyClick(focused, Qt::Key_Tab);
        }
        return order;
    };
    const std::vector<QWidget*> hidden = {form->ListView1, form->Edit1,     form->MaskEdit1,
                                          form->BitBtn2,   form->Button1,   form->Button2,
                                          form->BitBtn1,   form->ComboBox1, form->BitBtn3,
                                          form->BitBtn4,   form->FDirCombo};
    EXPECT_EQ(chain(), hidden);
    kana = true;
    QTest::keyClick(form->ListView1, Qt::Key_7, Qt::ControlModifier | Qt::ShiftModifier);
    ASSERT_TRUE(form->CheckBox1->isVisible());
    std::vector<QWidget*> shown = hidden;
    shown.insert(shown.begin() + 2, form->CheckBox1);
    EXPECT_EQ(chain(), shown);
}

TEST_F(FormTest, EscClosesAndEnterOpens) {
    Dir("work/Sub");
    ASSERT_NO_FATAL_FAILURE(Open());
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    // Enter in the name field presses the default button, which opens the named folder.
    form->Edit1->setText("Sub");
    form->Edit1->setFocus();
    QTest::keyClick(form->Edit1, Qt::Key_Return);
    EXPECT_EQ(Listed(), At("work/Sub"));
    form->ListView1->setFocus();
    QTest::keyClick(form->ListView1, Qt::Key_Escape);
    EXPECT_FALSE(form->isVisible());
}

TEST_F(FormTest, TheFilterListIsWideEnoughForItsLongestItem) {
    ASSERT_NO_FATAL_FAILURE(Open());
    const QString longest = QStringLiteral("Pdf+画像(*jpg;*png;*.bmp;*.emf)");
    const int expected = QFontMetrics(form->ComboBox1->font()).horizontalAdvance(longest) +
                         form->style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 10;
    EXPECT_EQ(form->ComboBox1->view()->minimumWidth(), expected);
    EXPECT_GT(expected, form->ComboBox1->width());
}

// What the window looks like and lets through while a scan is running, seen from inside the
// scan (the listing processes pending events after every entry).
TEST_F(FormTest, ARunningScanHoldsItsInputsAndFinishesBeforeClosing) {
    File("work/readme", "no extension\n");
    Fixture("work/a.pdf", "crypt/empty40.pdf");
    Fixture("work/b.pdf", "crypt/empty40.pdf");
    ASSERT_NO_FATAL_FAILURE(Open());
    ChooseFilter(2);
    form->Edit1->setText("readme"); // "開く" would report it has no program
    struct Seen {
        bool ran = false;
        bool ready, filter, password, option, up, help, exit;
        int sortColumn;
    } seen;
    const int sortBefore = form->FSortColumn;
    QMetaObject::invokeMethod(
        form.get(),
        [&] {
            seen.ran = true;
            seen.ready = form->FReady;
            seen.filter = form->ComboBox1->isEnabled();
            seen.password = form->MaskEdit1->isEnabled();
            seen.option = form->CheckBox1->isEnabled();
            form->Edit1->setText("readme");
            QTest::mouseClick(form->Button1, Qt::LeftButton);
            QTest::mouseClick(form->Button2, Qt::LeftButton);
            QTest::mouseClick(form->BitBtn1, Qt::LeftButton);
            ClickHeader(3);
            form->ListView1DblClick();
            ChooseFilter(0);
            seen.sortColumn = form->FSortColumn;
            // Esc (the exit button) is honoured, once the scan is done.
            QTest::keyClick(form->ListView1, Qt::Key_Escape);
            seen.exit = form->isVisible();
        },
        Qt::QueuedConnection);
    form->BitBtn2Click();
    ASSERT_TRUE(seen.ran);
    EXPECT_FALSE(seen.ready);
    EXPECT_FALSE(seen.filter);
    EXPECT_FALSE(seen.password);
    EXPECT_FALSE(seen.option);
    EXPECT_EQ(seen.sortColumn, sortBefore);
    EXPECT_TRUE(seen.exit);
    EXPECT_TRUE(boxes.empty());
    EXPECT_TRUE(proposedNames.empty());
    EXPECT_EQ(form->FFileMask, "*.*");
    EXPECT_EQ(Listed(), At("work"));
    EXPECT_EQ(form->ListView1->header()->sortIndicatorSection(), 0);
    EXPECT_EQ(form->ListView1->header()->sortIndicatorOrder(), Qt::AscendingOrder);
    // After the scan: restored, and the window has closed.
    EXPECT_TRUE(form->FReady);
    EXPECT_TRUE(form->ComboBox1->isEnabled());
    EXPECT_TRUE(form->MaskEdit1->isEnabled());
    EXPECT_EQ(form->Edit1->text(), "");
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(FormTest, AHeaderClickAtTheEndOfAScanLeavesTheIndicatorAlone) {
    ASSERT_NO_FATAL_FAILURE(Open());
    // The click is to land in the scan's last round of events, after the rows were sorted and
    // shown: a quick scan shows its rows only then, so the click waits, posting itself anew,
    // until the list has a first item.
    bool clicked = false;
    std::function<void()> step = [&] {
        if (form->FReady)
            return; // the scan is over: too late
        if (RowCount() > 0) {
            clicked = true;
            ClickHeader(3);
            return;
        }
        QMetaObject::invokeMethod(form.get(), step, Qt::QueuedConnection);
    };
    QMetaObject::invokeMethod(form.get(), step, Qt::QueuedConnection);
    form->BitBtn2Click();
    ASSERT_TRUE(clicked);
    EXPECT_EQ(form->FSortColumn, 1);
    EXPECT_EQ(form->ListView1->header()->sortIndicatorSection(), 0);
    EXPECT_EQ(form->ListView1->header()->sortIndicatorOrder(), Qt::AscendingOrder);
}

// While a scan runs the chooser reports no other folder (Enter in its field, or an event
// fired by any other way): the scan lists its own folder only, and the chooser works again
// after it.
// A folder chosen while a scan runs ends that scan and is listed next, never inside it; of
// several, the last one chosen.
TEST_F(FormTest, AFolderChosenDuringAScanEndsItAndIsListedNext) {
    Dir("work/Sub");
    Fixture("work/Sub/inner.pdf", "crypt/empty40.pdf");
    for (const char* name : {"a.pdf", "b.pdf", "c.pdf", "d.pdf"})
        Fixture(QStringLiteral("work/") + name, "crypt/empty40.pdf");
    ASSERT_NO_FATAL_FAILURE(Open());
    bool ran = false;
    QMetaObject::invokeMethod(
        form.get(),
        [&] {
            ran = true;
            form->FDirCombo->setSelectedNode(form->FDirCombo->tree()->rootNode());
            QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
            QApplication::sendEvent(form->FDirCombo, &enter);
            emit form->FDirCombo->pathChanged(At("work/Sub/"));
        },
        Qt::QueuedConnection);
    form->BitBtn2Click();
    ASSERT_TRUE(ran);
    EXPECT_EQ(Captions(), (std::vector<std::string>{"..", "inner.pdf"}));
    EXPECT_EQ(Row("a.pdf"), nullptr);
    EXPECT_TRUE(form->FReady);
    EXPECT_TRUE(form->ComboBox1->isEnabled());
}

TEST_F(FormTest, TheCursorShowsTheHourglassWhileScanning) {
    Fixture("work/a.pdf", "crypt/empty40.pdf");
    ASSERT_NO_FATAL_FAILURE(Open());
    std::optional<Qt::CursorShape> during;
    QMetaObject::invokeMethod(
        form.get(),
        [&] {
            if (QApplication::overrideCursor())
                during = QApplication::overrideCursor()->shape();
        },
        Qt::QueuedConnection);
    form->BitBtn2Click();
    EXPECT_EQ(during, Qt::WaitCursor);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

} // namespace
