// SPDX-License-Identifier: GPL-3.0-or-later
// The cross-reference table as the file states it: startxref, classic sections and their
// entries, updates, linearized layouts, trailers, and the chains that count as damaged.

#include "pdf/xrefchain.h"

#include "common/errors.h"
#include "pdf/bytesource.h"
#include "pdf/readbudget.h"
#include "support/pdfbuilder.h"

#include <gtest/gtest.h>

namespace {

// A plain file: catalog 1, information dictionary 2, page tree 3, page 4.
PdfBuilder PlainFile() {
    PdfBuilder pdf;
    pdf.Object(1, "<< /Type /Catalog /Pages 3 0 R >>")
        .Object(2, "<< /Title (Report) /Author (Ann) >>")
        .Object(3, "<< /Type /Pages /Kids [4 0 R] /Count 1 >>")
        .Object(4, "<< /Type /Page /Parent 3 0 R >>");
    return pdf;
}

XrefTable Walk(const std::string& bytes) {
    TempDir dir;
    const ByteSource source(dir.Write("t.pdf", bytes));
    ReadBudget budget;
    return ReadXrefChain(source, budget);
}

// The offset the table gives for object n; -1 for a free entry, -2 for none.
int64_t OffsetOf(const XrefTable& table, int64_t n) {
    const XrefEntry* e = table.Find(n);
    return !e ? -2 : e->kind() == XrefEntry::Kind::InFile ? e->Offset() : -1;
}

// The kind of failure a walk of bytes ends with, or "none".
std::string FailureOf(const std::string& bytes) {
    try {
        Walk(bytes);
        return "none";
    } catch (const EPagewickError& e) {
        return ErrorKindName(e.Kind());
    }
}

std::string WithTen(std::string bytes, const std::string& placeholder, int64_t value) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%010lld", static_cast<long long>(value));
    return bytes.replace(bytes.find(placeholder), 10, digits);
}

} // namespace

TEST(XrefChain, FindsTheNewestSectionInEveryStartxrefForm) {
    const char* forms[] = {
        "startxref\n%d\n%%EOF\n",
        "startxref\n%d\n%%EOF",
        "startxref %d\n%%EOF\n",
        "startxref\r%d\r%%EOF\r",
        "startxref\r\n%d\r\n%%EOF\r\n\r\n\n  \n",
        "startxref\n%d\n%%EOF\n<<>>\n",
        "startxref\n%d\n%%EOF\n"
        "%%garbage a writer appended"
        "\n",
    };
    for (const char* form : forms) {
        PdfBuilder pdf = PlainFile();
        pdf.StartxrefForm(form).FullSection("/Size 5 /Root 1 0 R");
        TempDir dir;
        const ByteSource source(dir.Write("t.pdf", pdf.Bytes()));
        EXPECT_EQ(FindStartxref(source), pdf.LastSectionOffset()) << form;
    }
}

TEST(XrefChain, WhatLeadsNowhereIsDamagedAndWhatIsTooBigIsOverBudget) {
    PdfBuilder plain = PlainFile();
    plain.FullSection("/Size 5 /Root 1 0 R");
    auto startxref = [&](const std::string& value) {
        std::string bytes = plain.Bytes();
        const size_t at = bytes.rfind("startxref\n") + 10;
        return bytes.replace(at, bytes.find('\n', at) - at, value);
    };
    std::string badHeader = plain.Bytes();
    badHeader.replace(badHeader.find("xref\n0 5"), 8, "xref\nx0 5");
    std::string badEntry = plain.Bytes();
    badEntry.replace(badEntry.find(" 00000 n", badEntry.find("xref")), 8, " 00000 x");
    std::string hugeSubsection = plain.Bytes();
    hugeSubsection.replace(hugeSubsection.find("xref\n0 5"), 8, "xref\n2147483646 5");
    const struct {
        const char* what;
        std::string bytes;
        const char* failure;
    } cases[] = {
        {"a plain file", plain.Bytes(), "none"},
        {"no startxref", plain.Bytes().substr(0, plain.Bytes().rfind("startxref")), "damaged"},
        {"startxref beyond the file", startxref("999999999"), "damaged"},
        {"startxref negative", startxref("-5"), "damaged"},
        {"startxref beyond 64 bits", startxref("99999999999999999999999"), "damaged"},
        {"startxref at no section", startxref("9"), "damaged"},
        {"a damaged subsection header", badHeader, "damaged"},
        {"an entry neither n nor f", badEntry, "damaged"},
        {"a subsection past the largest number", hugeSubsection, "damaged"},
        {"an empty file", "", "damaged"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FailureOf(c.bytes), c.failure) << c.what;
}

TEST(XrefChain, EntriesInEveryFormTheirWritersUse) {
    // The usual 20-byte form is read at fixed places, runs of it at once; any other form goes
    // by tokens.
    const struct {
        const char* line;
        int64_t offset; // -1: a free entry
    } entries[] = {
        {"0000000000 65535 f \r\n", -1},       {"9876543210 00000 n \r\n", 9876543210},
        {"0123456789 00000 n\r\n", 123456789}, {"1000000001 00000 n \n", 1000000001},
        {"   0000017 00000 n \r\n", 17},       {"4242 0 n\n", 4242},
        {"0000000099 00000 f \r\n", -1},       {"0000005000 00000 n\r\r\n", 5000},
        {"0000000042 00000 n\n", 42}, // nineteen bytes
        {"0000000077 00000 n \n% a comment between entries\n", 77},
    };
    std::string bytes = "%PDF-1.4\n";
    const int64_t xref = int64_t(bytes.size());
    bytes += "xref\n0 " + std::to_string(std::size(entries)) + "\n";
    for (const auto& e : entries)
        bytes += e.line;
    bytes += "trailer\n<< /Size 9 >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
    const XrefTable table = Walk(bytes);
    for (size_t n = 0; n < std::size(entries); ++n)
        EXPECT_EQ(OffsetOf(table, int64_t(n)), entries[n].offset) << entries[n].line;
    EXPECT_EQ(OffsetOf(table, 99), -2);
}

TEST(XrefChain, TokensAcrossTheEdgeOfWhatWasReadAreReadWhole) {
    // The section is read in growing pieces; a comment of every length puts each token (the
    // subsection's numbers, an entry written in a short form, "trailer") across the edge of a
    // piece somewhere.
    for (size_t pad = 0; pad < 600; ++pad) {
        std::string bytes = "%PDF-1.4\n";
        const size_t xref = bytes.size();
        bytes += "xref\n%" + std::string(pad, 'x') + "\n0 3\n0000000000 65535 f \n";
        bytes += "123456789 0 n\n0000004242 00000 n \ntrailer\n<< /Size 3 >>\n";
        bytes += "startxref\n" + std::to_string(xref) + "\n%%EOF\n";
        const XrefTable table = Walk(bytes);
        EXPECT_EQ(OffsetOf(table, 1), 123456789) << pad;
        EXPECT_EQ(OffsetOf(table, 2), 4242) << pad;
    }
}

TEST(XrefChain, TheNewestSectionsEntryAndTrailerKeyWin) {
    for (const bool fullSections : {false, true}) {
        PdfBuilder pdf = PlainFile();
        pdf.FullSection("/Size 5 /Root 1 0 R /Info 2 0 R /ID [<0102> <0304>]");
        pdf.Object(2, "<< /Title (Edited) >>").Object(5, "<< /Title (New) >>").Free(4);
        // (A full section lists every object anew: object 4 stays in use there.)
        if (fullSections)
            pdf.FullSection("/Size 6 /Info 5 0 R", true);
        else
            pdf.UpdateSection("/Size 6 /Info 5 0 R");
        const XrefTable table = Walk(pdf.Bytes());
        EXPECT_EQ(table.origin(), XrefTable::Origin::Chain);
        EXPECT_EQ(OffsetOf(table, 2), pdf.OffsetOf(2)) << fullSections;
        EXPECT_EQ(OffsetOf(table, 3), pdf.OffsetOf(3));
        EXPECT_EQ(OffsetOf(table, 4), fullSections ? pdf.OffsetOf(4) : -1);
        EXPECT_EQ(OffsetOf(table, 5), pdf.OffsetOf(5));
        // The newest trailer's keys, the older ones filling in what it lacks.
        EXPECT_EQ(table.Trailer().Get("Info")->integer, 5);
        EXPECT_EQ(table.Trailer().Get("Root")->integer, 1);
        EXPECT_EQ(table.Trailer().Get("Size")->integer, 6);
        EXPECT_EQ(table.FileId(), "\x01\x02");
    }
}

TEST(XrefChain, ALinearizedLayoutAndAThousandUpdatesFindEveryObject) {
    // Objects 5-7 belong to the first-page section, which the startxref names; its /Prev is
    // the main section for objects 0-4.
    PdfBuilder linearized = PlainFile();
    linearized.Object(5, "<< /Linearized 1 >>").Object(6, "(six)").Object(7, "(seven)");
    linearized.Section(0, 5, "/Size 8", false);
    linearized.Section(5, 3, "/Size 8 /Root 1 0 R /Info 2 0 R", true);
    const XrefTable table = Walk(linearized.Bytes());
    for (int n = 1; n <= 7; ++n)
        EXPECT_EQ(OffsetOf(table, n), linearized.OffsetOf(n)) << n;

    PdfBuilder updated = PlainFile();
    updated.FullSection("/Size 5 /Root 1 0 R");
    for (int i = 0; i < 1000; ++i) {
        updated.Object(2, "<< /Title (Update " + std::to_string(i) + ") >>");
        updated.UpdateSection("/Size 5 /Root 1 0 R /Info 2 0 R");
    }
    EXPECT_EQ(OffsetOf(Walk(updated.Bytes()), 2), updated.OffsetOf(2));
}

TEST(XrefChain, APrevChainThatComesBackIsDamaged) {
    PdfBuilder pdf = PlainFile();
    pdf.FullSection("/Size 5 /Root 1 0 R /Prev AAAAAAAAAA");
    const int64_t first = pdf.LastSectionOffset();
    pdf.Object(2, "<< /Title (Edited) >>");
    pdf.FullSection("/Size 5 /Root 1 0 R /Info 2 0 R /Prev BBBBBBBBBB");
    const int64_t second = pdf.LastSectionOffset();
    const std::string both =
        WithTen(WithTen(pdf.Bytes(), "AAAAAAAAAA", second), "BBBBBBBBBB", first);
    EXPECT_EQ(FailureOf(both), "damaged");
    const std::string self = WithTen(WithTen(pdf.Bytes(), "AAAAAAAAAA", 0), "BBBBBBBBBB", second);
    EXPECT_EQ(FailureOf(self), "damaged");
}

TEST(XrefChain, TrailersAndIdentifiersInTheirWrittenForms) {
    struct Case {
        std::string trailer;
        std::string id;
    } cases[] = {
        {"/Size 5/Root 1 0 R/Info 2 0 R/ID[<0123456789ABCDEF0123456789ABCDEF><FFFF>]",
         "\x01\x23\x45\x67\x89\xAB\xCD\xEF\x01\x23\x45\x67\x89\xAB\xCD\xEF"},
        {"/Size 5 /Root 1 0 R /Info 2 0 R /ID [<01 23 45 67 89 ab cd ef 99>]",
         "\x01\x23\x45\x67\x89\xAB\xCD\xEF\x99"},
        {"/Size 5\n/Root 1 0 R % a comment\n/Info 2 0 R /ID [(abc\\)def) (x)]", "abc)def"},
        {"/Size 5 /Root 1 0 R /Info 2 0 R", ""},
    };
    for (const auto& c : cases) {
        PdfBuilder pdf = PlainFile();
        pdf.FullSection(c.trailer);
        const XrefTable table = Walk(pdf.Bytes());
        EXPECT_EQ(table.Trailer().Get("Root")->integer, 1) << c.trailer;
        EXPECT_EQ(table.Trailer().Get("Info")->integer, 2) << c.trailer;
        EXPECT_EQ(table.FileId(), c.id) << c.trailer;
    }
}
