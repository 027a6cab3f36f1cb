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
#include <QTimer>
#include <QToolButton>
#include <QToolTip>

namespace {

using LayoutTest = WindowFixture;

TEST_F(LayoutTest, ControlsFollowTheWindowsEdges) {
    ASSERT_NO_FATAL_FAILURE(Open());
    EXPECT_EQ(form->size(), QSize(472, 333));
    std::vector<std::pair<QWidget*, QRect>> designed;
    const std::vector<QWidget*> controls = {
        form->BitBtn4,   form->Label1,  form->FDirCombo, form->BitBtn1, form->BitBtn3,
        form->ListView1, form->Label3,  form->ComboBox1, form->Label4,  form->MaskEdit1,
        form->BitBtn2,   form->Button2, form->Label2,    form->Edit1,   form->Button1};
    for (QWidget* w : controls)
        designed.emplace_back(w, w->geometry());
    // As designed at the default size.
    EXPECT_EQ(form->ListView1->geometry(), QRect(9, 33, 456, 240));
    EXPECT_EQ(form->FDirCombo->geometry(), QRect(72, 8, 337, 20));
    EXPECT_EQ(form->Button1->geometry(), QRect(360, 304, 105, 25));

    const int dx = 1920 - 472, dy = 1000 - 333;
    form->resize(1920, 1000);
    QApplication::processEvents();
    for (const auto& [w, was] : designed) {
        SCOPED_TRACE(w->metaObject()->className() + (" " + w->objectName().toStdString()));
        QRect expected = was;
        if (w == form->ListView1)
            expected.adjust(0, 0, dx, dy);
        else if (w == form->FDirCombo || w == form->Edit1)
            expected.setWidth(was.width() + dx);
        if (w == form->BitBtn1 || w == form->BitBtn3 || w == form->Button1 || w == form->Button2)
            expected.translate(dx, 0);
        if (was.top() >= 273) // under the list
            expected.translate(0, dy);
        EXPECT_EQ(w->geometry(), expected);
    }
    // The bottom controls keep their distance to the bottom edge; the list ends where it did.
    EXPECT_EQ(form->height() - form->Button1->geometry().bottom(), 333 - 328);
    EXPECT_EQ(form->width() - form->ListView1->geometry().right(), 472 - 464);

    form->showMaximized();
    QApplication::processEvents();
    EXPECT_TRUE(form->isMaximized());
    EXPECT_EQ(form->ListView1->geometry().right(), form->width() - 8);

    // Back to the default size: everything where it was.
    form->showNormal();
    form->resize(472, 333);
    QApplication::processEvents();
    for (const auto& [w, was] : designed)
        EXPECT_EQ(w->geometry(), was);
    EXPECT_EQ(form->minimumSize(), QSize(472, 333));
}

TEST_F(LayoutTest, NarrowCellsShowTheirWholeTextAsTooltip) {
    File("work/a-rather-long-file-name-that-does-not-fit.pdf",
         BuiltPdf("%PDF-1.4", 1, "/Title (short)"));
    ASSERT_NO_FATAL_FAILURE(Open());
    const QModelIndex item = Item("a-rather-long-file-name-that-does-not-fit.pdf");
    ASSERT_TRUE(item.isValid());
    QTreeView* list = form->ListView1;
    auto tooltipAt = [&](int column) {
        list->scrollTo(item);
        list->horizontalScrollBar()->setValue(list->header()->sectionPosition(column));
        QApplication::processEvents();
        const QRect rect = list->visualRect(item);
        const QPoint at(list->header()->sectionViewportPosition(column) + 5, rect.center().y());
        QToolTip::hideText(); // it goes after a moment
        EXPECT_TRUE(QTest::qWaitFor([] { return !QToolTip::isVisible(); }, 2000));
        QHelpEvent help(QEvent::ToolTip, at, list->viewport()->mapToGlobal(at));
        QApplication::sendEvent(list->viewport(), &help);
        return QToolTip::isVisible() ? QToolTip::text() : QString();
    };
    EXPECT_EQ(tooltipAt(0), "a-rather-long-file-name-that-does-not-fit.pdf");
    EXPECT_EQ(tooltipAt(1), ""); // "short" fits
    // Wide enough: no tooltip.
    list->setColumnWidth(0, 600);
    EXPECT_EQ(tooltipAt(0), "");
    QToolTip::hideText();
}

TEST_F(LayoutTest, TheCheckBoxCoversItsLabel) {
    kana = true;
    ASSERT_NO_FATAL_FAILURE(Open());
    QTest::keyClick(form->ListView1, Qt::Key_7, Qt::ControlModifier | Qt::ShiftModifier);
    ASSERT_TRUE(form->CheckBox1->isVisible());
    const QRect box = form->CheckBox1->geometry();
    // It hides the label beneath it whole, its caption is not cut, and it keeps clear of
    // the filter and the password field beside it.
    EXPECT_TRUE(box.contains(form->Label4->geometry()))
        << box.x() << "," << box.width() << " label " << form->Label4->geometry().x() << ","
        << form->Label4->geometry().width();
    EXPECT_TRUE(form->Label4->isHidden() || form->CheckBox1->autoFillBackground());
    EXPECT_GE(box.width(), form->CheckBox1->sizeHint().width());
    EXPECT_GT(box.left(), form->ComboBox1->geometry().right());
    EXPECT_LT(box.right(), form->MaskEdit1->geometry().left());
    // Hidden again: the label is back.
    QTest::keyClick(form->ListView1, Qt::Key_7, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_FALSE(form->CheckBox1->isVisible());
    EXPECT_TRUE(form->Label4->isVisible());
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

// Choosing the CSV form changes the proposed name's extension with it, and back; a name the
// user typed is left alone.
TEST_F(LayoutTest, TheProposedNameFollowsTheChosenForm) {
    ASSERT_NO_FATAL_FAILURE(Open());
    std::vector<QString> names;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        auto* forms = dialog ? dialog->findChild<QComboBox*>("fileTypeCombo") : nullptr;
        auto* name = dialog ? dialog->findChild<QLineEdit*>("fileNameEdit") : nullptr;
        if (!forms || !name)
            return;
        for (int form : {2, 0, 2}) {
            forms->setCurrentIndex(form);
            emit forms->activated(form);
            names.push_back(name->text());
        }
        name->setText("mine.txt");
        forms->setCurrentIndex(0);
        emit forms->activated(0);
        names.push_back(name->text());
        name->setText("list.csv");
        forms->setCurrentIndex(2);
        emit forms->activated(2);
        static_cast<QDialog*>(dialog)->accept(); // as the save button does
    });
    const auto chosen = RunSaveDialogForList(form.get(), "ファイル一覧の保存", At("work/list.txt"));
    EXPECT_EQ(names, (std::vector<QString>{"list.csv", "list.txt", "list.csv", "mine.txt"}));
    ASSERT_TRUE(chosen);
    EXPECT_EQ(chosen->path, At("work/list.csv"));
    EXPECT_EQ(chosen->encoding, ListEncoding::Utf8WithMark);
}

} // namespace
