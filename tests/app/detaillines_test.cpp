// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/detaillines.h"

#include "pdf/documentreader.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

// The value of the line labelled label, "-" when there is none.
std::string ValueOf(const std::vector<DetailLine>& lines, const std::string& label) {
    for (const DetailLine& line : lines)
        if (!line.heading && line.label == label)
            return line.value;
    return "-";
}

} // namespace

TEST(DetailLines, EveryPropertyOfRealFilesInWords) {
    const struct {
        const char* file;
        std::map<std::string, std::string> values;
    } cases[] = {
        {"signed.pdf",
         {{"署名者", "Pagewick Test Signer"},
          {"形式", "adbe.pkcs7.detached"},
          {"タイムスタンプ", "なし"},
          {"署名後の変更", "なし"},
          {"増分更新", "1"}}},
        {"signed-twice.pdf",
         {{"署名者 1", "Pagewick Test Signer"},
          {"署名後の変更 1", "あり"},
          {"署名後の変更 2", "なし"},
          {"署名者", "-"}}},
        {"signed-then-updated.pdf", {{"署名後の変更", "あり"}}},
        {"restricted-print.pdf",
         {{"暗号化", "AES-256（リビジョン 6）"},
          {"パスワード", "不要"},
          {"印刷", "禁止"},
          {"高品質印刷", "禁止"},
          {"コピー", "許可"},
          {"署名", "なし"}}},
        {"restricted-extract.pdf", {{"印刷", "許可"}, {"コピー", "禁止"}}},
        {"a4-marked.pdf", {{"暗号化", "なし"}, {"権限", "制限なし"}, {"タグ付き", "あり"}}},
        {"pdfa-2b-gs.pdf",
         {{"PDF/A", "2B"},
          {"pdfaid:part", "2"},
          {"pdfaid:conformance", "B"},
          {"PDF/UA", "指定なし"}}},
        {"b4-jis.pdf",
         {{"用紙", "B4 (JIS) 縦"}, {"回転", "0°"}, {"ページサイズ", "すべて同じ"}}},
        {"a3-landscape.pdf", {{"用紙", "A3 横"}}},
        {"mixed-a4-a3.pdf", {{"ページサイズ", "混在"}}},
        {"hagaki.pdf", {{"用紙", "はがき 縦"}, {"寸法", "100.0 × 148.0 mm"}}},
        {"r2l-b5.pdf", {{"綴じ", "右綴じ"}}},
        {"form-script-attachments.pdf",
         {{"フォーム", "AcroForm"}, {"JavaScript", "あり"}, {"綴じ", "指定なし"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const DocumentInfo info =
            ReadPdfInfo(PAGEWICK_TEST_DATA "/features/" + std::string(c.file), {.features = true});
        const std::vector<DetailLine> lines = DetailLines(info, {});
        for (const auto& [label, value] : c.values)
            EXPECT_EQ(ValueOf(lines, label), value) << label;
    }
}

TEST(DetailLines, HiddenTextIsNotShownAndFileTextIsInert) {
    DocumentInfo info;
    info.title = "a\x1b[31m\xe2\x80\xae"
                 "b";
    info.features.read = true;
    info.features.xmp.Title = "x\ty";
    std::vector<DetailLine> lines = DetailLines(info, {});
    EXPECT_EQ(ValueOf(lines, "タイトル"), "a\\x1b[31m\\u202eb");
    EXPECT_EQ(ValueOf(lines, "dc:title"), "x\\x09y");
    EXPECT_EQ(ValueOf(lines, "用紙"), "ページがありません");

    info.encryption.encrypted = true;
    info.encryption.password = PasswordOutcome::Refused;
    lines = DetailLines(info, {});
    EXPECT_EQ(ValueOf(lines, "タイトル"), "-");
    EXPECT_EQ(ValueOf(lines, "タイトルなど"), "パスワードで保護されていて読めません");
    EXPECT_EQ(ValueOf(lines, "パスワード"), "パスワードが必要です（開けません）");
}
