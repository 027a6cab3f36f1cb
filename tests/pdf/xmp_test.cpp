// SPDX-License-Identifier: GPL-3.0-or-later
#include "pdf/xmp.h"

#include <gtest/gtest.h>

namespace {

std::string Packet(const std::string& description) {
    return "\xEF\xBB\xBF<?xpacket begin=\"\xEF\xBB\xBF\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?>\n"
           "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\">\n"
           "<rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">\n"
           "<rdf:Description rdf:about=\"\" xmlns:dc=\"http://purl.org/dc/elements/1.1/\"\n"
           "  xmlns:pdf=\"http://ns.adobe.com/pdf/1.3/\" "
           "xmlns:xmp=\"http://ns.adobe.com/xap/1.0/\"" +
           description +
           "</rdf:Description>\n</rdf:RDF>\n</x:xmpmeta>\n"
           "                                        \n<?xpacket end=\"w\"?>";
}

} // namespace

TEST(ParseXmp, ReadsEveryPropertyInItsUsualForm) {
    const XmpProperties p = ParseXmp(Packet(R"(>
  <dc:title><rdf:Alt>
    <rdf:li xml:lang="ja">報告書</rdf:li>
    <rdf:li xml:lang="x-default">Report &amp; summary 😀</rdf:li>
  </rdf:Alt></dc:title>
  <dc:creator><rdf:Seq><rdf:li>山田 太郎</rdf:li><rdf:li>Jane Roe</rdf:li></rdf:Seq></dc:creator>
  <dc:description><rdf:Alt><rdf:li xml:lang="en">Quarterly</rdf:li></rdf:Alt></dc:description>
  <pdf:Keywords>sales; budget</pdf:Keywords>
  <pdf:Producer>LuaTeX-1.17</pdf:Producer>
  <xmp:CreatorTool>LaTeX with hyperref</xmp:CreatorTool>
  <xmp:CreateDate>2024-01-02T03:04:05+09:00</xmp:CreateDate>
  <xmp:ModifyDate>2025-01-01T00:00:00Z</xmp:ModifyDate>
)"));
    EXPECT_EQ(p.Title, "Report & summary 😀"); // x-default, though not first
    EXPECT_EQ(p.Author, "山田 太郎; Jane Roe");
    EXPECT_EQ(p.Subject, "Quarterly"); // no x-default: the first item
    EXPECT_EQ(p.Keywords, "sales; budget");
    EXPECT_EQ(p.Producer, "LuaTeX-1.17");
    EXPECT_EQ(p.Creator, "LaTeX with hyperref");
    EXPECT_EQ(p.CreateDate, "2024-01-02T03:04:05+09:00");
}

TEST(ParseXmp, ReadsAttributesAndLeavesOutWhatIsMissing) {
    const XmpProperties p = ParseXmp(Packet(" pdf:Producer=\"qpdf\" xmp:CreatorTool=\"Writer\">\n"
                                            "<dc:title><rdf:Alt></rdf:Alt></dc:title>"));
    EXPECT_EQ(p.Producer, "qpdf");
    EXPECT_EQ(p.Creator, "Writer");
    EXPECT_EQ(p.Title, ""); // present but empty
    EXPECT_FALSE(p.Author);
    EXPECT_FALSE(p.Keywords);
    EXPECT_FALSE(p.CreateDate);
}

TEST(ParseXmp, IgnoresABrokenPacketWhole) {
    const std::string good = Packet("><pdf:Producer>qpdf</pdf:Producer>");
    const std::string cases[] = {
        "",
        "not XML at all",
        good.substr(0, good.size() / 2),                         // cut short
        Packet("><pdf:Producer>qpdf</pdf:Creator>"),             // mismatched tags
        Packet("><pdf:Producer>a &undefined; b</pdf:Producer>"), // an unknown entity
    };
    for (const std::string& packet : cases) {
        const XmpProperties p = ParseXmp(packet);
        EXPECT_FALSE(p.Producer || p.Title || p.Author) << packet;
    }
    // Junk after the packet's end, as some writers leave it, does not spoil it.
    EXPECT_EQ(ParseXmp(good + std::string(40, '\0') + "junk").Producer, "qpdf");
}

// A packet can make a value huge (an entity expanded millions of times, or a value of many
// megabytes): entities are never expanded, and a value is cut at a character's edge.
TEST(ParseXmp, ValuesAndTheirExpansionAreBounded) {
    std::string entity = "<!DOCTYPE x:xmpmeta [<!ENTITY a \"" + std::string(250, 'a') + "\">]>\n";
    std::string uses;
    for (int k = 0; k < 1000; ++k)
        uses += "&a;";
    const XmpProperties expanded = ParseXmp(
        entity + Packet("><pdf:Producer>" + uses + "</pdf:Producer><dc:title><rdf:Alt><rdf:li>" +
                        uses + "</rdf:li></rdf:Alt></dc:title>"));
    EXPECT_FALSE(expanded.Producer || expanded.Title);

    std::string kana; // あ repeated past the bound: the cut falls inside a character
    while (kana.size() <= kMaxXmpValueBytes)
        kana += "\xE3\x81\x82";
    const XmpProperties cut =
        ParseXmp(Packet(" pdf:Producer=\"" + kana + "\"><dc:creator><rdf:Seq><rdf:li>" + kana +
                        "</rdf:li><rdf:li>" + kana + "</rdf:li></rdf:Seq></dc:creator>"));
    ASSERT_TRUE(cut.Producer && cut.Author);
    EXPECT_EQ(cut.Producer->size(), kMaxXmpValueBytes - kMaxXmpValueBytes % 3);
    EXPECT_EQ(cut.Author->size(), kMaxXmpValueBytes - kMaxXmpValueBytes % 3);
    EXPECT_EQ(cut.Producer->substr(0, 6), "\xE3\x81\x82\xE3\x81\x82");
}

TEST(XmpDateToPdfDate, WritesEachPrecision) {
    const std::pair<const char*, const char*> cases[] = {
        {"2024-01-02T03:04:05+09:00", "D:20240102030405+09'00'"},
        {"2024-01-02T03:04:05.123-05:30", "D:20240102030405-05'30'"},
        {"2024-01-02T03:04Z", "D:202401020304Z"},
        {"2024-01-02", "D:20240102"},
        {"2024", "D:2024"},
        {"24-01-02", ""},
        {"", ""},
    };
    for (const auto& [xmp, pdf] : cases)
        EXPECT_EQ(XmpDateToPdfDate(xmp), pdf) << xmp;
}
