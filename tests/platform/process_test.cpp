// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/process.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <cerrno>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace platform;

namespace {

void WriteFile(const QString& path, const QByteArray& content) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(content);
}

// Waits until path holds complete output (the script writes "end" last).
QByteArray WaitForOutput(const QString& path) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 5000) {
        QFile file(path);
        if (file.open(QIODevice::ReadOnly)) {
            const QByteArray data = file.readAll();
            if (data.endsWith("end\n"))
                return data;
        }
        QThread::msleep(20);
    }
    return {};
}

// Children of this process that have ended but were never reaped.
int OwnZombies() {
    int zombies = 0;
    const QString self = QString::number(getpid());
    for (const QString& pid : QDir("/proc").entryList(QDir::Dirs)) {
        QFile stat("/proc/" + pid + "/stat");
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray line = stat.readAll();
        // Fields after the command (which is in parentheses): state, ppid, ...
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1 && fields[0] == "Z" && fields[1] == self.toLatin1())
            ++zombies;
    }
    return zombies;
}

TEST(ExecutablePath, IsTheRunningTestProgram) {
    const QString path = ExecutablePath();
    EXPECT_TRUE(QFileInfo(path).isExecutable());
    EXPECT_EQ(QFileInfo(path).fileName(), "test_platform");
}

TEST(ExpandExecLine, FieldCodesAndQuoting) {
    const QString file = "/tmp/a b.html";
    struct Case {
        const char* exec;
        QStringList argv;
    };
    const std::vector<Case> cases = {
        {"firefox %u", {"firefox", file}},
        {"\"/opt/my app/run\" --open %F", {"/opt/my app/run", "--open", file}},
        {"viewer %i %c --x %k", {"viewer", "--x", file}},
        {"tool --file=%f", {"tool", "--file=" + file}},
        {"tool 100%%", {"tool", "100%", file}},
        {"tool  \"say \\\"hi\\\"\"  %U", {"tool", "say \"hi\"", file}},
        {"\"unterminated %f", {}},
        {"", {}},
        {"%f", {file}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ExpandExecLine(c.exec, file), c.argv) << c.exec;
}

TEST(UrlHandler, IsXdgOpenWithThePathAsOneArgument) {
    EXPECT_EQ(UrlHandlerCommand("/x/help page.htm"), QStringList({"xdg-open", "/x/help page.htm"}));
    EXPECT_EQ(CommandLineText({"xdg-open", "/a b"}), "xdg-open /a b");
}

class AssociationTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (QStandardPaths::findExecutable("xdg-mime").isEmpty())
            GTEST_SKIP() << "xdg-mime is not installed";
        ASSERT_TRUE(dir.isValid());
        for (const char* name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CURRENT_DESKTOP",
                                 "XDG_DATA_DIRS", "XDG_CONFIG_DIRS"})
            saved.emplace_back(name, qgetenv(name));
        qputenv("XDG_DATA_HOME", QFile::encodeName(dir.path() + "/data"));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.path() + "/config"));
        qunsetenv("XDG_CURRENT_DESKTOP");
        // The system's own applications (whatever this machine has installed) are kept out;
        // its MIME database is still needed to tell the types.
        QDir(dir.path()).mkpath("system");
        QFile::link("/usr/share/mime", dir.path() + "/system/mime");
        qputenv("XDG_DATA_DIRS", QFile::encodeName(dir.path() + "/system"));
        qputenv("XDG_CONFIG_DIRS", QFile::encodeName(dir.path() + "/system"));
        QDir(dir.path()).mkpath("data/applications");
        QDir(dir.path()).mkpath("config");
        // xdg-mime passes over entries whose program is missing, so a real one stands in.
        WriteFile(dir.path() + "/data/applications/pagewick-test-browser.desktop",
                  "[Desktop Entry]\nType=Application\nName=Test Browser\n"
                  "Exec=/bin/echo --new %u\n[Desktop Action x]\nExec=wrong\n");
        WriteFile(dir.path() + "/data/applications/pagewick-test-editor.desktop",
                  "[Desktop Entry]\nType=Application\nName=Test Editor\n"
                  "Exec=/bin/echo %F\nTerminal=true\n");
        WriteFile(dir.path() + "/config/mimeapps.list",
                  "[Default Applications]\ntext/html=pagewick-test-browser.desktop\n"
                  "image/png=pagewick-missing.desktop\n"
                  "text/plain=pagewick-test-editor.desktop\n");
        WriteFile(dir.path() + "/notes.txt", "notes\n");
        WriteFile(dir.path() + "/page.html", "<html><body>x</body></html>\n");
        WriteFile(dir.path() + "/picture.png", "\x89PNG\r\n\x1a\n");
    }
    void TearDown() override {
        for (const auto& [name, value] : saved) {
            if (value.isNull())
                qunsetenv(name);
            else
                qputenv(name, value);
        }
    }

    QTemporaryDir dir;
    std::vector<std::pair<const char*, QByteArray>> saved;
};

TEST_F(AssociationTest, FindsTheDefaultDesktopEntry) {
    const auto program = FindAssociatedProgram(dir.path() + "/page.html");
    ASSERT_TRUE(program);
    EXPECT_EQ(program->desktopFile,
              dir.path() + "/data/applications/pagewick-test-browser.desktop");
    EXPECT_EQ(program->exec, "/bin/echo --new %u");
    EXPECT_EQ(program->name, "Test Browser");
    EXPECT_FALSE(program->terminal);
    const auto editor = FindAssociatedProgram(dir.path() + "/notes.txt");
    ASSERT_TRUE(editor);
    EXPECT_EQ(editor->name, "Test Editor");
    EXPECT_TRUE(editor->terminal);
}

TEST_F(AssociationTest, NoneForMissingFileUnsetTypeOrMissingEntry) {
    EXPECT_FALSE(FindAssociatedProgram(dir.path() + "/absent.html"));
    EXPECT_FALSE(FindAssociatedProgram(dir.path() + "/picture.png")) << "entry does not exist";
    WriteFile(dir.path() + "/data.pagewick-unknown", QByteArray("\x00\x01\x02\x03", 4));
    EXPECT_FALSE(FindAssociatedProgram(dir.path() + "/data.pagewick-unknown"));
    EXPECT_FALSE(FindAssociatedProgram(QString()));
}

class StartProcessTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        script = dir.path() + "/show args.sh";
        // Writes its argument count, each argument, its folder and whether it leads its own
        // process group.
        WriteFile(script, "#!/bin/sh\n"
                          "out=\"$(dirname \"$0\")/out.txt\"\n"
                          "{ echo \"$#\"; for a in \"$@\"; do echo \"$a\"; done; pwd;\n"
                          "  set -- $(cut -d')' -f2 /proc/$$/stat); [ \"$3\" = \"$$\" ] && "
                          "echo leader; echo end; } > \"$out.tmp\"\n"
                          "mv \"$out.tmp\" \"$out\"\n");
        ASSERT_EQ(chmod(QFile::encodeName(script).constData(), 0755), 0);
        ASSERT_TRUE(QDir(dir.path()).mkdir("work folder"));
    }

    QTemporaryDir dir;
    QString script;
};

TEST_F(StartProcessTest, PassesPathWithBlanksAsOneArgumentInTheWorkingFolder) {
    const QString work = QDir(dir.path() + "/work folder").canonicalPath();
    ASSERT_EQ(StartProcess({script, "/docs/a b  c.pdf"}, work), 0);
    const QByteArray out = WaitForOutput(dir.path() + "/out.txt");
    EXPECT_EQ(out, "1\n/docs/a b  c.pdf\n" + QFile::encodeName(work) + "\nleader\nend\n");
}

TEST_F(StartProcessTest, ReportsErrnoForWhatCannotStart) {
    EXPECT_EQ(StartProcess({"/bin/true"}, dir.path()), 0);
    EXPECT_EQ(StartProcess({dir.path() + "/no such program"}), ENOENT);
    EXPECT_EQ(StartProcess({"pagewick-no-such-command-anywhere"}), ENOENT);
    EXPECT_EQ(StartProcess({"/bin/true"}, dir.path() + "/no such folder"), ENOENT);
    WriteFile(dir.path() + "/not-executable", "#!/bin/sh\n");
    EXPECT_EQ(StartProcess({dir.path() + "/not-executable"}), EACCES);
    EXPECT_EQ(StartProcess({}), ENOENT);
}

TEST_F(StartProcessTest, LeavesNoZombie) {
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(StartProcess({"/bin/true"}), 0);
    QThread::msleep(300);
    EXPECT_EQ(OwnZombies(), 0);
}

} // namespace

TEST(IsProgramFile, OnlyExecutablesThatAreProgramsCount) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString d = dir.path() + "/";
    ASSERT_TRUE(QFile::copy("/bin/true", d + "elf"));
    ASSERT_TRUE(QFile::copy("/bin/true", d + "elf-no-x"));
    WriteFile(d + "script", "#!/bin/sh\n");
    WriteFile(d + "doc.pdf", "%PDF-1.4\n");
    WriteFile(d + "short", "#");
    ASSERT_TRUE(QDir().mkdir(d + "folder"));
    const auto rwx = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;
    for (const char* name : {"elf", "script", "doc.pdf", "short"})
        ASSERT_TRUE(QFile::setPermissions(d + name, rwx));
    ASSERT_TRUE(QFile::setPermissions(d + "elf-no-x", QFileDevice::ReadOwner));
    const struct {
        const char* name;
        bool program;
    } cases[] = {{"elf", true},    {"script", true},  {"elf-no-x", false}, {"doc.pdf", false},
                 {"short", false}, {"folder", false}, {"missing", false}};
    for (const auto& c : cases)
        EXPECT_EQ(IsProgramFile(d + c.name), c.program) << c.name;
}
