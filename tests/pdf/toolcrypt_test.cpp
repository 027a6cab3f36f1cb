// SPDX-License-Identifier: GPL-3.0-or-later
// Encrypted documents written by qpdf, pdftk, Ghostscript and LibreOffice
// (tools/make_tool_crypt_fixtures.sh): each opens with its user and its owner password, shows
// what pdfinfo shows, and refuses a wrong password while still telling its page count, method
// and key length.

#include "jtext/cp932.h"
#include "pdf/pdfinfo.h"
#include "support/tsv.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct ToolFixture {
    std::string file, user, owner, method;
    int32_t R = 0, bits = 0;
    std::string madeBy, title, producer;
};

std::vector<ToolFixture> LoadToolFixtures() {
    std::vector<ToolFixture> fixtures;
    for (const std::vector<std::string>& f :
         ReadTsvRows(PAGEWICK_TEST_DATA "/crypt/tools/tools.tsv", 9))
        fixtures.push_back(
            {f[0], f[1], f[2], f[3], std::stoi(f[4]), std::stoi(f[5]), f[6], f[7], f[8]});
    return fixtures;
}

TpdfInfomation ReadWith(const ToolFixture& f, const std::string& passwordUtf8) {
    TpdfInfomation info;
    ReadPdfInfo(PAGEWICK_TEST_DATA "/crypt/tools/" + f.file, Utf8ToCp932(passwordUtf8), info, false,
                passwordUtf8);
    return info;
}

class ToolFixtures : public testing::TestWithParam<ToolFixture> {};

void PrintTo(const ToolFixture& f, std::ostream* os) {
    *os << f.file;
}

} // namespace

TEST(ToolFixtureTable, HoldsEveryTool) {
    const std::vector<ToolFixture> all = LoadToolFixtures();
    std::string tools;
    for (const ToolFixture& f : all)
        tools += f.madeBy.substr(0, f.madeBy.find(' ')) + " ";
    for (const char* tool : {"qpdf", "pdftk", "gs", "LibreOffice"})
        EXPECT_NE(tools.find(tool), std::string::npos) << tool;
}

TEST_P(ToolFixtures, OpensWithEachPasswordAndRefusesAWrongOne) {
    const ToolFixture& f = GetParam();
    const struct {
        std::string password;
        int32_t result;
    } cases[] = {
        {"", f.user.empty() ? 0 : -1},      {f.user, f.user.empty() ? 0 : 2},
        {f.owner, f.user.empty() ? 0 : 1}, // the empty user password opens first
        {"wrong", f.user.empty() ? 0 : -1}, {f.owner + "x", f.user.empty() ? 0 : -1},
    };
    for (const auto& c : cases) {
        const TpdfInfomation info = ReadWith(f, c.password);
        const std::string what = f.file + " with \"" + c.password + "\"";
        EXPECT_TRUE(info.Encrypted) << what;
        EXPECT_EQ(info.PasswordResult, c.result) << what;
        EXPECT_EQ(info.Title, c.result >= 0 ? Utf8ToCp932(f.title) : "") << what;
        EXPECT_EQ(info.Producer, c.result >= 0 ? Utf8ToCp932(f.producer) : "") << what;
        // What the list shows of a locked document all the same.
        EXPECT_EQ(info.PageCount, 1) << what;
        EXPECT_EQ(info.KeyLength, f.bits) << what;
        EXPECT_EQ(info.Method, f.method) << what;
        EXPECT_EQ(info.R, f.R) << what;
        EXPECT_TRUE(info.PermsAgree) << what;
    }
}

INSTANTIATE_TEST_SUITE_P(Tools, ToolFixtures, testing::ValuesIn(LoadToolFixtures()),
                         [](const testing::TestParamInfo<ToolFixture>& info) {
                             std::string name =
                                 info.param.file.substr(0, info.param.file.find('.'));
                             for (char& c : name)
                                 if (!isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             return name;
                         });

// A non-ASCII AES-256 password reaches the check only as UTF-8: the same characters as code page
// 932 bytes, or a look-alike, do not open the document.
TEST(ToolFixtureUnicode, ThePasswordIsComparedAsPreparedUtf8) {
    for (const ToolFixture& f : LoadToolFixtures()) {
        if (f.file != "qpdf-aes256-unicode.pdf")
            continue;
        EXPECT_EQ(ReadWith(f, "passwort").PasswordResult, -1);
        EXPECT_EQ(ReadWith(f, "pa\xCC\x88sswo\xCC\x88rt").PasswordResult, 2); // decomposed
        TpdfInfomation info;
        ReadPdfInfo(PAGEWICK_TEST_DATA "/crypt/tools/" + f.file, Utf8ToCp932(f.owner), info);
        EXPECT_EQ(info.PasswordResult, 1) << "the owner password through code page 932";
        return;
    }
    ADD_FAILURE() << "qpdf-aes256-unicode.pdf is not in tools.tsv";
}
