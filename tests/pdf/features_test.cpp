// SPDX-License-Identifier: GPL-3.0-or-later
// The document features of files made by pdfLaTeX, Ghostscript, qpdf and pdfsig
// (tools/make_feature_fixtures.sh), and of hand-made files that push the walks to their
// bounds: paper sizes, permissions, signatures, conformance, binding and the rest.

#include "common/errors.h"
#include "crypto/cmssignature.h"
#include "pdf/documentfeatures.h"
#include "pdf/documentreader.h"
#include "pdf/papersize.h"
#include "support/pdfbuilder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <optional>
#include <string>

namespace {

DocumentInfo ReadFeatures(const std::string& path) {
    return ReadPdfInfo(path, {.features = true});
}

// The permissions a file withholds, as letters: p print, h high-quality print, c copy, m modify,
// a annotate, f fill forms, s assemble, x accessibility.
std::string Withheld(const EncryptionFacts& e) {
    std::string out;
    const std::pair<bool, char> bits[] = {
        {e.CanPrint(), 'p'},    {e.CanPrintHighQuality(), 'h'},
        {e.CanCopy(), 'c'},     {e.CanModify(), 'm'},
        {e.CanAnnotate(), 'a'}, {e.CanFillForms(), 'f'},
        {e.CanAssemble(), 's'}, {e.CanExtractForAccessibility(), 'x'},
    };
    for (const auto& [allowed, letter] : bits)
        if (!allowed)
            out += letter;
    return out;
}

struct Fixture {
    const char* file;
    std::string_view paper; // PaperName of the first page
    double widthMm, heightMm;
    int rotate;
    bool mixed;
    const char* withheld; // Withheld's letters
    // Signed fields, each "w" (covers the whole file) or "c" (changed after signing).
    const char* signatures;
    const char* pdfA;
    bool tagged;
    const char* direction;
    const char* layout;
    bool linearized;
    FormKind forms;
    bool javaScript;
    int attachments;
    bool outlines;
    int updates;
};

TEST(DocumentFeatures, FilesFromRealToolsGiveWhatTheyWereMadeWith) {
    using enum FormKind;
    const Fixture fixtures[] = {
        {"b4-jis.pdf", "B4 (JIS)", 257, 364, 0, false, "", "", "", false, "", "", false, None},
        {"b5-jis.pdf", "B5 (JIS)", 182, 257, 0, false, "", "", "", false, "", "", false, None},
        {"b5-jis-linearized.pdf", "B5 (JIS)", 182, 257, 0, false, "", "", "", false, "", "", true,
         None},
        {"hagaki.pdf", "はがき", 100, 148, 0, false, "", "", "", false, "", "", false, None},
        {"a3-landscape.pdf", "A3", 420, 297, 0, false, "", "", "", false, "", "", false, None},
        {"mixed-a4-a3.pdf", "A4", 210, 297, 0, true, "", "", "", false, "", "", false, None},
        {"a4-rotated.pdf", "A4", 297, 210, 90, false, "", "", "", false, "", "", false, None},
        {"a4-cropped-a5.pdf", "A5", 148, 210, 0, false, "", "", "", false, "", "", false, None},
        {"a4-marked.pdf", "A4", 210, 297, 0, false, "", "", "", true, "", "", false, None},
        {"r2l-b5.pdf", "B5 (JIS)", 182, 257, 0, false, "", "", "", false, "R2L", "TwoPageRight",
         false, None, false, 0, true},
        {"form-script-attachments.pdf", "A4", 210, 297, 0, false, "", "", "", false, "", "", false,
         AcroForm, true, 2},
        {"pdfa-2b-gs.pdf", "B5 (JIS)", 182, 257, 0, false, "", "", "2B", false, "", "", false,
         None},
        {"restricted-print.pdf", "A3", 420, 297, 0, false, "ph", "", "", false, "", "", false,
         None},
        {"restricted-print-high.pdf", "A3", 420, 297, 0, false, "h", "", "", false, "", "", false,
         None},
        {"restricted-extract.pdf", "A3", 420, 297, 0, false, "c", "", "", false, "", "", false,
         None},
        {"restricted-modify-other.pdf", "A3", 420, 297, 0, false, "m", "", "", false, "", "", false,
         None},
        {"restricted-annotate.pdf", "A3", 420, 297, 0, false, "a", "", "", false, "", "", false,
         None},
        {"restricted-form.pdf", "A3", 420, 297, 0, false, "f", "", "", false, "", "", false, None},
        {"restricted-assemble.pdf", "A3", 420, 297, 0, false, "s", "", "", false, "", "", false,
         None},
        {"restricted-accessibility.pdf", "A3", 420, 297, 0, false, "x", "", "", false, "", "",
         false, None},
        // Revision 2 has no bits for the last four: they follow print, copy, modify, annotate.
        {"restricted-all-r2.pdf", "A3", 420, 297, 0, false, "phcmafsx", "", "", false, "", "",
         false, None},
        {"signed.pdf", "A4", 210, 297, 0, false, "", "w", "", false, "", "", false, AcroForm, false,
         0, false, 1},
        {"signed-twice.pdf", "A4", 210, 297, 0, false, "", "cw", "", false, "", "", false, AcroForm,
         false, 0, false, 2},
        {"signed-then-updated.pdf", "A4", 210, 297, 0, false, "", "c", "", false, "", "", false,
         AcroForm, false, 0, false, 2},
    };
    for (const Fixture& f : fixtures) {
        SCOPED_TRACE(f.file);
        const DocumentInfo info =
            ReadFeatures(PAGEWICK_TEST_DATA "/features/" + std::string(f.file));
        const DocumentFeatures& d = info.features;
        ASSERT_TRUE(d.read && d.firstPage.found);
        EXPECT_EQ(PaperName(d.firstPage.widthMm, d.firstPage.heightMm), f.paper);
        EXPECT_NEAR(d.firstPage.widthMm, f.widthMm, 0.5);
        EXPECT_NEAR(d.firstPage.heightMm, f.heightMm, 0.5);
        EXPECT_EQ(d.firstPage.rotate, f.rotate);
        EXPECT_EQ(d.firstPage.mixedSizes, f.mixed);
        EXPECT_EQ(Withheld(info.encryption), f.withheld);
        std::string signatures;
        for (const SignatureFacts& s : d.signatures) {
            signatures += s.changedAfterSigning ? 'c' : 'w';
            EXPECT_EQ(s.signer, "Pagewick Test Signer");
            EXPECT_EQ(s.subFilter, "adbe.pkcs7.detached");
            EXPECT_GT(s.signingTime, 0);
            EXPECT_FALSE(s.timestamp);
        }
        EXPECT_EQ(signatures, f.signatures);
        EXPECT_EQ(d.pdfA, f.pdfA);
        EXPECT_EQ(d.pdfUA, "");
        EXPECT_EQ(d.tagged, f.tagged);
        EXPECT_EQ(d.direction, f.direction);
        EXPECT_EQ(d.pageLayout, f.layout);
        EXPECT_EQ(d.linearized, f.linearized);
        EXPECT_EQ(d.forms, f.forms);
        EXPECT_EQ(d.javaScript, f.javaScript);
        EXPECT_EQ(d.attachments, f.attachments);
        EXPECT_EQ(d.outlines, f.outlines);
        EXPECT_EQ(d.updates, f.updates);
    }
}

TEST(DocumentFeatures, AreReadOnlyWhenAskedFor) {
    const DocumentInfo info = ReadPdfInfo(PAGEWICK_TEST_DATA "/features/signed.pdf");
    EXPECT_FALSE(info.features.read);
    EXPECT_TRUE(info.features.signatures.empty());
}

TEST(PaperName, NamesSizesWithinTwoMillimetresEitherWayRound) {
    const struct {
        double w, h;
        std::string_view name;
    } cases[] = {
        {210, 297, "A4"},         {297, 210, "A4"},          {211.9, 295.1, "A4"}, {212.1, 297, ""},
        {182, 257, "B5 (JIS)"},   {176, 250, "B5 (ISO)"},    {100, 148, "はがき"}, {105, 148, "A6"},
        {215.9, 279.4, "Letter"}, {279.4, 431.8, "Tabloid"}, {841, 1189, "A0"},    {0, 0, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PaperName(c.w, c.h), c.name) << c.w << "x" << c.h;
}

// Page trees and boxes made to mislead the walk: what each gives for the first page.
TEST(DocumentFeatures, PageBoxesAndTreesOfDamagedFiles) {
    const struct {
        const char* pages; // objects 2 (the tree) and up, written after the catalog
        double widthMm, heightMm;
        int rotate;
        std::optional<bool> mixed;
    } cases[] = {
        // Inherited media box and rotation, the crop box clipped to the media box.
        {"<< /Type /Pages /Kids [3 0 R] /Count 1 /MediaBox [0 0 595.28 841.89] /Rotate -90 >>\n"
         "3 0 obj << /Type /Page /Parent 2 0 R /CropBox [-100 -100 297.64 2000] >>",
         297, 105, 270, false},
        // No usable box: US Letter. A rotation that is no right angle counts as none.
        {"<< /Type /Pages /Kids [3 0 R] /Count 1 >>\n"
         "3 0 obj << /Type /Page /MediaBox [0 0 0 0] /Rotate 45 >>",
         215.9, 279.4, 0, false},
        // Kids that lead back up are visited once; the second page differs.
        {"<< /Type /Pages /Kids [3 0 R 2 0 R 4 0 R] /Count 2 /MediaBox [0 0 612 792] >>\n"
         "3 0 obj << /Type /Page >>\n4 0 obj << /Type /Page /UserUnit 2 >>",
         215.9, 279.4, 0, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pages);
        TempDir dir;
        std::string objects = c.pages;
        PdfBuilder pdf;
        pdf.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
        // The tree's own objects follow in one stretch; the recovery finds them.
        pdf.Raw("2 0 obj " + objects + " endobj\n");
        pdf.Raw("trailer << /Root 1 0 R >>\n%%EOF\n");
        const DocumentInfo info = ReadFeatures(pdf.WriteTo(dir.File("t.pdf")));
        const PageFacts& page = info.features.firstPage;
        ASSERT_TRUE(page.found);
        EXPECT_NEAR(page.widthMm, c.widthMm, 0.1);
        EXPECT_NEAR(page.heightMm, c.heightMm, 0.1);
        EXPECT_EQ(page.rotate, c.rotate);
        EXPECT_EQ(page.mixedSizes, c.mixed);
    }
}

TEST(DocumentFeatures, PagesBeyondTheComparedOnesLeaveTheMarkOpen) {
    TempDir dir;
    std::string kids;
    PdfBuilder pdf;
    pdf.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
    for (int k = 0; k <= kMaxPagesCompared; ++k) {
        pdf.Object(3 + k, "<< /Type /Page /MediaBox [0 0 595 842] >>");
        kids += std::to_string(3 + k) + " 0 R ";
    }
    pdf.Object(2, "<< /Type /Pages /Kids [" + kids + "] /Count " +
                      std::to_string(kMaxPagesCompared + 1) + " >>");
    pdf.FullSection("/Root 1 0 R /Size " + std::to_string(kMaxPagesCompared + 4));
    const DocumentInfo info = ReadFeatures(pdf.WriteTo(dir.File("many.pdf")));
    EXPECT_TRUE(info.features.firstPage.found);
    EXPECT_EQ(info.features.firstPage.mixedSizes, std::nullopt);
}

std::string FixtureBytes(const char* name) {
    std::ifstream in(std::string(PAGEWICK_TEST_DATA "/features/") + name, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// The signature blob of the signed fixture, from the hexadecimal string of its /Contents.
std::string FixtureBlob() {
    const std::string file = FixtureBytes("signed.pdf");
    const size_t start = file.find('<', file.find("/Contents")) + 1;
    std::string blob;
    for (size_t i = start; i + 1 < file.size() && file[i] != '>'; i += 2)
        blob += char(std::stoi(file.substr(i, 2), nullptr, 16));
    return blob;
}

TEST(CmsSignature, ReadsTheSignerAndSurvivesCutAndDamagedBlobs) {
    const std::string blob = FixtureBlob();
    const CmsSignatureFacts whole = ReadCmsSignature(blob);
    EXPECT_TRUE(whole.parsed);
    EXPECT_EQ(whole.signer, "Pagewick Test Signer");
    EXPECT_FALSE(whole.timestamp); // pdfsig signs without a signing-time attribute: /M has it
    // Cut anywhere, or with a byte changed, a blob gives at most what it still says.
    for (size_t cut = 0; cut < blob.size(); cut += 97)
        EXPECT_FALSE(ReadCmsSignature(blob.substr(0, cut)).parsed) << cut;
    for (size_t at = 0; at < 200; ++at) {
        std::string damaged = blob;
        damaged[at] = char(damaged[at] ^ 0x5A);
        (void)ReadCmsSignature(damaged);
    }
    for (const std::string& junk :
         {std::string(), std::string("\x30\x80", 2), std::string("\x30\x82\xff\xff\x06", 5),
          std::string(1000, '\x30'), std::string(kMaxCmsBytes + 1, '\x30')}) {
        EXPECT_FALSE(ReadCmsSignature(junk).parsed);
        EXPECT_EQ(CertificateSubjectName(junk), "");
    }
}

TEST(CmsSignature, ATimeStampTokenIsOneWithTheAuthorityAndItsTime) {
    // An RFC 3161 token from openssl's time-stamping authority (tools/make_feature_fixtures.sh).
    const CmsSignatureFacts token = ReadCmsSignature(FixtureBytes("timestamp-token.der"));
    EXPECT_TRUE(token.parsed);
    EXPECT_TRUE(token.timestamp);
    EXPECT_EQ(token.signer, "Pagewick Test TSA");
    EXPECT_GT(token.signedAt, std::time_t(1'700'000'000));
}

} // namespace
