// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/detaillines.h"

#include "app/columns.h"

#include <cstdio>
#include <utility>

namespace {

class Lines {
public:
    void Heading(std::string text) { lines_.push_back({std::move(text), {}, true}); }
    void Add(std::string_view label, std::string_view value) {
        std::string scratch;
        lines_.push_back({std::string(label), std::string(InertText(value, false, scratch))});
    }
    // A line only when the file has the value.
    void AddIfAny(std::string_view label, std::string_view value) {
        if (!value.empty())
            Add(label, value);
    }
    void Add(Column column, std::string_view value) { Add(InfoOf(column).caption, value); }
    std::vector<DetailLine> Take() { return std::move(lines_); }

private:
    std::vector<DetailLine> lines_;
};

const char* YesNo(bool yes) {
    return yes ? "あり" : "なし";
}

std::string Count(int64_t n, const CellFormat& format) {
    return n > 0 ? Grouped(n, format) : "なし";
}

std::string OrNone(std::string text) {
    return text.empty() ? "指定なし" : text;
}

std::string MethodWords(const EncryptionFacts& e) {
    std::string method = e.method == "AESV3"   ? "AES-256"
                         : e.method == "AESV2" ? "AES-128"
                         : e.method == "RC4" ? "RC4 " + std::to_string(e.keyLengthBits) + "ビット"
                         : e.method == "Identity" ? "暗号化なし（Identity）"
                                                  : "不明な方式";
    if (e.handler != "Standard")
        return method + "（セキュリティハンドラ " + e.handler + "）";
    return method + "（リビジョン " + std::to_string(e.revision) + "）";
}

std::string PasswordWords(const EncryptionFacts& e) {
    switch (e.password) {
    case PasswordOutcome::Owner:
        return "オーナーパスワードで開きました";
    case PasswordOutcome::User:
        return "ユーザーパスワードで開きました";
    case PasswordOutcome::Refused:
        return "パスワードが必要です（開けません）";
    case PasswordOutcome::NotNeeded:
        break;
    }
    return "不要";
}

void AddProtection(Lines& lines, const EncryptionFacts& e) {
    lines.Heading("保護");
    if (!e.encrypted) {
        lines.Add("暗号化", "なし");
        lines.Add("権限", "制限なし");
        return;
    }
    lines.Add("暗号化", MethodWords(e));
    lines.Add("パスワード", PasswordWords(e));
    const std::pair<const char*, bool> permissions[] = {
        {"印刷", e.CanPrint()},
        {"高品質印刷", e.CanPrintHighQuality()},
        {"コピー", e.CanCopy()},
        {"変更", e.CanModify()},
        {"注釈", e.CanAnnotate()},
        {"フォーム入力", e.CanFillForms()},
        {"ページ組立て", e.CanAssemble()},
        {"アクセシビリティ", e.CanExtractForAccessibility()},
    };
    for (const auto& [what, allowed] : permissions)
        lines.Add(what, allowed ? "許可" : "禁止");
    if (!e.permissionsConfirmed)
        lines.Add("権限の確認", "暗号化された権限と一致しません（書き換えられています）");
}

void AddSignatures(Lines& lines, const std::vector<SignatureFacts>& signatures) {
    lines.Heading("署名（ファイルの構造を読んだもので、検証はしていません）");
    if (signatures.empty()) {
        lines.Add("署名", "なし");
        return;
    }
    for (size_t i = 0; i < signatures.size(); ++i) {
        const SignatureFacts& s = signatures[i];
        const std::string n = signatures.size() > 1 ? " " + std::to_string(i + 1) : "";
        lines.Add("署名者" + n, s.signer.empty() ? "（読めません）" : s.signer);
        lines.Add("署名日時" + n, OrNone(LongDateCell(s.signingTime)));
        lines.Add("形式" + n, OrNone(s.subFilter));
        lines.Add("タイムスタンプ" + n, YesNo(s.timestamp));
        lines.Add("署名後の変更" + n, YesNo(s.changedAfterSigning));
    }
}

void AddXmp(Lines& lines, const XmpProperties& xmp) {
    const std::pair<const char*, const std::optional<std::string>*> fields[] = {
        {"dc:title", &xmp.Title},
        {"dc:creator", &xmp.Author},
        {"dc:description", &xmp.Subject},
        {"pdf:Keywords", &xmp.Keywords},
        {"pdf:Producer", &xmp.Producer},
        {"xmp:CreatorTool", &xmp.Creator},
        {"xmp:CreateDate", &xmp.CreateDate},
        {"pdfaid:part", &xmp.PdfAPart},
        {"pdfaid:conformance", &xmp.PdfAConformance},
        {"pdfuaid:part", &xmp.PdfUAPart},
    };
    bool any = false;
    for (const auto& [name, value] : fields)
        any = any || value->has_value();
    if (!any)
        return;
    lines.Heading("XMP メタデータ");
    for (const auto& [name, value] : fields)
        if (*value)
            lines.Add(name, **value);
}

} // namespace

std::vector<DetailLine> DetailLines(const DocumentInfo& info, const CellFormat& format) {
    const DocumentFeatures& f = info.features;
    Lines lines;
    lines.Heading("文書情報");
    if (info.encryption.TextReadable()) {
        lines.AddIfAny(InfoOf(Column::Title).caption, info.title);
        lines.AddIfAny(InfoOf(Column::Subject).caption, info.subject);
        lines.AddIfAny(InfoOf(Column::Author).caption, info.author);
        lines.AddIfAny(InfoOf(Column::Keywords).caption, info.keywords);
        lines.AddIfAny(InfoOf(Column::Creator).caption, info.creator);
        lines.AddIfAny(InfoOf(Column::Producer).caption, info.producer);
        lines.AddIfAny(InfoOf(Column::Created).caption, LongDateCell(info.creationDate));
        lines.AddIfAny(InfoOf(Column::DocumentModified).caption,
                       LongDateCell(info.modificationDate));
    } else {
        lines.Add("タイトルなど", "パスワードで保護されていて読めません");
    }
    lines.Add("PDFバージョン", info.pdfVersion.empty() ? "不明" : info.pdfVersion);
    lines.Add("ページ数", Grouped(info.pageCount, format));
    lines.Add("ファイルサイズ", Grouped(info.fileSize, format) + " バイト");
    if (!f.read)
        return lines.Take();
    AddXmp(lines, f.xmp);

    lines.Heading("1ページ目");
    if (f.firstPage.found) {
        lines.Add(Column::Paper, PaperCell(f.firstPage));
        char size[64];
        std::snprintf(size, sizeof size, "%.1f × %.1f mm", f.firstPage.widthMm,
                      f.firstPage.heightMm);
        lines.Add("寸法", size);
        lines.Add("回転", std::to_string(f.firstPage.rotate) + "°");
        lines.Add("ページサイズ", !f.firstPage.mixedSizes ? "先頭の数千ページは同じ（以降は未確認）"
                                  : *f.firstPage.mixedSizes ? "混在"
                                                            : "すべて同じ");
    } else {
        lines.Add(Column::Paper, "ページがありません");
    }

    AddProtection(lines, info.encryption);
    AddSignatures(lines, f.signatures);

    lines.Heading("準拠の宣言（記述を読んだもので、検証はしていません）");
    lines.Add(Column::PdfA, OrNone(f.pdfA));
    lines.Add(Column::PdfUA, OrNone(f.pdfUA));
    lines.Add(Column::Tagged, YesNo(f.tagged));

    lines.Heading("表示");
    lines.Add(Column::Binding, f.direction == "R2L"   ? "右綴じ"
                               : f.direction == "L2R" ? "左綴じ"
                                                      : "指定なし");
    lines.Add(Column::PageLayout, OrNone(std::string(PageLayoutName(f.pageLayout))));

    lines.Heading("属性");
    lines.Add(Column::Linearized, YesNo(f.linearized));
    lines.Add(Column::Forms, f.forms == FormKind::Xfa        ? "XFA"
                             : f.forms == FormKind::AcroForm ? "AcroForm"
                                                             : "なし");
    lines.Add(Column::JavaScript, YesNo(f.javaScript));
    lines.Add(Column::Attachments, Count(f.attachments, format));
    lines.Add(Column::Outlines, YesNo(f.outlines));
    lines.Add(Column::Updates, Count(f.updates, format));
    return lines.Take();
}
