// SPDX-License-Identifier: GPL-3.0-or-later
// Saving the list: the bytes written for real folders, the order, quoting, the encodings,
// replacing and failing.

#include "windowfixture.h"

#include "jtext/cp932.h"

#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

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

// The name follows the form, and the form decides the extension, however each is chosen.
TEST(SaveForms, TheFormDecidesTheExtension) {
    const struct {
        const char* name;
        ListForm form;
        const char* saved;    // NameForForm
        const char* proposed; // NameAfterFormChange
    } cases[] = {
        {"/d/list", ListForm::Text, "/d/list.txt", "/d/list.txt"},
        {"/d/list.csv", ListForm::Text, "/d/list.csv", "/d/list.txt"},
        {"/d/list.txt", ListForm::Utf8Csv, "/d/list.csv", "/d/list.csv"},
        {"/d/list.TXT", ListForm::Utf8Csv, "/d/list.csv", "/d/list.csv"},
        {"/d/list_utf8", ListForm::Utf8Csv, "/d/list_utf8.csv", "/d/list_utf8.csv"},
        {"/d/report.2024", ListForm::Utf8Csv, "/d/report.2024.csv", "/d/report.2024"},
        {"/d/list.dat", ListForm::Text, "/d/list.dat.txt", "/d/list.dat"},
        {"/d/list.dat", ListForm::All, "/d/list.dat", "/d/list.dat"},
        {"/d/list", ListForm::All, "/d/list.txt", "/d/list"},
        {"/d.x/list", ListForm::Utf8Csv, "/d.x/list.csv", "/d.x/list.csv"},
        {"/d/.hidden", ListForm::Text, "/d/.hidden.txt", "/d/.hidden.txt"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(NameForForm(c.name, c.form), c.saved);
        EXPECT_EQ(NameAfterFormChange(c.name, c.form), c.proposed);
    }
    // As the dialog lists a filter, and as it shows and reports it with the patterns hidden.
    EXPECT_EQ(FormOfFilter("CSV UTF-8(*.csv) (*.csv)"), ListForm::Utf8Csv);
    EXPECT_EQ(FormOfFilter("CSV UTF-8(*.csv)"), ListForm::Utf8Csv);
    EXPECT_EQ(FormOfFilter("ALL(*.*)"), ListForm::All);
    EXPECT_EQ(FormOfFilter("テキスト(*.txt;*.csv)"), ListForm::Text);
}

// The real dialog, driven by keys as a user drives it: the form picked in its list and a name
// typed into it reach the choice through the dialog's own signals.
class SaveDialogTest : public WindowFixture {
protected:
    // Runs the dialog on proposed and, once it shows, script with its form list and name.
    std::optional<SaveChoice> Run(const QString& proposed,
                                  const std::function<void(QComboBox*, QLineEdit*)>& script) {
        bool ran = false;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            auto* forms = dialog ? dialog->findChild<QComboBox*>("fileTypeCombo") : nullptr;
            auto* name = dialog ? dialog->findChild<QLineEdit*>("fileNameEdit") : nullptr;
            if (!forms || !name) {
                if (dialog)
                    dialog->reject();
                return;
            }
            // Active, as a dialog the user works in is: the dialog follows the file list into
            // the name field only while the field does not have the focus.
            dialog->activateWindow();
            ran = QTest::qWaitForWindowActive(dialog);
            script(forms, name);
            if (dialog->isVisible()) // the script left it open: it fails below
                dialog->reject();
        });
        const auto chosen = RunSaveDialogForList(nullptr, "ファイル一覧の保存", proposed);
        EXPECT_TRUE(ran);
        return chosen;
    }

    static void PickForm(QComboBox* forms, int index) {
        forms->setFocus();
        while (forms->currentIndex() != index)
            QTest::keyClick(forms, forms->currentIndex() < index ? Qt::Key_Down : Qt::Key_Up);
    }

    static void Type(QLineEdit* name, const QString& text) {
        name->setFocus();
        name->selectAll();
        QTest::keyClicks(name, text);
    }
};

TEST_F(SaveDialogTest, PickingTheCsvFormNamesTheFileCsv) {
    File("work/pagewick.txt", "the code page 932 list\n");
    std::vector<QString> shown;
    const auto chosen = Run(At("work/pagewick.txt"), [&](QComboBox* forms, QLineEdit* name) {
        for (int form : {2, 0, 1, 2}) {
            PickForm(forms, form);
            shown.push_back(name->text());
        }
        QTest::keyClick(name, Qt::Key_Return);
    });
    EXPECT_EQ(shown, (std::vector<QString>{"pagewick.csv", "pagewick.txt", "pagewick.txt",
                                           "pagewick.csv"}));
    ASSERT_TRUE(chosen);
    EXPECT_EQ(chosen->path, At("work/pagewick.csv"));
    EXPECT_EQ(chosen->encoding, ListEncoding::Utf8WithMark);
}

TEST_F(SaveDialogTest, ATypedNameTakesTheFormsExtension) {
    const struct {
        int form;
        const char* typed;
        const char* saved;
        ListEncoding encoding;
    } cases[] = {
        {2, "list_utf8", "work/list_utf8.csv", ListEncoding::Utf8WithMark},
        {0, "mine", "work/mine.txt", ListEncoding::Cp932},
        {0, "table.csv", "work/table.csv", ListEncoding::Cp932},
        {1, "any.dat", "work/any.dat", ListEncoding::Cp932},
        {2, "new.txt", "work/new.csv", ListEncoding::Utf8WithMark},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.typed);
        const auto chosen = Run(At("work/pagewick.txt"), [&](QComboBox* forms, QLineEdit* name) {
            PickForm(forms, c.form);
            Type(name, c.typed);
            QTest::keyClick(name, Qt::Key_Return);
        });
        ASSERT_TRUE(chosen);
        EXPECT_EQ(chosen->path, At(c.saved));
        EXPECT_EQ(chosen->encoding, c.encoding);
    }
}

// A name typed with the other form's extension becomes the form's; when a file of that name
// exists the dialog shows the name first, and replaces it once the user saves again.
TEST_F(SaveDialogTest, NoFileIsReplacedBeforeItsNameIsShown) {
    File("work/old.csv", "a table\n");
    QString shownAfterFirst;
    bool openAfterFirst = false;
    const auto chosen = Run(At("work/pagewick.txt"), [&](QComboBox* forms, QLineEdit* name) {
        PickForm(forms, 2);
        Type(name, "old.txt");
        QTest::keyClick(name, Qt::Key_Return);
        shownAfterFirst = name->text();
        openAfterFirst = name->window()->isVisible();
        QTest::keyClick(name, Qt::Key_Return);
    });
    EXPECT_EQ(shownAfterFirst, "old.csv");
    EXPECT_TRUE(openAfterFirst);
    ASSERT_TRUE(chosen);
    EXPECT_EQ(chosen->path, At("work/old.csv"));
}

} // namespace
