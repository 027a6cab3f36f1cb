// SPDX-License-Identifier: GPL-3.0-or-later
// Saving the list: the bytes written for real folders, the order, quoting, the encodings,
// replacing and failing.

#include "windowfixture.h"

#include "jtext/cp932.h"

#include <QFileInfo>
#include <QPushButton>

#include <sys/stat.h>

namespace {

const std::string kHeader = "  \"名前\",\"タイトル\",\"サブタイトル\",\"作成者\",\"キーワード\","
                            "\"PDF変換\",\"作成日\",\"暗号\",\"頁数\",\"容量\",\"PDFVer.\","
                            "\"サイズ\",\"種類\",\"更新日時\"";

class SaveTest : public WindowFixture {
protected:
    // The lines as written, CR LF after each, in UTF-8.
    static std::string Lines(const std::vector<std::string>& lines) {
        std::string out;
        for (const std::string& line : lines)
            out += line + "\r\n";
        return out;
    }

    std::string Location(const QString& folder) const {
        return "ファイルの場所：" + At(folder).toStdString() + "/";
    }

    QByteArray Saved(const QString& path) const {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }

    void Save(const QString& target, ListEncoding encoding = ListEncoding::Cp932) {
        saveChoice = SaveChoice{target, encoding};
        Click(saveListButton);
    }

    // The saved bytes as UTF-8 text.
    std::string SavedText(const QString& path) const {
        return Cp932ToUtf8(Saved(path).toStdString());
    }
};

TEST_F(SaveTest, TheExampleListByteForByte) {
    Dir("Docs/Sub");
    File("Docs/a.pdf", BuiltPdf("%PDF-1.4", 12,
                                "/Title (Report) /Author (Team A) /Producer (Writer 2.0) "
                                "/CreationDate (D:20040715090327)",
                                123456));
    File("Docs/b.pdf", LockedPdf("%PDF-1.6", 3, 45678), FixedLocalTime(2005, 1, 2, 10, 0, 0));
    File("Docs/notes.txt", "Some notes.\n");
    ASSERT_NO_FATAL_FAILURE(Open("Docs"));
    ChooseFilter(2);
    const QString target = At("list.txt");
    Save(target);

    ASSERT_EQ(proposedNames.size(), 1u);
    EXPECT_EQ(proposedNames[0],
              At("Docs/") + QFileInfo(platform::ExecutablePath()).fileName() + ".txt");
    const std::string expected = Lines({
        Location("Docs"),
        kHeader,
        "  a.pdf,Report,,\"Team A\",,\"Writer 2.0\",\"2004/07/15 09:03:27\",無し,12,\"123,456\","
        "1.4,121KB,.PDF,\"04/07/15 09:03:27\"",
        "  b.pdf,***crypt***,,***crypt***,,***crypt***,,128,3,\"45,678\",1.6,45KB,.PDF,"
        "\"05/01/02 10:00:00\"",
        "  notes.txt,,,,,,,,,,,1KB,.TXT,\"04/07/15 09:03:27\"",
        kHeader,
        "合計：3ファイル",
    });
    EXPECT_EQ(Saved(target).toStdString(), Utf8ToCp932(expected));
    EXPECT_EQ(SavedText(target), expected);
    EXPECT_TRUE(boxes.empty());
}

TEST_F(SaveTest, AFolderOfFoldersOnly) {
    Dir("Only/one");
    Dir("Only/two");
    ASSERT_NO_FATAL_FAILURE(Open("Only"));
    Save(At("only.txt"));
    EXPECT_EQ(SavedText(At("only.txt")),
              Lines({Location("Only"), kHeader, kHeader, "合計：0ファイル"}));
}

TEST_F(SaveTest, LinesFollowTheDisplayedOrder) {
    File("work/small.pdf", BuiltPdf("%PDF-1.4", 1, "", 600));
    File("work/large.pdf", BuiltPdf("%PDF-1.4", 1, "", 5000));
    File("work/middle.pdf", BuiltPdf("%PDF-1.4", 1, "", 3000));
    Dir("work/folder");
    ASSERT_NO_FATAL_FAILURE(Open());
    ClickHeader(11);
    ClickHeader(11); // サイズ descending: 5KB, 3KB, 1KB
    Save(At("order.txt"));
    const QStringList lines = QString::fromStdString(SavedText(At("order.txt"))).split("\r\n");
    ASSERT_EQ(lines.size(), 8); // the text ends with CR LF
    EXPECT_TRUE(lines[2].startsWith("  large.pdf,"));
    EXPECT_TRUE(lines[3].startsWith("  middle.pdf,"));
    EXPECT_TRUE(lines[4].startsWith("  small.pdf,"));
    EXPECT_EQ(lines[6], "合計：3ファイル");
    EXPECT_EQ(lines[7], "");
}

TEST_F(SaveTest, QuotesInTitlesAndCommasInNames) {
    File("work/quote.pdf", BuiltPdf("%PDF-1.4", 1, "/Title (say \"hi\")"));
    File("work/a,b.pdf", BuiltPdf("%PDF-1.4", 1, "/Title (plain)"));
    File("work/my file.pdf", BuiltPdf("%PDF-1.4", 1, "/Title (blank)"));
    ASSERT_NO_FATAL_FAILURE(Open());
    Save(At("quotes.txt"));
    const std::string text = SavedText(At("quotes.txt"));
    EXPECT_NE(text.find("\r\n  quote.pdf,\"say \"\"hi\"\"\",,"), std::string::npos) << text;
    EXPECT_NE(text.find("\r\n  \"a,b.pdf\",plain,,"), std::string::npos) << text;
    EXPECT_NE(text.find("\r\n  my file.pdf,blank,,"), std::string::npos) << text;
}

TEST_F(SaveTest, TheUtf8FilterWritesATableForOtherPrograms) {
    Fixture("work/ja.pdf", "real/ja-gs.pdf");
    File("work/日本語.pdf", BuiltPdf("%PDF-1.4", 1, "/Title (x)"));
    File("work/a,b.pdf", BuiltPdf("%PDF-1.4", 1, "/Title (y)"));
    Dir("work/folder");
    ASSERT_NO_FATAL_FAILURE(Open());
    Save(At("utf8.csv"), ListEncoding::Utf8WithMark);
    const QByteArray bytes = Saved(At("utf8.csv"));
    ASSERT_TRUE(bytes.startsWith("\xEF\xBB\xBF"));
    const QStringList records = QString::fromUtf8(bytes.mid(3)).split("\r\n");
    // The header, the three files in the order on screen (folders left out) and the empty
    // text after the last CR LF: no location, no second header, no total.
    ASSERT_EQ(records.size(), 5) << bytes.toStdString();
    EXPECT_EQ(records[0], "名前,タイトル,サブタイトル,作成者,キーワード,PDF変換,作成日,暗号,頁数,"
                          "容量,PDFVer.,サイズ,種類,更新日時");
    EXPECT_TRUE(records[1].startsWith("\"a,b.pdf\",y,,")) << records[1].toStdString();
    EXPECT_TRUE(records[2].startsWith("ja.pdf,報告書 2024,月次報告,山田 太郎,"))
        << records[2].toStdString();
    EXPECT_TRUE(records[3].startsWith("日本語.pdf,x,")) << records[3].toStdString();
    EXPECT_EQ(records[4], "");
    // The code page 932 choice still writes the list.
    Save(At("cp932.txt"));
    const std::string list = SavedText(At("cp932.txt"));
    EXPECT_TRUE(list.starts_with(Location("work") + "\r\n" + kHeader + "\r\n")) << list;
    EXPECT_NE(list.find("\r\n  ja.pdf,\"報告書 2024\",月次報告,\"山田 太郎\","), std::string::npos);
}

TEST_F(SaveTest, SavingAgainReplacesTheFile) {
    Fixture("work/first.pdf", "crypt/empty40.pdf");
    ASSERT_NO_FATAL_FAILURE(Open());
    const QString target = At("twice.txt");
    Save(target);
    ASSERT_NE(SavedText(target).find("  first.pdf,"), std::string::npos);
    QFile::remove(At("work/first.pdf"));
    Fixture("work/second.pdf", "crypt/empty40.pdf");
    Click(refreshButton);
    Save(target);
    const std::string text = SavedText(target);
    EXPECT_EQ(text.find("first.pdf"), std::string::npos);
    EXPECT_NE(text.find("  second.pdf,"), std::string::npos);
    EXPECT_EQ(text.find("合計："), text.rfind("合計：")); // replaced, not appended
    EXPECT_TRUE(QDir(root).entryList({".pagewick-save-*"}, QDir::Hidden | QDir::Files).isEmpty());
}

TEST_F(SaveTest, AReadOnlyTargetIsReportedAndKept) {
    Fixture("work/a.pdf", "crypt/empty40.pdf");
    ASSERT_NO_FATAL_FAILURE(Open());
    const QString target = At("locked.txt");
    File("locked.txt", "old contents\n");
    ASSERT_EQ(::chmod(QFile::encodeName(target).constData(), 0444), 0);
    const std::vector<ListRow> before = Rows();
    Save(target);
    const auto errors = BoxesWithIcon(QMessageBox::Critical);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(
        errors[0].text,
        QStringLiteral("ファイル %1 を作成できません（書き込みの権限がありません）").arg(target));
    EXPECT_EQ(Saved(target), "old contents\n");
    ASSERT_EQ(Rows().size(), before.size());
    for (size_t i = 0; i < before.size(); ++i)
        EXPECT_EQ(Rows()[i].caption, before[i].caption);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(SaveTest, NothingIsSavedWhenCancelledOrOnTheDriveList) {
    Fixture("work/a.pdf", "crypt/empty40.pdf");
    ASSERT_NO_FATAL_FAILURE(Open());
    saveChoice.reset();
    Click(saveListButton);
    EXPECT_EQ(proposedNames.size(), 1u);
    EXPECT_TRUE(QDir(At("work")).entryList({"*.txt"}, QDir::Files).isEmpty());
    chooser->setSelectedPath("Drives");
    Save(At("drives.txt"));
    EXPECT_EQ(proposedNames.size(), 1u); // no dialog at all
    EXPECT_FALSE(QFileInfo::exists(At("drives.txt")));
}

} // namespace
