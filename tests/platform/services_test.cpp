// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/dialogs.h"
#include "platform/hooks.h"
#include "platform/icons.h"
#include "platform/keyboard.h"
#include "platform/volumes.h"

#include <QApplication>
#include <QGuiApplication>
#include <QIcon>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

using namespace platform;

namespace {

TEST(KanaLock, OffWhereNoKeyboardCanBeReadAndReplaceable) {
    ASSERT_EQ(QGuiApplication::platformName(), "offscreen");
    EXPECT_FALSE(KanaLockOn());
    {
        ScopedHook<KeyStateSource> on(SetKanaLockSource, [] { return true; });
        EXPECT_TRUE(KanaLockOn());
    }
    EXPECT_FALSE(KanaLockOn()) << "the hook is gone with its scope";
}

TEST(MessageBox, HandlerSeesTheRequestAndAnswers) {
    std::vector<MessageBoxRequest> shown;
    ScopedHook<MessageBoxHandler> boxes(SetMessageBoxHandler, [&](const MessageBoxRequest& r) {
        shown.push_back(r);
        return QMessageBox::No;
    });
    MessageBoxRequest request{"Title", "Text", QMessageBox::Yes | QMessageBox::No,
                              QMessageBox::Question, true};
    EXPECT_EQ(ShowMessageBox(request), QMessageBox::No);
    QGuiApplication::setApplicationDisplayName("Pagewick");
    ShowErrorBox("broken");
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].caption, "Title");
    EXPECT_TRUE(shown[0].foreground);
    EXPECT_EQ(shown[1].caption, "Pagewick");
    EXPECT_EQ(shown[1].text, "broken");
    EXPECT_EQ(shown[1].icon, QMessageBox::Critical);
    EXPECT_EQ(shown[1].buttons, QMessageBox::Ok);
}

TEST(MessageBox, TheRealBoxShowsItsTextAsItIs) {
    // Qt would read a first line with a tag in it as HTML: "<h1>x.pdf" as a heading "x.pdf".
    Qt::TextFormat format = Qt::AutoText;
    QTimer::singleShot(0, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            format = box->textFormat();
            box->done(QMessageBox::Ok);
        }
    });
    ShowMessageBox(
        {"Title", "「/tmp/<h1>x.pdf」がありません", QMessageBox::Ok, QMessageBox::Warning, false});
    EXPECT_EQ(format, Qt::PlainText);
}

TEST(Icons, ThemeIsChosenOffscreenAndFoldersFilesAndVolumesHaveIcons) {
    EnsureIconTheme();
    EXPECT_FALSE(QIcon::themeName().isEmpty());
    QTemporaryDir dir;
    const QIcon folder = ShellIcon(dir.path());
    EXPECT_FALSE(folder.pixmap(16).isNull());
    EXPECT_EQ(folder.name(), FolderIcon().name());
    for (const char* name : {"/x/report.pdf", "/x/notes.txt", "/x/no-extension"})
        EXPECT_FALSE(ShellIcon(name).pixmap(32).isNull()) << name;
    EXPECT_NE(ShellIcon("/x/report.pdf").name(), folder.name());
    // By name and kind alone, for entries that need not be there.
    EXPECT_EQ(EntryIcon("/nowhere/folder", true).name(), folder.name());
    EXPECT_EQ(EntryIcon("/nowhere/report.pdf", false).name(), ShellIcon("/x/report.pdf").name());
    EXPECT_FALSE(EntryIcon("/nowhere/notes.txt", false).pixmap(16).isNull());
    Volume cd;
    cd.kind = VolumeKind::CdRom;
    EXPECT_FALSE(VolumeIcon(cd).pixmap(16).isNull());
    EXPECT_FALSE(ComputerIcon().pixmap(16).isNull());
}

} // namespace
