// SPDX-License-Identifier: GPL-3.0-or-later
// Encrypted documents written by qpdf, pdftk, Ghostscript and LibreOffice
// (tools/make_tool_crypt_fixtures.sh): each opens with its user and its owner password, shows
// what pdfinfo shows, and refuses a wrong password while still telling its page count, method
// and key length.

#include "pdf/documentreader.h"
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

DocumentInfo ReadWith(const ToolFixture& f, const std::string& password) {
    return ReadPdfInfo(PAGEWICK_TEST_DATA "/crypt/tools/" + f.file, {password});
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
        const DocumentInfo info = ReadWith(f, c.password);
        const EncryptionFacts& e = info.encryption;
        const std::string what = f.file + " with \"" + c.password + "\"";
        EXPECT_TRUE(e.encrypted) << what;
        EXPECT_EQ(int(e.password), c.result) << what;
        EXPECT_EQ(info.title, c.result >= 0 ? f.title : "") << what;
        EXPECT_EQ(info.producer, c.result >= 0 ? f.producer : "") << what;
        // What the list shows of a locked document all the same.
        EXPECT_EQ(info.pageCount, 1) << what;
        EXPECT_EQ(e.keyLengthBits, f.bits) << what;
        EXPECT_EQ(e.method, f.method) << what;
        EXPECT_EQ(e.revision, f.R) << what;
        EXPECT_TRUE(e.permissionsConfirmed) << what;
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

// A non-ASCII AES-256 password is compared as prepared UTF-8: a look-alike does not open the
// document, the same characters decomposed do.
TEST(ToolFixtureUnicode, ThePasswordIsComparedAsPreparedUtf8) {
    for (const ToolFixture& f : LoadToolFixtures()) {
        if (f.file != "qpdf-aes256-unicode.pdf")
            continue;
        EXPECT_EQ(ReadWith(f, "passwort").encryption.password, PasswordOutcome::Refused);
        EXPECT_EQ(ReadWith(f, "pa\xCC\x88sswo\xCC\x88rt").encryption.password,
                  PasswordOutcome::User);
        EXPECT_EQ(ReadWith(f, f.owner).encryption.password, PasswordOutcome::Owner);
        return;
    }
    ADD_FAILURE() << "qpdf-aes256-unicode.pdf is not in tools.tsv";
}
