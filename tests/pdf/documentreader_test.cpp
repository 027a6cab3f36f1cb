// SPDX-License-Identifier: GPL-3.0-or-later
#include "pdf/documentreader.h"

#include "common/errors.h"
#include "crypto/md5.h"
#include "crypto/rc4.h"
#include "crypto/standardsecurity.h"
#include "pdf/pdfdate.h"
#include "support/modernpdf.h"
#include "support/pdfbuilder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

using namespace std::string_literals;

namespace {

const std::string kData = PAGEWICK_TEST_DATA;

DocumentInfo Read(const std::string& path, const std::string& password = "", bool lenient = false) {
    return ReadPdfInfo(path, {password, lenient});
}

int Result(const DocumentInfo& info) {
    return int(info.encryption.password);
}

std::string Hex(const std::string& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : bytes)
        out += {digits[c >> 4], digits[c & 15]};
    return out;
}

std::string Octal(const std::string& bytes) {
    std::string out;
    for (unsigned char c : bytes)
        out += "\\" + std::to_string(c >> 6) + std::to_string((c >> 3) & 7) + std::to_string(c & 7);
    return out;
}

std::string FromHex(const std::string& hex) {
    std::string out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        out += char(std::stoi(hex.substr(i, 2), nullptr, 16));
    return out;
}

DateTimeParts Parts(TDateTime t) {
    return DecodeDateTime(t);
}

std::string DateText(TDateTime t) {
    if (t == 0)
        return "absent";
    const auto p = Parts(t);
    char s[32];
    std::snprintf(s, sizeof s, "%04d/%02d/%02d %02d:%02d:%02d", p.year, p.month, p.day, p.hour,
                  p.minute, p.second);
    return s;
}

// A 40-bit document encrypted here from its passwords, with the O value computed the way the
// standard handler defines it, so that passwords the fixture tools will not write (an empty
// owner password) can be tried.
struct Encrypted40 {
    std::string O, U, id, fileKey;
    int32_t P = -4;

    Encrypted40(const std::string& user, const std::string& owner) {
        for (size_t i = 0; i < 16; ++i)
            id += char(i * 17);
        Md5Digest digest;
        const Bytes32 ownerPad = PadPassword(owner);
        Md5OfString(std::string(ownerPad.begin(), ownerPad.end()), digest);
        Bytes32 o = PadPassword(user);
        Rc4State rc4;
        Rc4Setup(rc4, digest.data(), 5);
        Rc4Apply(rc4, o.data(), 32);
        O.assign(o.begin(), o.end());
        EncryptionParams params;
        params.R = 2;
        params.P = P;
        params.O = O;
        params.ID = id;
        fileKey = ComputeFileKey(PadPassword(user), params);
        U = ComputeU(fileKey, params);
    }
    // RC4 encrypts as it decrypts.
    std::string Encrypt(const std::string& plain, int object) const {
        StringDecryptor rc4(CryptMethod::RC4, fileKey);
        return *rc4.Decrypt(plain, object, 0);
    }
    std::string Write(const TempDir& dir, const std::string& name) const {
        PdfBuilder pdf;
        pdf.Object(1, "<< /Type /Catalog /Pages 3 0 R >>")
            .Object(2, "<< /Title <" + Hex(Encrypt("Secret", 2)) + "> >>")
            .Object(3, "<< /Type /Pages /Count 2 /Kids [] >>")
            .Object(4, "<< /Filter /Standard /V 1 /R 2 /Length 40 /P -4\n/O <" + Hex(O) +
                           ">\n/U <" + Hex(U) + "> >>");
        pdf.FullSection("/Size 5 /Root 1 0 R /Info 2 0 R /Encrypt 4 0 R /ID [<" + Hex(id) +
                        "> <00>]");
        return pdf.WriteTo(dir.File(name));
    }
};

} // namespace

TEST(ReadPdfInfo, ReadsAPlainFile) {
    TempDir dir;
    PdfBuilder pdf("%PDF-1.3");
    pdf.Object(1, "<< /Type /Catalog /Pages 3 0 R >>")
        .Object(2, "<< /Title (Report)/Author (Ann)/CreationDate (D:20050412153000+09'00') >>")
        .Object(3, "<< /Type /Pages /Kids [] /Count 12 >>");
    pdf.FullSection("/Size 4 /Root 1 0 R /Info 2 0 R");
    const auto info = Read(pdf.WriteTo(dir.File("plain.PDF")));
    EXPECT_EQ(info.pdfVersion, "1.3");
    EXPECT_EQ(info.title, "Report");
    EXPECT_EQ(info.author, "Ann");
    EXPECT_EQ(DateText(info.creationDate), "2005/04/12 15:30:00");
    EXPECT_EQ(info.modificationDate, 0);
    EXPECT_EQ(info.pageCount, 12);
    EXPECT_EQ(info.fileSize, int64_t(pdf.Bytes().size()));
    EXPECT_FALSE(info.encryption.encrypted);
    EXPECT_EQ(Result(info), 0);
    EXPECT_EQ(info.encryption.keyLengthBits, 0);
}

TEST(ReadPdfInfo, InformationEntriesPieceByPiece) {
    struct Case {
        std::string dictionary;
        std::string title{}, author{}, subject{}, keywords{}, producer{}, creator{};
    } cases[] = {
        {"<< /Title 5 0 R/Author (Ann) >>", "From five", "Ann"},
        {"<< /Title (Report (v2) final) /Author (Ann) >>", "Report (v2) final", "Ann"},
        {"<< /Title (Budget \\(draft\\) 2024) /Subject (S) >>", "Budget (draft) 2024", "", "S"},
        {"<< /Title <FEFF0041>>>", "A"},
        {"<</Title<FEFF00410042>/Author<FEFF0043>>>", "AB", "C"},
        {"<< /Title (About /Author names) /Author (Real) >>", "About /Author names", "Real"},
        {"<< /Author (First) /Author (Second) >>", "", "Second"},
        {"<< /Keywords (k1, k2) /Producer (P) /Creator (C) >>", "", "", "", "k1, k2", "P", "C"},
        {"<<\n/Title (multi\nline)\n/Trapped /False\n/Author (A)\n>>", "multi\nline", "A"},
        {"<< /Custom << /Nested (x) >> /Title (T) >>", "T"},
        {"<< /Title (\xFE\xFF\\000\x1B\x6A\x61\\000\x1B\\000A) >>", "A"},
        {"<< /Title (unterminated >>", ""},
        {"<< /CreatorVersion (21.0) /Creator (Tool) /Titles (x) >>", "", "", "", "", "", "Tool"},
    };
    for (const auto& c : cases) {
        TempDir dir;
        PdfBuilder pdf;
        pdf.Object(1, "<< /Type /Catalog >>").Object(2, c.dictionary).Object(5, "(From five)");
        pdf.FullSection("/Size 6 /Root 1 0 R /Info 2 0 R");
        const auto info = Read(pdf.WriteTo(dir.File("i.pdf")));
        EXPECT_EQ(info.title, c.title) << c.dictionary;
        EXPECT_EQ(info.author, c.author) << c.dictionary;
        EXPECT_EQ(info.subject, c.subject) << c.dictionary;
        EXPECT_EQ(info.keywords, c.keywords) << c.dictionary;
        EXPECT_EQ(info.producer, c.producer) << c.dictionary;
        EXPECT_EQ(info.creator, c.creator) << c.dictionary;
    }
}

TEST(ReadPdfInfo, PageCountFromTheCatalog) {
    struct Case {
        std::string catalog, tree;
        int32_t pages;
    } cases[] = {
        {"<< /Type /Catalog /Pages 3 0 R >>", "<< /Type /Pages /Count 12 >>", 12},
        {"<</Type/Catalog/Pages 3 0 R>>", "<</Type/Pages/Kids[]/Count 7>>", 7},
        {"<< /Type /Catalog /Pages << /Type /Pages /Count 3 /Kids [] >> >>", "", 3},
        {"<< /Type /Catalog /Pages 3 0 R >>", "<< /Type /Pages /Count 4 0 R >>", 9},
        {"<< /Type /Catalog /Pages 3 0 R >>", "<< /Type /Pages /Kids [] >>", 0},
        {"<< /Type /Catalog >>", "<< /Type /Pages /Count 5 >>", 0},
        {"<< /Type /Catalog /Pages 3 0 R >>", "<< /Type /Pages /Count x >>", 0},
        {"<< /Type /Catalog /Pages 3 0 R >>", "<< /Type /Pages /Count 2147483648 >>", 0},
    };
    for (const auto& c : cases) {
        TempDir dir;
        PdfBuilder pdf;
        pdf.Object(1, c.catalog).Object(3, c.tree.empty() ? "null" : c.tree).Object(4, "9");
        pdf.FullSection("/Size 5 /Root 1 0 R");
        EXPECT_EQ(Read(pdf.WriteTo(dir.File("p.pdf"))).pageCount, c.pages) << c.catalog << c.tree;
    }
}

TEST(ParsePdfDate, TakesTheFieldsThatArePresentAndRejectsInvalidDates) {
    const std::pair<const char*, const char*> cases[] = {
        {"D:20050412153000+09'00'", "2005/04/12 15:30:00"},
        {"D:20050412153000Z", "2005/04/12 15:30:00"},
        {"D:20050412", "2005/04/12 00:00:00"},
        {"D:2005", "2005/01/01 00:00:00"},
        {"D:200504", "2005/04/01 00:00:00"},
        {"D:199812231952-08'00'", "1998/12/23 19:52:00"},
        {"20050412153000", "2005/04/12 15:30:00"},
        {"  D:20050412153000", "2005/04/12 15:30:00"},
        {"D:20051312", "absent"},
        {"D:20050230", "absent"},
        {"D:20050412250000", "absent"},
        {"D:2005041", "absent"},
        {"D:2005AB12", "absent"},
        {"D:", "absent"},
        {"", "absent"},
        {"garbage", "absent"},
        {"D:00000101000000Z", "0000/01/01 00:00:00"}, // "no date", as writers put it
        {"D:00001301", "absent"},
        {"D:19000101000000", "1900/01/01 00:00:00"},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(DateText(ParsePdfDate(text)), expected) << text;
}

TEST(ReadPdfInfo, TheNewestTrailerOfAnUpdateNamesTheDictionaries) {
    TempDir dir;
    PdfBuilder pdf;
    pdf.Object(1, "<< /Type /Catalog /Pages 3 0 R >>")
        .Object(2, "<< /Title (Old) >>")
        .Object(3, "<< /Type /Pages /Count 1 >>");
    pdf.FullSection("/Size 4 /Root 1 0 R /Info 2 0 R");
    // Rewritten under old numbers (title and page tree), and a new information dictionary.
    pdf.Object(3, "<< /Type /Pages /Count 2 >>").Object(2, "<< /Title (Edited) >>");
    pdf.UpdateSection("/Size 4 /Root 1 0 R /Info 2 0 R");
    auto info = Read(pdf.WriteTo(dir.File("u1.pdf")));
    EXPECT_EQ(info.title, "Edited");
    EXPECT_EQ(info.pageCount, 2);
    pdf.Object(7, "<< /Title (Newest) /Author (Ed) >>");
    pdf.UpdateSection("/Size 8 /Root 1 0 R /Info 7 0 R");
    info = Read(pdf.WriteTo(dir.File("u2.pdf")));
    EXPECT_EQ(info.title, "Newest");
    EXPECT_EQ(info.author, "Ed");
}

TEST(ReadPdfInfo, EachFailureHasItsKind) {
    TempDir dir;
    PdfBuilder pdf;
    pdf.Object(1, "<< /Type /Catalog /Pages 2 0 R >>").Object(2, "<< /Type /Pages /Count 1 >>");
    pdf.FullSection("/Size 3 /Root 1 0 R");
    ::mkdir(dir.File("folder.pdf").c_str(), 0755);
    const std::string fifo = dir.File("fifo.pdf");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    std::string random(100000, '\0');
    for (size_t i = 0; i < random.size(); ++i)
        random[i] = char((i * 2654435761u) >> 13);
    const struct {
        std::string path;
        const char* kind;
    } cases[] = {
        {dir.Write("doc.txt", pdf.Bytes()), "none"}, // the extension is the list's business
        {dir.File("missing.pdf"), "unreadable"},
        {dir.File("folder.pdf"), "unreadable"},
        {fifo, "unreadable"},
        {dir.Write("empty.pdf", ""), "not-pdf"},
        {dir.Write("oops.pdf", "oops\n"), "not-pdf"},
        {dir.Write("download.pdf", "<!DOCTYPE html>\n<html><body>404 Not Found</body></html>\n"),
         "not-pdf"},
        {dir.Write("random.pdf", random), "not-pdf"},
        {dir.Write("notes.pdf", std::string(3000, 'a') + "\nstartxref\n12\n%%EOF\n"), "not-pdf"},
        {dir.Write("bare.pdf", "%PDF-1.4\n%%EOF\n"), "damaged"},
        {dir.Write("header.pdf", "%PDF-"), "damaged"},
        {dir.Write("late.pdf", std::string(1100, ' ') + "%PDF-1.4\n%%EOF\n"), "not-pdf"},
        // Without a header but with a whole document, as some tools' files are: read.
        {dir.Write("headerless.pdf", "%XYZ" + pdf.Bytes().substr(4)), "none"},
    };
    for (const auto& c : cases) {
        std::string kind = "none";
        try {
            ReadPdfInfo(c.path);
        } catch (const EPagewickError& e) {
            kind = ErrorKindName(e.Kind());
            EXPECT_NE(std::string(e.what()).find_first_not_of(" "), std::string::npos);
        }
        EXPECT_EQ(kind, c.kind) << c.path;
    }
}

TEST(ReadPdfInfo, TheHeaderMayStandAnywhereInTheFirstKibibyte) {
    PdfBuilder pdf("%PDF-1.6");
    pdf.Object(1, "<< /Type /Catalog /Pages 2 0 R >>").Object(2, "<< /Type /Pages /Count 3 >>");
    pdf.FullSection("/Size 3 /Root 1 0 R");
    const struct {
        std::string before, after; // around the header line's "%PDF-1.6"
        const char* version;
    } cases[] = {
        {"", "", "1.6"},
        {"\xEF\xBB\xBF", "", "1.6"}, // a byte-order mark
        {"\x1B%-12345X@PJL JOB NAME=\"scan\"\r\n", "", "1.6"},
        {std::string(1000, ' '), "", "1.6"},
        {"", std::string("\0\x01junk", 7), "1.6"},
    };
    for (const auto& c : cases) {
        std::string bytes = pdf.Bytes();
        bytes.insert(8, c.after);
        bytes.insert(0, c.before);
        TempDir dir;
        // The offsets are those of the file before the junk went in: the table is recovered.
        const DocumentInfo info = Read(dir.Write("h.pdf", bytes));
        EXPECT_EQ(info.pdfVersion, c.version) << c.before.size();
        EXPECT_EQ(info.pageCount, 3) << c.before.size();
    }
}

TEST(ReadPdfInfo, EncryptedFixturesAndTheirPasswords) {
    struct Case {
        const char* file;
        const char* password;
        bool lenient;
        int32_t result;
        int32_t keyLength;
        bool readable;
    } cases[] = {
        {"empty40.pdf", "", false, 0, 40, true},
        {"empty128.pdf", "", false, 0, 128, true},
        {"empty40.pdf", "wrong", false, 0, 40, true},
        {"user40.pdf", "", false, -1, 40, false},
        {"user40.pdf", "user", false, 2, 40, true},
        {"user40.pdf", "owner", false, 1, 40, true},
        {"user40.pdf", "  user  ", false, -1, 40, false}, // blanks are characters
        {"user40.pdf", "wrong", false, -1, 40, false},
        {"user128.pdf", "user", false, 2, 128, true},
        {"user128.pdf", "owner", false, 1, 128, true},
        {"user128.pdf", "", true, -1, 128, false},
        {"six128.pdf", "sixsix", false, 2, 128, true},
        {"same40.pdf", "same", false, 1, 40, true},
    };
    for (const auto& c : cases) {
        const auto info = Read(kData + "/crypt/" + c.file, c.password, c.lenient);
        const std::string label = std::string(c.file) + " / " + c.password;
        EXPECT_TRUE(info.encryption.encrypted) << label;
        EXPECT_EQ(info.encryption.handler, "Standard") << label;
        EXPECT_EQ(Result(info), c.result) << label;
        EXPECT_EQ(info.encryption.needsPassword, c.result != 0) << label;
        EXPECT_EQ(info.encryption.keyLengthBits, c.keyLength) << label;
        EXPECT_EQ(info.pageCount, 1) << label;
        EXPECT_EQ(info.title, c.readable ? "Report" : "") << label;
        EXPECT_EQ(info.author, c.readable ? "Ann" : "") << label;
        EXPECT_EQ(info.encryption.permissions, -4) << label;
        EXPECT_TRUE(info.encryption.CanPrint() && info.encryption.CanCopy() &&
                    info.encryption.CanModify() && info.encryption.CanAnnotate());
    }
}

TEST(ReadPdfInfo, AnEmptyTypedPasswordOpensOnlyWithTheLenientOption) {
    TempDir dir;
    // The owner password is empty, the user password is not: the empty text matches as the
    // owner password.
    const Encrypted40 doc("user", "");
    const std::string path = doc.Write(dir, "e.pdf");
    struct Case {
        const char* password;
        bool lenient;
        int32_t result;
        const char* title;
    } cases[] = {
        {"", false, -1, ""},   {"   ", false, -1, ""},       {"", true, 1, "Secret"},
        {"   ", true, -1, ""}, {"user", false, 2, "Secret"}, {" user", false, -1, ""},
    };
    for (const auto& c : cases) {
        const auto info = Read(path, c.password, c.lenient);
        EXPECT_EQ(Result(info), c.result) << c.password << c.lenient;
        EXPECT_EQ(info.title, c.title) << c.password << c.lenient;
        EXPECT_EQ(info.pageCount, 2);
    }
}

TEST(ReadPdfInfo, EncryptionDictionaryForms) {
    // The O and U of the 40-bit fixture with an empty user password, so the file decrypts.
    const std::string O =
        FromHex("c92422687facee686e373f10b5c7d04738053152f7e2ee30e11c69ec442576ab");
    const std::string U =
        FromHex("b3d9fa366906ef42f354c6deb74c59075eaf334eb7c04356ba0d7f3dd8b51d0a");
    const std::string id = "<31415926535897932384626433832795>";
    StringDecryptor rc4(CryptMethod::RC4, FromHex("0e7b66938a"));
    const std::string title = *rc4.Decrypt("Report", 2, 0);
    struct Case {
        std::string dictionary;
        int32_t v, r, p, keyLength;
        bool print, modify, copy, annotate;
        int32_t result;
    } cases[] = {
        // P takes part in the key, so with -1340 the fixture's U no longer matches.
        {"<</Filter/Standard/V 1/R 2/O(" + Octal(O) + ")/U(" + Octal(U) + ")/P -1340/Length 40>>",
         1, 2, -1340, 40, true, false, false, false, -1},
        {"<</Filter/Standard/V 1/R 2/O(" + Octal(O) + ")/U(" + Octal(U) + ")/P -4/Length 40>>", 1,
         2, -4, 40, true, true, true, true, 0},
        {"<< /Filter /Standard /V 1 /R 2 /O <" + Hex(O) + "> /U <" + Hex(U) + "> /P -4 >>", 1, 2,
         -4, 40, true, true, true, true, 0},
        {"<<\n/Filter /Standard\n/V 1\n/R 2\n/O <" + Hex(O) + ">\n/U <" + Hex(U) +
             ">\n/P -4\n/Length 40\n>>",
         1, 2, -4, 40, true, true, true, true, 0},
        // /U before /O, and bytes of U that spell "/o" in hexadecimal form are never a key.
        {"<< /U (" + Octal(U) + ") /O (" + Octal(O) + ") /Filter /Standard /V 1 /R 2 /P -4 >>", 1,
         2, -4, 40, true, true, true, true, 0},
        {"<< /Filter /Other /V 1 /R 2 /O <" + Hex(O) + "> /U <" + Hex(U) + "> /P -4 >>", 1, 2, -4,
         40, true, true, true, true, -1},
        // A line break between key and value is white space like any other.
        {"<< /Filter\n/Standard /V 1 /R 2 /O <" + Hex(O) + "> /U <" + Hex(U) + "> /P -4 >>", 1, 2,
         -4, 40, true, true, true, true, 0},
        // P written unsigned is the same 32 bits.
        {"<< /Filter /Standard /V 1 /R 2 /O <" + Hex(O) + "> /U <" + Hex(U) + "> /P 4294967292 >>",
         1, 2, -4, 40, true, true, true, true, 0},
        // Entries given by reference, and a comment inside the dictionary.
        {"<< /Filter /Standard /V 1 /R 5 0 R % five\n/O <" + Hex(O) + "> /U 6 0 R /P -4 >>", 1, 2,
         -4, 40, true, true, true, true, 0},
        {"<< /Filter /Standard /V 4 /R 4 /Length 128 /CF << /StdCF << /CFM /AESV2 >> >> /O <" +
             Hex(O) + "> /U <" + Hex(U) + "> /P -4 >>",
         4, 4, -4, 128, true, true, true, true, -1},
        {"<< /Filter /Standard /V 4 /R 4 /CF << /StdCF << /CFM /AESV2 /Length 16 >> >> /O <" +
             Hex(O) + "> /U <" + Hex(U) + "> /P -4 >>",
         4, 4, -4, 128, true, true, true, true, -1},
        // A malformed /Length is ignored; revision 2 keys are 40 bits anyway.
        {"<< /Filter /Standard /V 1 /R 2 /Length x /O <" + Hex(O) + "> /U <" + Hex(U) +
             "> /P -4 >>",
         1, 2, -4, 40, true, true, true, true, 0},
        {"<< /Filter /Standard /V 5 /R 6 /Length 256 /CF << /StdCF << /CFM /AESV3 >> >> "
         "/StrF /StdCF /StmF /StdCF /O <" +
             Hex(O) + "> /U <" + Hex(U) + "> /P -4 >>",
         5, 6, -4, 256, true, true, true, true, -1},
    };
    for (const auto& c : cases) {
        TempDir dir;
        PdfBuilder pdf;
        pdf.Object(1, "<< /Type /Catalog /Pages 3 0 R >>")
            .Object(2, "<< /Title <" + Hex(title) + "> >>")
            .Object(3, "<< /Type /Pages /Count 5 >>")
            .Object(4, c.dictionary)
            .Object(5, "  2  ")
            .Object(6, "<" + Hex(U) + ">");
        pdf.FullSection("/Size 7 /Root 1 0 R /Info 2 0 R /Encrypt 4 0 R /ID [" + id + id + "]");
        const auto info = Read(pdf.WriteTo(dir.File("enc.pdf")));
        const std::string& d = c.dictionary;
        EXPECT_EQ(info.encryption.version, c.v) << d;
        EXPECT_EQ(info.encryption.revision, c.r) << d;
        EXPECT_EQ(info.encryption.permissions, c.p) << d;
        EXPECT_EQ(info.encryption.keyLengthBits, c.keyLength) << d;
        const EncryptionFacts& e = info.encryption;
        EXPECT_EQ((std::array<bool, 4>{e.CanPrint(), e.CanModify(), e.CanCopy(), e.CanAnnotate()}),
                  (std::array<bool, 4>{c.print, c.modify, c.copy, c.annotate}))
            << d;
        EXPECT_EQ(Result(info), c.result) << d;
        EXPECT_EQ(info.title, c.result == 0 ? "Report" : "") << d;
        EXPECT_EQ(info.pageCount, 5) << d;
        EXPECT_EQ(info.encryption.ownerEntry, O) << d;
        EXPECT_EQ(info.encryption.userEntry, U) << d;
    }
}

TEST(ReadPdfInfo, AnEncryptionDictionaryInTheTrailerItselfIsRead) {
    // The 40-bit fixture's values again (empty user password).
    const std::string O =
        FromHex("c92422687facee686e373f10b5c7d04738053152f7e2ee30e11c69ec442576ab");
    const std::string U =
        FromHex("b3d9fa366906ef42f354c6deb74c59075eaf334eb7c04356ba0d7f3dd8b51d0a");
    StringDecryptor rc4(CryptMethod::RC4, FromHex("0e7b66938a"));
    TempDir dir;
    PdfBuilder pdf;
    pdf.Object(1, "<< /Type /Catalog /Pages 3 0 R >>")
        .Object(2, "<< /Title <" + Hex(*rc4.Decrypt("Report", 2, 0)) + "> >>")
        .Object(3, "<< /Type /Pages /Count 2 >>");
    pdf.FullSection("/Size 4 /Root 1 0 R /Info 2 0 R /ID [<31415926535897932384626433832795> "
                    "<00>] /Encrypt << /Filter /Standard /V 1 /R 2 /O <" +
                    Hex(O) + "> /U <" + Hex(U) + "> /P -4 >>");
    const auto info = Read(pdf.WriteTo(dir.File("e.pdf")));
    EXPECT_EQ(Result(info), 0);
    EXPECT_EQ(info.title, "Report");
    EXPECT_EQ(info.pageCount, 2);
}

// Without V and R the handler is not the standard one as this reader knows it.
TEST(ReadPdfInfo, AnEncryptEntryThatIsNoReferenceMeansAnotherHandler) {
    TempDir dir;
    PdfBuilder pdf;
    pdf.Object(1, "<< /Type /Catalog >>").Object(2, "<< /Title (T) >>");
    pdf.FullSection("/Size 3 /Root 1 0 R /Info 2 0 R /Encrypt << /Filter /Standard >>");
    const auto info = Read(pdf.WriteTo(dir.File("e.pdf")));
    EXPECT_TRUE(info.encryption.encrypted);
    EXPECT_TRUE(info.encryption.needsPassword);
    EXPECT_EQ(Result(info), -1);
    EXPECT_EQ(info.title, "");
}

TEST(ReadPdfInfo, OffsetsAndSizesBeyondFourGibibytes) {
    TempDir dir;
    PdfBuilder head;
    head.Object(1, "<< /Type /Catalog /Pages 3 0 R >>")
        .Object(2, "<< /Title (Far) >>")
        .Object(3, "<< /Type /Pages /Count 3 >>");
    const int64_t xrefAt = 5LL << 30;
    PdfBuilder tail = head;
    std::string section = tail.FullSection("/Size 4 /Root 1 0 R /Info 2 0 R").Bytes();
    section = section.substr(head.Bytes().size());
    const std::string marker = "startxref\n";
    section.replace(section.find(marker) + marker.size(),
                    std::to_string(head.Bytes().size()).size(), std::to_string(xrefAt));
    const std::string path = dir.File("huge.pdf");
    const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::pwrite(fd, head.Bytes().data(), head.Bytes().size(), 0),
              ssize_t(head.Bytes().size()));
    ASSERT_EQ(::pwrite(fd, section.data(), section.size(), xrefAt), ssize_t(section.size()));
    ::close(fd);
    const auto info = Read(path);
    EXPECT_EQ(info.fileSize, xrefAt + int64_t(section.size()));
    EXPECT_EQ(info.title, "Far");
    EXPECT_EQ(info.pageCount, 3);
}

namespace {

std::string XmpPacket(const std::string& title, const std::string& creator) {
    return "<?xpacket begin=\"\xEF\xBB\xBF\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?>"
           "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF "
           "xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\"><rdf:Description "
           "xmlns:dc=\"http://purl.org/dc/elements/1.1/\" "
           "xmlns:pdf=\"http://ns.adobe.com/pdf/1.3/\" "
           "xmlns:xmp=\"http://ns.adobe.com/xap/1.0/\"><dc:title><rdf:Alt><rdf:li "
           "xml:lang=\"x-default\">" +
           title + "</rdf:li></rdf:Alt></dc:title><dc:creator><rdf:Seq><rdf:li>" + creator +
           "</rdf:li><rdf:li>B</rdf:li></rdf:Seq></dc:creator><dc:description><rdf:Alt><rdf:li "
           "xml:lang=\"x-default\">XMP subject</rdf:li></rdf:Alt></dc:description>"
           "<pdf:Producer>XMP producer</pdf:Producer>"
           "<xmp:CreateDate>2024-01-02T03:04:05+09:00</xmp:CreateDate>"
           "</rdf:Description></rdf:RDF></x:xmpmeta><?xpacket end=\"w\"?>";
}

} // namespace

TEST(ReadPdfInfo, XmpFillsWhatTheInfoDictionaryLacks) {
    struct Case {
        const char* name;
        std::string info;   // the Info dictionary, or empty for none
        std::string stream; // the metadata stream object
        std::string title, author, subject, producer, created;
    };
    const std::string packet = XmpPacket("Caf\xC3\xA9 \xE4\xB8\xAD\xE6\x96\x87", "A");
    auto plain = [](const std::string& data, const std::string& extra = "") {
        return "<< /Type /Metadata /Subtype /XML" + extra + " /Length " +
               std::to_string(data.size()) + " >>\nstream\n" + data + "\nendstream";
    };
    const std::string compressed = Deflate(packet);
    const Case cases[] = {
        {"only-xmp.pdf", "", plain(packet), "Café 中文", "A; B", "XMP subject", "XMP producer",
         "2024/01/02 03:04:05"},
        {"info-wins.pdf", "<< /Title (Info title) /Subject () /CreationDate (D:20200101) >>",
         plain(packet), "Info title", "A; B", "", "XMP producer", "2020/01/01 00:00:00"},
        {"compressed.pdf", "", plain(compressed, " /Filter /FlateDecode"), "Café 中文", "A; B",
         "XMP subject", "XMP producer", "2024/01/02 03:04:05"},
        {"broken.pdf", "<< /Author (Info author) >>", plain(packet.substr(0, packet.size() - 60)),
         "", "Info author", "", "", "absent"},
        {"unknown-filter.pdf", "", plain(packet, " /Filter /LZWDecode"), "", "", "", "", "absent"},
    };
    TempDir dir;
    for (const Case& c : cases) {
        PdfBuilder pdf;
        pdf.Object(1, "<< /Type /Catalog /Pages 3 0 R /Metadata 4 0 R >>")
            .Object(3, "<< /Type /Pages /Count 0 /Kids [] >>")
            .Object(4, c.stream);
        if (!c.info.empty())
            pdf.Object(2, c.info);
        pdf.FullSection(c.info.empty() ? "/Size 5 /Root 1 0 R" : "/Size 5 /Root 1 0 R /Info 2 0 R");
        const DocumentInfo info = Read(pdf.WriteTo(dir.File(c.name)));
        EXPECT_EQ(info.title, c.title) << c.name;
        EXPECT_EQ(info.author, c.author) << c.name;
        EXPECT_EQ(info.subject, c.subject) << c.name;
        EXPECT_EQ(info.producer, c.producer) << c.name;
        EXPECT_EQ(DateText(info.creationDate), c.created) << c.name;
    }
}

TEST(ReadPdfInfo, XmpOfAnEncryptedFileIsDecryptedUnlessItIsLeftPlain) {
    const Encrypted40 e("", "owner");
    const std::string packet = XmpPacket("Secret title", "A");
    TempDir dir;
    for (const bool encryptMetadata : {true, false}) {
        const std::string data = encryptMetadata ? e.Encrypt(packet, 5) : packet;
        PdfBuilder pdf;
        pdf.Object(1, "<< /Type /Catalog /Pages 3 0 R /Metadata 5 0 R >>")
            .Object(3, "<< /Type /Pages /Count 0 /Kids [] >>")
            .Object(4, "<< /Filter /Standard /V 1 /R 2 /Length 40 /P -4" +
                           std::string(encryptMetadata ? "" : " /EncryptMetadata false") +
                           "\n/O <" + Hex(std::string(e.O.begin(), e.O.end())) + ">\n/U <" +
                           Hex(std::string(e.U.begin(), e.U.end())) + "> >>")
            .Object(5, "<< /Type /Metadata /Subtype /XML /Length " + std::to_string(data.size()) +
                           " >>\nstream\n" + data + "\nendstream");
        pdf.FullSection("/Size 6 /Root 1 0 R /Encrypt 4 0 R /ID [<" +
                        Hex(std::string(e.id.begin(), e.id.end())) + "> <00>]");
        const DocumentInfo info = Read(pdf.WriteTo(dir.File("e.pdf")));
        EXPECT_EQ(info.title, "Secret title") << encryptMetadata;
        EXPECT_EQ(info.author, "A; B") << encryptMetadata;
    }
}

// Version 4 RC4 files with keys under 128 bits check the password with the short file key but
// encrypt every object with that key zero-extended to 16 bytes; versions 2 and 3 encrypt with the
// short key itself. Each file here keeps its page tree in an encrypted, compressed object stream
// (so the page count needs the right key for streams) and an encrypted title in its Info
// dictionary (the same for strings). The object keys are computed here by hand.
TEST(ReadPdfInfo, ShortRc4KeysOfVersion4AreExtendedToSixteenBytes) {
    struct Case {
        const char* name;
        std::string dictionary; // the encryption dictionary without /O, /U and /P
        int32_t v, r, keyLength;
        size_t writtenKeyBytes; // the key the writer encrypts with
    } cases[] = {
        {"V4 40 bits", "/V 4 /R 4 /Length 40 /CF << /StdCF << /CFM /V2 /Length 5 >> >>", 4, 4, 40,
         16},
        {"V4 48 bits", "/V 4 /R 4 /Length 48 /CF << /StdCF << /CFM /V2 /Length 6 >> >>", 4, 4, 48,
         16},
        // Only the crypt filter gives the length, in bytes.
        {"V4 40 bits from the filter", "/V 4 /R 4 /CF << /StdCF << /CFM /V2 /Length 5 >> >>", 4, 4,
         40, 16},
        {"V4 128 bits", "/V 4 /R 4 /Length 128 /CF << /StdCF << /CFM /V2 /Length 16 >> >>", 4, 4,
         128, 16},
        {"V2 40 bits", "/V 2 /R 3 /Length 40", 2, 3, 40, 5},
        {"V2 48 bits", "/V 2 /R 3 /Length 48", 2, 3, 48, 6},
    };
    std::string id;
    for (int i = 0; i < 16; ++i)
        id += char(0xA0 + i);
    const std::string O(32, '\x5A');
    TempDir dir;
    for (const Case& c : cases) {
        const bool v4 = c.v == 4;
        const std::string v4Entries = v4 ? " /StmF /StdCF /StrF /StdCF /EncryptMetadata false" : "";
        EncryptionParams params;
        params.V = c.v;
        params.R = c.r;
        params.Length = c.keyLength;
        params.P = -3392;
        params.O = O;
        params.ID = id;
        params.EncryptMetadata = !v4;
        const std::string fileKey = ComputeFileKey(PasswordPad, params);
        ASSERT_EQ(fileKey.size(), size_t(c.keyLength / 8)) << c.name;
        std::string writtenKey = fileKey;
        writtenKey.resize(c.writtenKeyBytes, '\0');
        const auto encrypt = [&](std::string data, int object) {
            Md5Digest digest;
            Md5OfString(writtenKey + char(object) + std::string(4, '\0'), digest);
            Rc4State rc4;
            Rc4Setup(rc4, digest.data(), int(std::min<size_t>(writtenKey.size() + 5, 16)));
            Rc4Apply(rc4, reinterpret_cast<uint8_t*>(data.data()), int64_t(data.size()));
            return data;
        };
        const std::string pages = "<< /Type /Pages /Count 1 /Kids [4 0 R] >>\n";
        const std::string offsets = "3 0 4 " + std::to_string(pages.size()) + " ";
        const std::string stream =
            encrypt(Deflate(offsets + pages + "<< /Type /Page /Parent 3 0 R >>\n"), 5);
        ModernPdf pdf;
        pdf.Object(1, "<< /Type /Catalog /Pages 3 0 R >>")
            .Object(2, "<< /Title <" + Hex(encrypt("Report", 2)) + "> >>")
            .Object(5, "<< /Type /ObjStm /N 2 /First " + std::to_string(offsets.size()) +
                           " /Filter /FlateDecode /Length " + std::to_string(stream.size()) +
                           " >>\nstream\n" + stream + "\nendstream")
            .Compressed(3, 5, 0)
            .Compressed(4, 5, 1)
            .Object(6, "<< /Filter /Standard " + c.dictionary + v4Entries + " /P -3392 /O <" +
                           Hex(O) + "> /U <" + Hex(ComputeU(fileKey, params)) + "> >>")
            .XrefStream(7, "/Size 8 /Root 1 0 R /Info 2 0 R /Encrypt 6 0 R /ID [<" + Hex(id) +
                               "> <" + Hex(id) + ">]");
        const DocumentInfo info = Read(dir.Write("short.pdf", pdf.Bytes()));
        const EncryptionFacts& e = info.encryption;
        EXPECT_EQ(std::tie(e.version, e.revision, e.keyLengthBits), std::tie(c.v, c.r, c.keyLength))
            << c.name;
        EXPECT_EQ(Result(info), 0) << c.name;
        EXPECT_EQ(info.pageCount, 1) << c.name;
        EXPECT_EQ(info.title, "Report") << c.name;
    }
}

// Files that LaTeX and qpdf wrote (tools/make_text_fixtures.sh), one for each string form:
// UTF-16 with Japanese, Chinese, Korean and emoji; PDFDocEncoding; raw EUC-JP, JIS and
// Shift-JIS; and properties kept only in XMP.
TEST(ReadPdfInfo, TextFixturesInEveryStringForm) {
    struct Case {
        const char* file;
        std::array<std::string, 4> unicode; // title, author, subject, keywords
    };
    const Case cases[] = {
        {"ja-lualatex.pdf", {"日本語の報告書", "山田 太郎", "月次報告", "売上; 予算"}},
        {"cjk-emoji-lualatex.pdf",
         {"简体中文文档", "한국어 작성자", "Emoji 😀 🎉", "繁體中文; 한글"}},
        {"latin-pdfdoc-pdflatex.pdf",
         {"Café Müller — Niño © ® ™", "José Núñez", "Straße – naïve", "crème brûlée"}},
        {"raw-bytes-qpdf.pdf",
         {"日本語のタイトル", "山田 太郎", "月次報告（テスト）", "Niño © —–™˘ˇ"}},
        {"xmp-only-qpdf.pdf", {"XMPだけの文書 Café", "Jane Roe; 山田 太郎", "Only XMP 😀", ""}},
    };
    for (const Case& c : cases) {
        const DocumentInfo info = Read(kData + "/text/" + c.file);
        const std::array<std::string, 4> unicode = {info.title, info.author, info.subject,
                                                    info.keywords};
        EXPECT_EQ(unicode, c.unicode) << c.file;
        EXPECT_EQ(info.creator, "LaTeX with hyperref") << c.file;
    }
}

// Real writers' quirks, in files their tools made (tools/make_mend_fixtures.sh).
TEST(ReadPdfInfo, RealWritersQuirksAreMended) {
    struct Case {
        const char* file;
        const char* password;
        const char* version;
        const char* title; // "" when the strings are withheld
        const char* producer;
        PasswordOutcome outcome;
        const char* method;
        const char* created;
    } cases[] = {
        {"junk-byte-order-mark.pdf", "", "1.4", "Mend fixture", "GPL Ghostscript 10.00.0",
         PasswordOutcome::NotNeeded, "", "2024/01/02 03:04:05"},
        {"junk-job-ticket.pdf", "", "1.4", "Mend fixture", "GPL Ghostscript 10.00.0",
         PasswordOutcome::NotNeeded, "", "2024/01/02 03:04:05"},
        {"header-nul.pdf", "", "1.2", "Mend fixture", "GPL Ghostscript 10.00.0",
         PasswordOutcome::NotNeeded, "", "2024/01/02 03:04:05"},
        {"date-year-0000.pdf", "", "1.4", "Mend fixture", "GPL Ghostscript 10.00.0",
         PasswordOutcome::NotNeeded, "", "0000/01/01 00:00:00"},
        {"producer-bad-hex.pdf", "", "1.4", "Mend fixture", "", PasswordOutcome::NotNeeded, "",
         "2024/01/02 03:04:05"},
        {"linearized-damaged.pdf", "", "1.4", "Mend fixture", "GPL Ghostscript 10.00.0",
         PasswordOutcome::NotNeeded, "", "2024/01/02 03:04:05"},
        {"password-one-blank.pdf", " ", "1.6", "Mend fixture", "GPL Ghostscript 10.00.0",
         PasswordOutcome::User, "AESV2", "2024/01/02 03:04:05"},
        {"password-one-blank.pdf", "", "1.6", "", "", PasswordOutcome::Refused, "AESV2", "absent"},
        {"password-four-blanks.pdf", "    ", "1.4", "Mend fixture", "GPL Ghostscript 10.00.0",
         PasswordOutcome::User, "RC4", "2024/01/02 03:04:05"},
        {"password-four-blanks.pdf", "  ", "1.4", "", "", PasswordOutcome::Refused, "RC4",
         "absent"},
        {"crypt-filter-unknown.pdf", "user", "1.6", "", "", PasswordOutcome::Refused, "", "absent"},
        {"crypt-filter-missing.pdf", "owner", "1.6", "", "", PasswordOutcome::Refused, "",
         "absent"},
    };
    for (const Case& c : cases) {
        const std::string what = std::string(c.file) + " with \"" + c.password + "\"";
        const DocumentInfo info = Read(kData + "/mends/" + c.file, c.password);
        ASSERT_FALSE(HasFailure()) << what;
        EXPECT_EQ(info.pdfVersion, c.version) << what;
        EXPECT_EQ(info.pageCount, 4) << what;
        EXPECT_EQ(info.title, c.title) << what;
        EXPECT_EQ(info.producer, c.producer) << what;
        EXPECT_EQ(info.author, *c.title ? "Pagewick fixtures" : "") << what;
        EXPECT_EQ(info.encryption.password, c.outcome) << what;
        EXPECT_EQ(info.encryption.method, c.method) << what;
        EXPECT_EQ(DateText(info.creationDate), c.created) << what;
    }
}

// Where the catalog itself is encrypted, a password that does not open the file leaves nothing
// to list: that is the failure, not a row of zeros.
TEST(ReadPdfInfo, AnEncryptedStructureNeedsThePassword) {
    const std::string path = kData + "/mends/structure-encrypted.pdf";
    for (const char* password : {"", "wrong", " user"}) {
        try {
            Read(path, password);
            ADD_FAILURE() << "no failure with \"" << password << "\"";
        } catch (const EPagewickError& e) {
            EXPECT_EQ(e.Kind(), ErrorKind::WrongPassword) << password;
        }
    }
    for (const char* password : {"user", "owner"}) {
        const DocumentInfo info = Read(path, password);
        EXPECT_EQ(info.pageCount, 4) << password;
        EXPECT_EQ(info.title, "Mend fixture") << password;
    }
}
