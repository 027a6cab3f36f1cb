// SPDX-License-Identifier: GPL-3.0-or-later
// Hostile inputs for ReadPdfInfo: damaged structure, absurd numbers, huge and sparse files,
// and names that are no regular file. Each must give a record or one reader error
// (EPagewickError), never another exception or a crash. Every case writes a real file.
// tests/hostile/measure.sh runs each case on its own and reports its time and peak memory.

#include "common/errors.h"
#include "pdf/pdfinfo.h"
#include "support/modernpdf.h"
#include "support/pdfbuilder.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <grp.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <typeinfo>
#include <unistd.h>

namespace {

enum class Outcome { Record, Reset, OpenError, ListError, FormatError };

const char* OutcomeName(Outcome o) {
    switch (o) {
    case Outcome::Record:
        return "a record";
    case Outcome::Reset:
        return "the reset record";
    case Outcome::OpenError:
        return "EFOpenError";
    case Outcome::ListError:
        return "EListError";
    case Outcome::FormatError:
        return "EPdfFormatError";
    }
    return "?";
}

struct Result {
    Outcome outcome = Outcome::Record;
    TpdfInfomation info;
    std::string error; // what was raised, when it was not a reader error
};

Result Read(const std::string& path, const std::string& password = "") {
    Result r;
    try {
        ReadPdfInfo(path, password, r.info);
        r.outcome = r.info.FileSize == 0 && r.info.Version.empty() && r.info.KeyLength == 40
                        ? Outcome::Reset
                        : Outcome::Record;
    } catch (const EFOpenError&) {
        r.outcome = Outcome::OpenError;
    } catch (const EListError&) {
        r.outcome = Outcome::ListError;
    } catch (const EPdfFormatError&) {
        r.outcome = Outcome::FormatError;
    } catch (const EPagewickError& e) {
        r.error = std::string("another reader error: ") + e.what();
    } catch (const std::exception& e) {
        r.error = std::string(typeid(e).name()) + ": " + e.what();
    } catch (...) {
        r.error = "an exception of unknown type";
    }
    return r;
}

// A file of size bytes that holds only the given pieces at their offsets; the rest is a
// hole that costs no disk space.
std::string SparseFile(const std::string& path, int64_t size,
                       const std::vector<std::pair<int64_t, std::string>>& pieces) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0 || ::ftruncate(fd, off_t(size)) != 0)
        throw std::runtime_error("cannot make " + path);
    for (const auto& [offset, bytes] : pieces)
        if (::pwrite(fd, bytes.data(), bytes.size(), off_t(offset)) != ssize_t(bytes.size()))
            throw std::runtime_error("cannot write " + path);
    ::close(fd);
    return path;
}

// head, then count copies of fill, then tail, written in pieces so that the test itself holds
// no large buffer and the memory measured is the reader's.
std::string Streamed(const std::string& path, const std::string& head, char fill, size_t count,
                     const std::string& tail) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const std::string chunk(size_t(1) << 20, fill);
    bool ok = fd >= 0 && ::write(fd, head.data(), head.size()) == ssize_t(head.size());
    for (size_t left = count; ok && left > 0;) {
        const size_t n = std::min(left, chunk.size());
        ok = ::write(fd, chunk.data(), n) == ssize_t(n);
        left -= n;
    }
    ok = ok && ::write(fd, tail.data(), tail.size()) == ssize_t(tail.size());
    if (fd >= 0)
        ::close(fd);
    if (!ok)
        throw std::runtime_error("cannot write " + path);
    return path;
}

const char* const kInfo = "<< /Title (Report) /Author (Ann) >>";

// Catalog 1, information dictionary 2, page tree 3 with count, and one section.
PdfBuilder Plain(const std::string& trailer, const std::string& count = "12") {
    PdfBuilder pdf;
    pdf.Object(1, "<< /Type /Catalog /Pages 3 0 R >>")
        .Object(2, kInfo)
        .Object(3, "<< /Type /Pages /Kids [] /Count " + count + " >>");
    pdf.FullSection(trailer);
    return pdf;
}

// A plain file whose startxref line names value instead of its section.
std::string WithStartxref(const TempDir& dir, const std::string& value) {
    std::string bytes = Plain("/Size 4 /Root 1 0 R /Info 2 0 R").Bytes();
    const size_t at = bytes.rfind("startxref\n") + 10;
    bytes.replace(at, bytes.find('\n', at) - at, value);
    return dir.Write("s.pdf", bytes);
}

// Two sections whose /Prev entries name each other, or one that names itself. The /Prev of
// the older section is written as ten digits first and filled in once the offset is known, so
// that nothing moves.
std::string PrevLoop(const TempDir& dir, bool self) {
    const std::string placeholder = "/Prev 0000000000";
    PdfBuilder pdf;
    pdf.Object(1, "<< /Type /Catalog /Pages 3 0 R >>").Object(2, kInfo);
    pdf.Object(3, "<< /Type /Pages /Count 2 >>");
    pdf.FullSection("/Size 4 /Root 1 0 R /Info 2 0 R " + placeholder);
    if (!self) {
        pdf.Object(4, "<< /Title (Update) /Author (Ann) >>");
        pdf.UpdateSection("/Size 5 /Root 1 0 R /Info 4 0 R");
    }
    std::string bytes = pdf.Bytes();
    char target[16];
    std::snprintf(target, sizeof target, "%010lld",
                  static_cast<long long>(pdf.LastSectionOffset()));
    bytes.replace(bytes.find(placeholder) + 6, 10, target);
    return dir.Write("loop.pdf", bytes);
}

struct HostileCase {
    const char* name;
    std::function<std::string(const TempDir&)> make; // writes the input, returns its path
    Outcome expected;
    std::function<void(const TpdfInfomation&)> check; // for a record, when there is more to say
};

void TitleRead(const TpdfInfomation& info) {
    EXPECT_EQ(info.Title, "Report");
    EXPECT_EQ(info.Author, "Ann");
}

const HostileCase kCases[] = {
    // A startxref that leads nowhere: the table is rebuilt from the objects in the file.
    {"StartxrefBeyondTheFile", [](const TempDir& d) { return WithStartxref(d, "999999999"); },
     Outcome::Record,
     [](const TpdfInfomation& info) {
         EXPECT_EQ(info.Version, "%PDF-1.4");
         TitleRead(info);
         EXPECT_EQ(info.PageCount, 12);
     }},
    {"StartxrefNegative", [](const TempDir& d) { return WithStartxref(d, "-5"); }, Outcome::Record,
     TitleRead},
    {"StartxrefBeyond64Bits",
     [](const TempDir& d) { return WithStartxref(d, "99999999999999999999999"); }, Outcome::Record,
     nullptr},
    // A reference to an object the table lacks is null; a missing /Root is looked for.
    {"InfoNegativeObject",
     [](const TempDir& d) {
         return Plain("/Size 4 /Root 1 0 R /Info -5 0 R").WriteTo(d.File("a.pdf"));
     },
     Outcome::Record, nullptr},
    {"RootBeyond32Bits",
     [](const TempDir& d) {
         return Plain("/Size 4 /Info 2 0 R /Root 99999999999 0 R").WriteTo(d.File("a.pdf"));
     },
     Outcome::Record, nullptr},
    {"RootLargestInt32",
     [](const TempDir& d) {
         return Plain("/Size 4 /Info 2 0 R /Root 2147483647 0 R").WriteTo(d.File("a.pdf"));
     },
     Outcome::Record, nullptr},
    {"InfoLargestInt32",
     [](const TempDir& d) {
         return Plain("/Size 4 /Root 1 0 R /Info 2147483647 0 R").WriteTo(d.File("a.pdf"));
     },
     Outcome::Record, nullptr},
    {"PrevLoopOfTwoSections", [](const TempDir& d) { return PrevLoop(d, false); }, Outcome::Record,
     [](const TpdfInfomation& info) {
         EXPECT_EQ(info.Title, "Update");
         EXPECT_EQ(info.PageCount, 2);
     }},
    {"PrevNamesItsOwnSection", [](const TempDir& d) { return PrevLoop(d, true); }, Outcome::Record,
     TitleRead},
    {"CountOf2To31",
     [](const TempDir& d) {
         return Plain("/Size 4 /Root 1 0 R /Info 2 0 R", "2147483648").WriteTo(d.File("a.pdf"));
     },
     Outcome::Record, [](const TpdfInfomation& info) { EXPECT_EQ(info.PageCount, 0); }},
    {"CatalogRepeatingPagesOnEveryLine",
     [](const TempDir& d) {
         // Each line names the page tree again, and the tree's object never ends: followed
         // once a line, this took minutes.
         std::string catalog = "<< /Type /Catalog\n";
         for (int i = 0; i < 4000; ++i)
             catalog += "/Pages 3 0 R\n";
         PdfBuilder pdf;
         pdf.Object(1, catalog + ">>").Object(2, kInfo);
         pdf.Object(3, "<< /Type /Pages /Count 7 >>\n" + std::string(size_t(600) << 10, 'x'));
         pdf.FullSection("/Size 4 /Root 1 0 R /Info 2 0 R");
         std::string bytes = pdf.Bytes();
         bytes.replace(bytes.rfind("endobj", bytes.find("xref")), 6, "      "); // the tree's end
         return d.Write("a.pdf", bytes);
     },
     Outcome::Record, [](const TpdfInfomation& info) { EXPECT_EQ(info.PageCount, 7); }},
    {"CountLargestInt32",
     [](const TempDir& d) {
         return Plain("/Size 4 /Root 1 0 R /Info 2 0 R", "2147483647").WriteTo(d.File("a.pdf"));
     },
     Outcome::Record, [](const TpdfInfomation& info) { EXPECT_EQ(info.PageCount, 2147483647); }},
    {"EncryptionLengthMinusOne",
     [](const TempDir& d) {
         PdfBuilder pdf;
         pdf.Object(1, "<< /Type /Catalog /Pages 3 0 R >>").Object(2, kInfo);
         pdf.Object(3, "<< /Type /Pages /Count 1 >>");
         pdf.Object(4, "<< /Filter /Standard /V 1 /R 2 /Length -1 /P -4 /O <" +
                           std::string(64, 'a') + "> /U <" + std::string(64, 'b') + "> >>");
         pdf.FullSection("/Size 5 /Root 1 0 R /Info 2 0 R /Encrypt 4 0 R /ID [<00><00>]");
         return pdf.WriteTo(d.File("a.pdf"));
     },
     Outcome::Record,
     [](const TpdfInfomation& info) {
         // Revision 2 keys are 40 bits whatever /Length says.
         EXPECT_EQ(info.KeyLength, 40);
         EXPECT_TRUE(info.Encrypted);
         EXPECT_EQ(info.PasswordResult, -1);
         EXPECT_EQ(info.Title, "");
     }},
    {"LengthMinusOneByReference",
     [](const TempDir& d) {
         PdfBuilder pdf;
         pdf.Object(1, "<< /Type /Catalog /Pages 3 0 R >>").Object(2, kInfo);
         pdf.Object(3, "<< /Type /Pages /Count 1 /Length 5 0 R >>");
         pdf.Object(4, "<< /Filter /Standard /V 1 /R 2 /Length 5 0 R /P -4 >>");
         pdf.Object(5, "-1");
         pdf.FullSection("/Size 6 /Root 1 0 R /Info 2 0 R /Encrypt 4 0 R");
         return pdf.WriteTo(d.File("a.pdf"));
     },
     Outcome::Record, [](const TpdfInfomation& info) { EXPECT_EQ(info.KeyLength, 40); }},
    {"TrailerWithoutRoot",
     [](const TempDir& d) { return Plain("/Size 4 /Info 2 0 R").WriteTo(d.File("a.pdf")); },
     Outcome::Record,
     [](const TpdfInfomation& info) {
         TitleRead(info);
         EXPECT_EQ(info.PageCount, 12); // the catalog found by a scan
     }},
    {"HundredMiBWithoutLineBreak",
     [](const TempDir& d) {
         return SparseFile(d.File("flat.pdf"), int64_t(100) << 20, {{0, "%PDF-1.4 "}});
     },
     Outcome::ListError, nullptr},
    {"FolderNamedPdf",
     [](const TempDir& d) {
         ::mkdir(d.File("x.pdf").c_str(), 0755);
         return d.File("x.pdf");
     },
     Outcome::Reset, nullptr},
    {"FifoNamedPdf",
     [](const TempDir& d) {
         ::mkfifo(d.File("y.pdf").c_str(), 0644);
         return d.File("y.pdf");
     },
     Outcome::OpenError, nullptr},
    {"DeviceBehindPdfName",
     [](const TempDir& d) {
         ::symlink("/dev/zero", d.File("z.pdf").c_str());
         return d.File("z.pdf");
     },
     Outcome::OpenError, nullptr},
    {"SymbolicLinkLoop",
     [](const TempDir& d) {
         ::symlink("loop.pdf", d.File("loop.pdf").c_str());
         return d.File("loop.pdf");
     },
     Outcome::Reset, nullptr},
    {"VanishesAfterListing",
     [](const TempDir& d) {
         Plain("/Size 4 /Root 1 0 R /Info 2 0 R").WriteTo(d.File("gone.pdf"));
         std::string listed;
         if (DIR* folder = ::opendir(d.Path().c_str())) {
             while (const dirent* e = ::readdir(folder))
                 if (std::string(e->d_name) == "gone.pdf")
                     listed = d.File(e->d_name);
             ::closedir(folder);
         }
         ::unlink(listed.c_str());
         return listed;
     },
     Outcome::Reset, nullptr},
    {"SubsectionAtLargestObjectNumber",
     [](const TempDir& d) {
         std::string bytes = Plain("/Size 4 /Root 1 0 R /Info 2 0 R").Bytes();
         const size_t at = bytes.rfind("xref\n0 4\n") + 5;
         bytes.replace(at, 3, "9223372036854775807 4");
         return d.Write("a.pdf", bytes);
     },
     Outcome::Record, TitleRead}, // beyond 32 bits the header is damaged: numbered from 0
    {"SubsectionEndingPastLargestObjectNumber",
     [](const TempDir& d) {
         std::string bytes = Plain("/Size 4 /Root 1 0 R /Info 2 0 R").Bytes();
         const size_t at = bytes.rfind("xref\n0 4\n") + 5;
         bytes.replace(at, 3, "2147483646 4");
         return d.Write("a.pdf", bytes);
     },
     Outcome::Record, nullptr},
    {"SubsectionOfNegativeCount",
     [](const TempDir& d) {
         std::string bytes = Plain("/Size 4 /Root 1 0 R /Info 2 0 R").Bytes();
         const size_t at = bytes.rfind("xref\n0 4\n") + 5;
         bytes.replace(at, 3, "0 -2147483648");
         return d.Write("a.pdf", bytes);
     },
     Outcome::Record, TitleRead}, // a damaged header: entries numbered from 0
    {"SectionOfTwentyMiBLineBreaks",
     [](const TempDir& d) {
         // A section that never reaches its trailer: every byte a line of its own.
         return Streamed(d.File("breaks.pdf"), "%PDF-1.4\n", '\n', size_t(20) << 20,
                         "startxref\n9\n%%EOF\n");
     },
     Outcome::Record, [](const TpdfInfomation& info) { EXPECT_EQ(info.Title, ""); }},
    {"TrailerOfTwentyMiBLineBreaks",
     [](const TempDir& d) {
         const std::string head = "%PDF-1.4\n1 0 obj\n" + std::string(kInfo) +
                                  "\nendobj\nxref\n0 2\n0000000000 65535 f\r\n"
                                  "0000000009 00000 n\r\ntrailer\n<< /Info 1 0 R";
         return Streamed(d.File("trailer.pdf"), head, '\n', size_t(20) << 20,
                         ">>\nstartxref\n" + std::to_string(head.find("xref")) + "\n%%EOF\n");
     },
     Outcome::Record, TitleRead},
    {"InformationDictionaryWithoutEnd",
     [](const TempDir& d) {
         const std::string head = "%PDF-1.4\n1 0 obj\n<< /Title (Report) /Author (Ann) ";
         const std::string tail = "\nxref\n0 2\n0000000000 65535 f\r\n0000000009 00000 n\r\n"
                                  "trailer\n<< /Size 2 /Info 1 0 R >>\nstartxref\n";
         const size_t fill = size_t(20) << 20;
         return Streamed(d.File("open.pdf"), head, 'a', fill,
                         tail + std::to_string(head.size() + fill + 1) + "\n%%EOF\n");
     },
     Outcome::Record, TitleRead},
    {"ThreeThousandSectionChain",
     [](const TempDir& d) {
         PdfBuilder pdf;
         pdf.Object(1, "<< /Type /Catalog /Pages 3 0 R >>").Object(2, kInfo);
         pdf.Object(3, "<< /Type /Pages /Count 5 >>");
         pdf.FullSection("/Size 4 /Root 1 0 R");
         for (int i = 0; i < 3000; ++i) {
             pdf.Object(4, "<< /Title (Update " + std::to_string(i) + ") >>");
             pdf.UpdateSection("/Size 5 /Root 1 0 R /Info 4 0 R");
         }
         return pdf.WriteTo(d.File("chain.pdf"));
     },
     Outcome::Record,
     [](const TpdfInfomation& info) {
         EXPECT_EQ(info.Title, "Update 2999");
         EXPECT_EQ(info.PageCount, 5);
     }},
    {"FiftyThousandTinySections",
     [](const TempDir& d) {
         // Each section holds one free entry and names the one before it: the entries of the
         // whole chain are gathered in linear time.
         std::string bytes = "%PDF-1.4\n";
         const size_t catalog = bytes.size();
         bytes += "1 0 obj\n<< /Type /Catalog /Pages 2 0 R >>\nendobj\n";
         const size_t pages = bytes.size();
         bytes += "2 0 obj\n<< /Type /Pages /Count 4 >>\nendobj\n";
         char entries[64];
         std::snprintf(entries, sizeof entries, "%010zu 00000 n\r\n%010zu 00000 n\r\n", catalog,
                       pages);
         int64_t previous = int64_t(bytes.size());
         bytes += "xref\n0 3\n0000000000 65535 f\r\n" + std::string(entries) +
                  "trailer\n<< /Size 3 /Root 1 0 R >>\n";
         for (int i = 0; i < 50000; ++i) {
             const int64_t at = int64_t(bytes.size());
             bytes += "xref\n0 1\n0000000000 65535 f\r\ntrailer\n<< /Root 1 0 R /Prev " +
                      std::to_string(previous) + " >>\n";
             previous = at;
         }
         bytes += "startxref\n" + std::to_string(previous) + "\n%%EOF\n";
         return d.Write("tiny.pdf", bytes);
     },
     Outcome::Record, [](const TpdfInfomation& info) { EXPECT_EQ(info.PageCount, 4); }},
    {"EveryPieceNamesOneLargeObject",
     [](const TempDir& d) {
         // Thousands of pieces of the information dictionary name one large string object: it
         // is read and decoded once, not once a piece.
         std::string pieces;
         for (int i = 0; i < 5000; ++i)
             pieces += "/Title 3 0 R()";
         PdfBuilder pdf;
         pdf.Object(1, "<< /Type /Catalog /Pages 4 0 R >>").Object(2, "<< " + pieces + " >>");
         pdf.Object(3, "(" + std::string(100000, 'a') + ")")
             .Object(4, "<< /Type /Pages /Count 2 >>");
         pdf.FullSection("/Size 5 /Root 1 0 R /Info 2 0 R");
         return pdf.WriteTo(d.File("large.pdf"));
     },
     Outcome::Record,
     [](const TpdfInfomation& info) {
         EXPECT_EQ(info.Title, std::string(100000, 'a'));
         EXPECT_EQ(info.PageCount, 2);
     }},
    {"ZipBombObjectStream",
     [](const TempDir& d) {
         // An object stream that inflates to 70 MiB of blanks: the output stops at its bound.
         std::string header = "2 0 ";
         std::string body = std::string(kInfo);
         std::string plain = header + body + std::string(size_t(70) << 20, ' ');
         const std::string packed = Deflate(plain);
         plain = std::string();
         ModernPdf pdf;
         pdf.Object(1, "<< /Type /Catalog /Pages 3 0 R >>").Object(3, "<< /Count 2 >>");
         pdf.Object(5, "<< /Type /ObjStm /N 1 /First 4 /Filter /FlateDecode /Length " +
                           std::to_string(packed.size()) + " >>\nstream\n" + packed +
                           "\nendstream");
         pdf.Raw("");
         std::string bytes = pdf.Bytes();
         // Object 2 inside stream 5, by a plain cross-reference stream written by hand.
         const int64_t at = int64_t(bytes.size());
         auto row = [](int type, int64_t a, int b) {
             std::string r(1, char(type));
             for (int k = 3; k >= 0; --k)
                 r += char((a >> (8 * k)) & 0xFF);
             r += char(b >> 8);
             r += char(b & 0xFF);
             return r;
         };
         const int64_t o1 = int64_t(bytes.find("1 0 obj")), o3 = int64_t(bytes.find("3 0 obj")),
                       o5 = int64_t(bytes.find("5 0 obj"));
         const std::string rows = row(0, 0, 0) + row(1, o1, 0) + row(2, 5, 0) + row(1, o3, 0) +
                                  row(0, 0, 0) + row(1, o5, 0) + row(1, at, 0);
         bytes += "6 0 obj\n<< /Type /XRef /W [1 4 2] /Size 7 /Root 1 0 R /Info 2 0 R /Length " +
                  std::to_string(rows.size()) + " >>\nstream\n" + rows +
                  "\nendstream\nendobj\nstartxref\n" + std::to_string(at) + "\n%%EOF\n";
         return d.Write("bomb.pdf", bytes);
     },
     Outcome::Record,
     [](const TpdfInfomation& info) {
         TitleRead(info);
         EXPECT_EQ(info.PageCount, 2);
     }},
    {"ObjectStreamThatNamesItself",
     [](const TempDir& d) {
         ModernPdf pdf;
         pdf.Object(1, "<< /Type /Catalog /Pages 3 0 R >>");
         pdf.ObjectStream(5, {{5, "<< /Type /Pages /Count 3 >>"}, {3, "5 0 R"}}, true,
                          "/Extends 5 0 R");
         pdf.XrefStream(6, "/Size 7 /Root 1 0 R");
         return d.Write("self.pdf", pdf.Bytes());
     },
     Outcome::Record, nullptr},
    {"PrevLoopThroughAStream",
     [](const TempDir& d) {
         ModernPdf pdf;
         pdf.Object(1, "<< /Type /Catalog /Pages 3 0 R >>").Object(2, kInfo);
         pdf.Object(3, "<< /Type /Pages /Count 2 >>");
         pdf.XrefStream(4, "/Size 5 /Root 1 0 R /Info 2 0 R");
         pdf.XrefStream(5, "/Size 6 /Root 1 0 R /Info 2 0 R /Prev 0000000000",
                        ModernPdf::Rows::Plain, true);
         std::string bytes = pdf.Bytes();
         // The newer stream's own /Prev (the second one, which the reader takes) names it.
         const size_t newest = size_t(pdf.LastSection());
         std::string self = std::to_string(newest);
         self.insert(0, 10 - self.size(), '0');
         bytes.replace(bytes.find("/Prev 0000000000", newest) + 6, 10, self);
         return d.Write("loop.pdf", bytes);
     },
     Outcome::Record, TitleRead},
    {"XrefStreamWithFieldsWiderThan64Bits",
     [](const TempDir& d) {
         ModernPdf pdf;
         pdf.Object(1, "<< /Type /Catalog /Pages 3 0 R >>").Object(2, kInfo);
         pdf.Object(3, "<< /Type /Pages /Count 2 >>");
         pdf.XrefStream(4, "/Size 5 /Root 1 0 R /Info 2 0 R", ModernPdf::Rows::Plain);
         std::string bytes = pdf.Bytes();
         bytes.replace(bytes.find("/W [1 4 2]"), 10, "/W [9 9 9]");
         return d.Write("w.pdf", bytes);
     },
     Outcome::Record, TitleRead}, // recovered from the objects themselves
    {"PredictorWithNoColumns",
     [](const TempDir& d) {
         ModernPdf pdf;
         pdf.Object(1, "<< /Type /Catalog /Pages 3 0 R >>").Object(2, kInfo);
         pdf.Object(3, "<< /Type /Pages /Count 2 >>");
         pdf.XrefStream(4, "/Size 5 /Root 1 0 R /Info 2 0 R");
         std::string bytes = pdf.Bytes();
         bytes.replace(bytes.find("/Columns 7"), 10, "/Columns 0");
         return d.Write("c.pdf", bytes);
     },
     Outcome::Record, TitleRead},
    {"RecoveryScanOverHundredMiBWithoutObj",
     [](const TempDir& d) {
         return Streamed(d.File("scan.pdf"), "%PDF-1.4\n", 'x', size_t(100) << 20,
                         "\nstartxref\n5\n%%EOF\n");
     },
     Outcome::Record, [](const TpdfInfomation& info) { EXPECT_EQ(info.Title, ""); }},
    {"ValidTailBeyond2GiB",
     [](const TempDir& d) {
         // The objects, the section and the trailer lie past 2 GiB; the offsets need 10 digits.
         const int64_t base = (int64_t(1) << 31) + 4096;
         const std::string info = "2 0 obj\n" + std::string(kInfo) + "\nendobj\n";
         const std::string pages = "3 0 obj\n<< /Type /Pages /Count 7 >>\nendobj\n";
         const std::string catalog = "1 0 obj\n<< /Type /Catalog /Pages 3 0 R >>\nendobj\n";
         const int64_t at1 = base, at2 = at1 + int64_t(catalog.size()),
                       at3 = at2 + int64_t(info.size()), xref = at3 + int64_t(pages.size());
         char entries[128];
         std::snprintf(
             entries, sizeof entries, "%010lld 00000 n\r\n%010lld 00000 n\r\n%010lld 00000 n\r\n",
             static_cast<long long>(at1), static_cast<long long>(at2), static_cast<long long>(at3));
         const std::string tail = catalog + info + pages + "xref\n0 4\n0000000000 65535 f\r\n" +
                                  entries +
                                  "trailer\n<< /Size 4 /Root 1 0 R /Info 2 0 R >>\nstartxref\n" +
                                  std::to_string(xref) + "\n%%EOF\n";
         return SparseFile(d.File("big.pdf"), base + int64_t(tail.size()),
                           {{0, "%PDF-1.4\n"}, {base, tail}});
     },
     Outcome::Record,
     [](const TpdfInfomation& info) {
         EXPECT_GT(info.FileSize, int64_t(1) << 31);
         TitleRead(info);
         EXPECT_EQ(info.PageCount, 7);
     }},
};

void PrintTo(const HostileCase& c, std::ostream* os) {
    *os << c.name;
}

class Hostile : public ::testing::TestWithParam<HostileCase> {};

TEST_P(Hostile, GivesARecordOrOneReaderError) {
    const HostileCase& c = GetParam();
    TempDir dir;
    const std::string path = c.make(dir);
    const Result r = Read(path);
    ASSERT_EQ(r.error, "");
    ASSERT_EQ(OutcomeName(r.outcome), std::string(OutcomeName(c.expected)));
    if (c.check)
        c.check(r.info);
}

// The tests run as root, who may read any file; the read is then made by a child that has
// given up its privileges for those of the user nobody.
TEST(HostileFile, WithoutReadPermission) {
    TempDir dir;
    ::chmod(dir.Path().c_str(), 0711); // nobody may pass through, not list
    const std::string path = Plain("/Size 4 /Root 1 0 R /Info 2 0 R").WriteTo(dir.File("l.pdf"));
    ::chmod(path.c_str(), 0);
    if (::geteuid() != 0) {
        const Result r = Read(path);
        ASSERT_EQ(r.error, "");
        EXPECT_EQ(OutcomeName(r.outcome), std::string(OutcomeName(Outcome::OpenError)));
        return;
    }
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        constexpr uid_t kNobody = 65534;
        if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)
            ::_exit(77);
        const Result r = Read(path);
        ::_exit(r.error.empty() ? int(r.outcome) : 100);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 77)
        GTEST_SKIP() << "running as root and unable to drop privileges to test a denied read";
    ASSERT_NE(WEXITSTATUS(status), 100) << "an exception other than a reader error";
    EXPECT_EQ(OutcomeName(Outcome(WEXITSTATUS(status))),
              std::string(OutcomeName(Outcome::OpenError)));
}

INSTANTIATE_TEST_SUITE_P(Inputs, Hostile, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
