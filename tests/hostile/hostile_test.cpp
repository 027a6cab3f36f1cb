// SPDX-License-Identifier: GPL-3.0-or-later
// Hostile inputs for ReadPdfInfo: damaged structure, absurd numbers, files made to cost memory
// or time, and names that are no regular file. Each must give a record or one named failure,
// never another exception, a crash or a hang. Every case writes its input here (nothing large
// is committed) and is read by a child process held to 256 MiB of address space (as
// `prlimit --as` holds it) with a processor-time guard against hangs; the child's processor
// time and peak memory are printed, and tests/hostile/measure.sh tabulates them.

#include "common/errors.h"
#include "pdf/documentreader.h"
#include "support/modernpdf.h"
#include "support/pdfbuilder.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <grp.h>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

namespace {

// The reader's budget per file, which every case must keep to.
constexpr rlim_t kAddressSpace = rlim_t(256) << 20;
// Far above the two seconds a case may take: only a hang reaches it.
constexpr rlim_t kProcessorSeconds = 20;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true; // the sanitizer's shadow memory needs far more address space
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

// What a read gave: "record" and the fields the cases look at, or the failure's kind.
struct Result {
    std::string outcome;
    std::string version, title, author;
    int64_t pages = 0;
    int64_t keyLength = 0;
    bool encrypted = false;
    int password = 0;
};

std::string Serialise(const Result& r) {
    std::ostringstream out;
    out << r.outcome << '\n'
        << r.version << '\n'
        << r.title.size() << ' ' << r.title << '\n'
        << r.author << '\n'
        << r.pages << ' ' << r.keyLength << ' ' << r.encrypted << ' ' << r.password << '\n';
    return out.str();
}

Result Deserialise(const std::string& text) {
    std::istringstream in(text);
    Result r;
    std::getline(in, r.outcome);
    std::getline(in, r.version);
    size_t titleSize = 0;
    in >> titleSize;
    in.get();
    r.title.resize(titleSize);
    in.read(r.title.data(), std::streamsize(titleSize));
    in.get();
    std::getline(in, r.author);
    in >> r.pages >> r.keyLength >> r.encrypted >> r.password;
    return r;
}

Result ReadHere(const std::string& path, const std::string& password) {
    Result r;
    try {
        const DocumentInfo info = ReadPdfInfo(path, {password});
        r.outcome = "record";
        r.version = info.pdfVersion;
        r.title = info.title;
        r.author = info.author;
        r.pages = info.pageCount;
        r.keyLength = info.encryption.keyLengthBits;
        r.encrypted = info.encryption.encrypted;
        r.password = int(info.encryption.password);
    } catch (const EPagewickError& e) {
        r.outcome = ErrorKindName(e.Kind());
    } catch (const std::exception& e) {
        r.outcome = std::string("an exception that is no reader error: ") + e.what();
    }
    return r;
}

// Reads path in a child held to the budget; prints its processor time and peak memory.
// uid, when not 0, is the user the child reads as.
Result Read(const std::string& path, const std::string& password = "", uid_t uid = 0) {
    int pipeEnds[2];
    if (::pipe(pipeEnds) != 0)
        return {"no pipe"};
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeEnds[0]);
        if (uid != 0 && (::setgroups(0, nullptr) != 0 || ::setgid(uid) != 0 || ::setuid(uid) != 0))
            ::_exit(77);
        const rlimit cpu{kProcessorSeconds, kProcessorSeconds};
        ::setrlimit(RLIMIT_CPU, &cpu);
        if (!kSanitized) {
            const rlimit space{kAddressSpace, kAddressSpace};
            ::setrlimit(RLIMIT_AS, &space);
        }
        const std::string text = Serialise(ReadHere(path, password));
        const bool written = ::write(pipeEnds[1], text.data(), text.size()) == ssize_t(text.size());
        ::_exit(written ? 0 : 1);
    }
    ::close(pipeEnds[1]);
    std::string text;
    char buffer[4096];
    for (ssize_t n; (n = ::read(pipeEnds[0], buffer, sizeof buffer)) > 0;)
        text.append(buffer, size_t(n));
    ::close(pipeEnds[0]);
    int status = 0;
    rusage usage{};
    if (child < 0 || ::wait4(child, &status, 0, &usage) != child)
        return {"no child"};
    if (WIFSIGNALED(status))
        return {"killed by signal " + std::to_string(WTERMSIG(status))};
    if (WIFEXITED(status) && WEXITSTATUS(status) == 77)
        return {"could not drop privileges"};
    const double seconds = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    std::printf("[ reader   ] processor %.3f s, peak resident %ld MiB\n", seconds,
                usage.ru_maxrss / 1024);
    return Deserialise(text);
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

// Writes a file piece by piece, so that the test holds no large buffer.
class FileWriter {
public:
    explicit FileWriter(const std::string& path)
        : path_(path), fd_(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644)) {
        if (fd_ < 0)
            throw std::runtime_error("cannot make " + path);
    }
    ~FileWriter() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    FileWriter& operator<<(std::string_view bytes) {
        if (::write(fd_, bytes.data(), bytes.size()) != ssize_t(bytes.size()))
            throw std::runtime_error("cannot write " + path_);
        offset_ += int64_t(bytes.size());
        return *this;
    }
    FileWriter& Repeat(char c, size_t count) {
        const std::string chunk(std::min<size_t>(count, size_t(1) << 20), c);
        for (size_t left = count; left > 0; left -= std::min(left, chunk.size()))
            *this << std::string_view(chunk).substr(0, std::min(left, chunk.size()));
        return *this;
    }
    int64_t Offset() const { return offset_; }
    // "n 0 obj", its offset remembered for the table; the caller writes the rest.
    FileWriter& Header(int64_t n) {
        offsets_.emplace_back(n, offset_);
        return *this << std::to_string(n) << " 0 obj\n";
    }
    FileWriter& Object(int64_t n, std::string_view body) {
        return Header(n) << body << "\nendobj\n";
    }
    // A table for every object written, then the trailer and startxref.
    std::string Finish(const std::string& trailer) {
        const int64_t xref = Table();
        *this << "trailer\n" << trailer << "\nstartxref\n" << std::to_string(xref) << "\n%%EOF\n";
        return path_;
    }
    // A table for every object written; returns its offset.
    int64_t Table() {
        const int64_t xref = offset_;
        int64_t highest = 0;
        for (const auto& [n, at] : offsets_)
            highest = std::max(highest, n);
        std::vector<int64_t> at(size_t(highest + 1), -1);
        for (const auto& [n, offset] : offsets_)
            at[size_t(n)] = offset;
        *this << "xref\n0 " << std::to_string(highest + 1) << "\n";
        std::string entries;
        for (const int64_t offset : at) {
            char line[32];
            std::snprintf(line, sizeof line,
                          offset < 0 ? "%010lld 65535 f\r\n" : "%010lld 00000 n\r\n",
                          offset < 0 ? 0 : static_cast<long long>(offset));
            entries += line;
            if (entries.size() > (size_t(1) << 20)) {
                *this << entries;
                entries.clear();
            }
        }
        *this << entries;
        return xref;
    }

private:
    std::string path_;
    int fd_;
    int64_t offset_ = 0;
    std::vector<std::pair<int64_t, int64_t>> offsets_;
};

// count bytes c, deflated (passes times over) without holding them.
std::string DeflatedRun(char c, size_t count, std::string_view head = {}, int passes = 1) {
    z_stream z{};
    deflateInit(&z, 9);
    std::string out;
    const std::string chunk(size_t(1) << 20, c);
    char buffer[1 << 16];
    auto feed = [&](std::string_view in, int flush) {
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
        z.avail_in = uInt(in.size());
        do {
            z.next_out = reinterpret_cast<Bytef*>(buffer);
            z.avail_out = sizeof buffer;
            deflate(&z, flush);
            out.append(buffer, sizeof buffer - z.avail_out);
        } while (z.avail_out == 0);
    };
    feed(head, Z_NO_FLUSH);
    for (size_t left = count; left > 0; left -= std::min(left, chunk.size()))
        feed(std::string_view(chunk).substr(0, std::min(left, chunk.size())), Z_NO_FLUSH);
    feed({}, Z_FINISH);
    deflateEnd(&z);
    for (int k = 1; k < passes; ++k)
        out = Deflate(out);
    return out;
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

// A cross-reference stream of 64 Mi rows of one zero byte each (/W [0 1 0]): 660 bytes once
// deflated twice. As the newest section, as a hybrid file's /XRefStm, or twice along /Prev.
enum class ZeroRows { Newest, Hybrid, TwoTables };
std::string ZeroRowTables(const TempDir& dir, ZeroRows where) {
    const std::string rows = DeflatedRun('\0', size_t(64) << 20, {}, 2);
    PdfBuilder pdf;
    pdf.Object(1, "<< /Type /Catalog /Pages 3 0 R >>").Object(2, kInfo);
    pdf.Object(3, "<< /Type /Pages /Count 2 >>");
    auto stream = [&](int n, const std::string& more) {
        pdf.Object(n, "<< /Type /XRef /W [0 1 0] /Size 67108864 /Root 1 0 R /Info 2 0 R "
                      "/Filter [/FlateDecode /FlateDecode] /Length " +
                          std::to_string(rows.size()) + more + " >>\nstream\n" + rows +
                          "\nendstream");
        return pdf.OffsetOf(n);
    };
    const int64_t first = stream(4, "");
    std::string bytes = pdf.Bytes();
    if (where == ZeroRows::Newest) {
        bytes += "startxref\n" + std::to_string(first) + "\n%%EOF\n";
    } else if (where == ZeroRows::TwoTables) {
        const int64_t second = stream(5, " /Prev " + std::to_string(first));
        bytes = pdf.Bytes() + "startxref\n" + std::to_string(second) + "\n%%EOF\n";
    } else {
        pdf.FullSection("/Size 5 /Root 1 0 R /Info 2 0 R /XRefStm " + std::to_string(first));
        bytes = pdf.Bytes();
    }
    return dir.Write("zero.pdf", bytes);
}

// A thousand cross-reference streams of a thousand rows each, each naming the one before with
// /Prev: a million entries in 200 KiB, which must cost the reader one pass, not one copy of
// every entry so far a section.
std::string ThousandSections(const TempDir& dir) {
    PdfBuilder pdf;
    pdf.Object(1, "<< /Type /Catalog /Pages 3 0 R >>").Object(2, kInfo);
    pdf.Object(3, "<< /Type /Pages /Kids [] /Count 2 >>");
    std::string rows; // /W [1 2 1]: objects 1 to 3 where they are, the others free
    for (int n = 0; n < 1000; ++n) {
        const int64_t at = n >= 1 && n <= 3 ? pdf.OffsetOf(n) : 0;
        rows += {char(at ? 1 : 0), char(at >> 8), char(at), '\0'};
    }
    const std::string packed = Deflate(rows);
    int64_t previous = -1;
    for (int n = 4; n < 1004; ++n) {
        pdf.Object(n, "<< /Type /XRef /W [1 2 1] /Size 1000 /Root 1 0 R /Info 2 0 R "
                      "/Filter /FlateDecode /Length " +
                          std::to_string(packed.size()) +
                          (previous < 0 ? "" : " /Prev " + std::to_string(previous)) +
                          " >>\nstream\n" + packed + "\nendstream");
        previous = pdf.OffsetOf(n);
    }
    return dir.Write("sections.pdf",
                     pdf.Bytes() + "startxref\n" + std::to_string(previous) + "\n%%EOF\n");
}

// n object streams, each inflating to 64 MiB of blanks after its one object, in a file whose
// table must be recovered; the information dictionary is object 100 + k of stream k.
std::string ObjectStreamBombs(const TempDir& dir, int n) {
    FileWriter file(dir.File("bombs.pdf"));
    file << "%PDF-1.5\n";
    file.Object(1, "<< /Type /Catalog /Pages 3 0 R >>");
    file.Object(3, "<< /Type /Pages /Count 2 >>");
    for (int k = 0; k < n; ++k) {
        const std::string head = std::to_string(100 + k) + " 0 ";
        const std::string packed = DeflatedRun(
            ' ', size_t(64) << 20, head + "<< /Title (Bomb " + std::to_string(k) + ") >>");
        file.Object(10 + k, "<< /Type /ObjStm /N 1 /First " + std::to_string(head.size()) +
                                " /Filter /FlateDecode /Length " + std::to_string(packed.size()) +
                                " >>\nstream\n" + packed + "\nendstream");
    }
    file << "trailer\n<< /Root 1 0 R /Info " << std::to_string(100 + n - 1) << " 0 R >>\n%%EOF\n";
    return dir.File("bombs.pdf");
}

struct HostileCase {
    const char* name;
    std::function<std::string(const TempDir&)> make; // writes the input, returns its path
    const char* outcome;                             // "record" or the failure's kind
    std::function<void(const Result&)> check;        // for a record, when there is more to say
};

void TitleRead(const Result& r) {
    EXPECT_EQ(r.title, "Report");
    EXPECT_EQ(r.author, "Ann");
}

const HostileCase kCases[] = {
    // --- What a user met: files that are no PDF. ---
    {"FiveBytes", [](const TempDir& d) { return d.Write("a.pdf", "oops\n"); }, "not-pdf", nullptr},
    {"Empty", [](const TempDir& d) { return d.Write("a.pdf", ""); }, "not-pdf", nullptr},
    {"HtmlErrorPage",
     [](const TempDir& d) {
         return d.Write("download.pdf", "<!DOCTYPE html>\n<html><head><title>404</title></head>"
                                        "<body><h1>Not Found</h1></body></html>\n");
     },
     "not-pdf", nullptr},
    {"RandomBytes",
     [](const TempDir& d) {
         std::string bytes(100000, '\0');
         uint32_t x = 12345;
         for (char& c : bytes) {
             x = x * 1103515245 + 12345;
             c = char(x >> 23);
         }
         return d.Write("random.pdf", bytes);
     },
     "not-pdf", nullptr},
    {"TextFile",
     [](const TempDir& d) { return d.Write("notes.pdf", "Meeting notes\n1 0 obj is not here\n"); },
     "not-pdf", nullptr},
    {"HeaderFollowedByNul",
     [](const TempDir& d) {
         PdfBuilder pdf(std::string("%PDF-1.2\0\x01", 10));
         pdf.Object(1, "<< /Type /Catalog /Pages 2 0 R >>").Object(2, "<< /Count 3 >>");
         pdf.FullSection("/Size 3 /Root 1 0 R");
         return pdf.WriteTo(d.File("a.pdf"));
     },
     "record",
     [](const Result& r) {
         EXPECT_EQ(r.version, "1.2");
         EXPECT_EQ(r.pages, 3);
     }},

    // --- Budgets: inputs made to cost memory or time. ---
    {"XrefStreamOf64MiZeroRows",
     [](const TempDir& d) { return ZeroRowTables(d, ZeroRows::Newest); }, "over-budget", nullptr},
    {"HybridXRefStmOf64MiZeroRows",
     [](const TempDir& d) { return ZeroRowTables(d, ZeroRows::Hybrid); }, "over-budget", nullptr},
    {"TwoTablesOf64MiZeroRows",
     [](const TempDir& d) { return ZeroRowTables(d, ZeroRows::TwoTables); }, "over-budget",
     nullptr},
    {"SixteenObjectStreamBombsRecovered", [](const TempDir& d) { return ObjectStreamBombs(d, 16); },
     "record",
     [](const Result& r) {
         EXPECT_EQ(r.title, "Bomb 15");
         EXPECT_EQ(r.pages, 2);
     }},
    {"TwentyThousandObjectStreamsWithoutEndstream",
     [](const TempDir& d) {
         FileWriter file(d.File("objstm.pdf"));
         file << "%PDF-1.5\n";
         file.Object(1, "<< /Type /Catalog /Pages 3 0 R >>").Object(2, kInfo);
         file.Object(3, "<< /Type /Pages /Count 6 >>");
         for (int k = 0; k < 20000; ++k)
             file << std::to_string(10 + k)
                  << " 0 obj\n<< /Type /ObjStm /N 1 /First 4 /Length 40 /Filter /FlateDecode >>"
                     "\nstream\nxxxxxxxxxx\n";
         file << "trailer\n<< /Root 1 0 R /Info 2 0 R >>\n%%EOF\n";
         return d.File("objstm.pdf");
     },
     "record",
     [](const Result& r) {
         TitleRead(r);
         EXPECT_EQ(r.pages, 6);
     }},
    {"HundredThousandPagesWithoutEndobj",
     [](const TempDir& d) {
         // 5.7 MB of page objects that each run on into the next: no "endobj" anywhere. The
         // tree has no /Count, so every page is read.
         PdfBuilder pdf;
         std::string kids;
         for (int k = 0; k < 100000; ++k)
             kids += std::to_string(10 + k) + " 0 R ";
         pdf.Object(1, "<< /Type /Catalog /Pages 3 0 R >>").Object(2, kInfo);
         pdf.Object(3, "<< /Type /Pages /Kids [" + kids + "] >>");
         for (int k = 0; k < 100000; ++k)
             pdf.Object(10 + k, "<< /Type /Page /Parent 3 0 R /MediaBox [0 0 612 792] >>");
         pdf.FullSection("/Size 100010 /Root 1 0 R /Info 2 0 R");
         std::string bytes = pdf.Bytes();
         for (size_t at = bytes.find("endobj"); at != std::string::npos;
              at = bytes.find("endobj", at + 6))
             bytes.replace(at, 6, "      ");
         return d.Write("pages.pdf", bytes);
     },
     "record",
     [](const Result& r) {
         TitleRead(r);
         EXPECT_EQ(r.pages, 100000);
     }},
    {"TrailerOfNinetyThousandKeys",
     [](const TempDir& d) {
         std::string keys;
         for (int k = 0; k < 90000; ++k)
             keys += "/K" + std::to_string(k) + " " + std::to_string(k) + " ";
         return Plain(keys + "/Size 4 /Root 1 0 R /Info 2 0 R").WriteTo(d.File("keys.pdf"));
     },
     "record", TitleRead},
    {"XmpEntityUsedMillionsOfTimes",
     [](const TempDir& d) {
         // Nested entities: 250 bytes used 10 times, that 10 times, ... 2.5 million times in
         // all, in a packet of a few KiB.
         std::string dtd = "<!DOCTYPE x:xmpmeta [<!ENTITY a0 \"" + std::string(250, 'a') + "\">";
         for (int k = 1; k <= 6; ++k) {
             dtd += "<!ENTITY a" + std::to_string(k) + " \"";
             for (int i = 0; i < 10; ++i)
                 dtd += "&a" + std::to_string(k - 1) + ";";
             dtd += "\">";
         }
         dtd += "]>";
         const std::string packet =
             dtd + "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF xmlns:rdf=\"http://www.w3.org/"
                   "1999/02/22-rdf-syntax-ns#\"><rdf:Description xmlns:dc=\"http://purl.org/dc/"
                   "elements/1.1/\"><dc:title><rdf:Alt><rdf:li>&a6;</rdf:li></rdf:Alt></dc:title>"
                   "</rdf:Description></rdf:RDF></x:xmpmeta>";
         PdfBuilder pdf;
         pdf.Object(1, "<< /Type /Catalog /Pages 3 0 R /Metadata 4 0 R >>")
             .Object(3, "<< /Type /Pages /Count 1 >>")
             .Object(4, "<< /Type /Metadata /Subtype /XML /Length " +
                            std::to_string(packet.size()) + " >>\nstream\n" + packet +
                            "\nendstream");
         pdf.FullSection("/Size 5 /Root 1 0 R");
         return pdf.WriteTo(d.File("xmp.pdf"));
     },
     "record", [](const Result& r) { EXPECT_EQ(r.title, ""); }},
    {"XmpTitleOfFiftyMiB",
     [](const TempDir& d) {
         const std::string head =
             "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/"
             "02/22-rdf-syntax-ns#\"><rdf:Description xmlns:dc=\"http://purl.org/dc/elements/"
             "1.1/\"><dc:title><rdf:Alt><rdf:li>";
         const std::string tail =
             "</rdf:li></rdf:Alt></dc:title></rdf:Description></rdf:RDF></x:xmpmeta>";
         const size_t title = size_t(50) << 20;
         FileWriter file(d.File("xmp.pdf"));
         file << "%PDF-1.4\n";
         file.Object(1, "<< /Type /Catalog /Pages 3 0 R /Metadata 4 0 R >>");
         file.Object(3, "<< /Type /Pages /Count 1 >>");
         file.Header(4) << "<< /Type /Metadata /Subtype /XML /Length " +
                               std::to_string(head.size() + title + tail.size()) + " >>\nstream\n" +
                               head;
         file.Repeat('t', title) << tail << "\nendstream\nendobj\n";
         return file.Finish("<< /Size 5 /Root 1 0 R >>");
     },
     "record", [](const Result& r) { EXPECT_LE(r.title.size(), size_t(64) << 10); }},
    {"ObjectStreamOffsetOfTwoToTheSixtyThree",
     [](const TempDir& d) {
         ModernPdf pdf;
         pdf.Object(1, "<< /Type /Catalog /Pages 3 0 R >>").Object(3, "<< /Count 2 >>");
         const std::string data = "2 9223372036854775807 " + std::string(kInfo);
         pdf.Object(5, "<< /Type /ObjStm /N 1 /First 22 /Length " + std::to_string(data.size()) +
                           " >>\nstream\n" + data + "\nendstream");
         pdf.Compressed(2, 5, 0).XrefStream(6, "/Size 7 /Root 1 0 R /Info 2 0 R");
         return d.Write("offset.pdf", pdf.Bytes());
     },
     "record",
     [](const Result& r) {
         EXPECT_EQ(r.title, "");
         EXPECT_EQ(r.pages, 2);
     }},
    {"MillionsOfNullsInAnObjectStream",
     [](const TempDir& d) {
         // Five bytes a value in the file, a hundred in memory: an object of 3 Mi values.
         std::string nulls;
         for (int k = 0; k < 3 << 20; ++k)
             nulls += "null ";
         const std::string packed = Deflate("2 0 [" + nulls + "]");
         nulls = std::string();
         ModernPdf pdf;
         pdf.Object(1, "<< /Type /Catalog /Pages 3 0 R >>").Object(3, "<< /Count 2 >>");
         pdf.Object(5, "<< /Type /ObjStm /N 1 /First 4 /Filter /FlateDecode /Length " +
                           std::to_string(packed.size()) + " >>\nstream\n" + packed +
                           "\nendstream");
         pdf.Compressed(2, 5, 0).XrefStream(6, "/Size 7 /Root 1 0 R /Info 2 0 R");
         return d.Write("nulls.pdf", pdf.Bytes());
     },
     "over-budget", nullptr},
    {"DictionariesNestedPastTheDepthOverAWordOfThreeMiB",
     [](const TempDir& d) {
         // Every item past the depth bound once looked at the whole rest of the word.
         FileWriter file(d.File("deep.pdf"));
         file << "%PDF-1.4\n";
         file.Object(1, "<< /Type /Catalog /Pages 3 0 R >>").Object(3, "<< /Count 2 >>");
         file.Header(2) << "<< /Title (Report) /Author (Ann) /X " + std::string(1000, '<');
         file.Repeat('0', size_t(3) << 20) << "\nendobj\n";
         return file.Finish("<< /Size 4 /Root 1 0 R /Info 2 0 R >>");
     },
     "record", TitleRead},
    {"RecoveredHeaderAcrossTheScansChunkEdge",
     [](const TempDir& d) {
         // "123456784 0 obj" starts four bytes before the first 1 MiB ends: read as object 4
         // it would put the wrong title in place of the right one.
         FileWriter file(d.File("edge.pdf"));
         file << "%PDF-1.4\n";
         file.Object(1, "<< /Type /Catalog /Pages 3 0 R >>").Object(3, "<< /Count 1 >>");
         file.Object(4, "<< /Title (Right) >>");
         file.Repeat(' ', size_t((int64_t(1) << 20) - 4 - file.Offset()));
         file.Object(123456784, "<< /Title (Wrong) >>");
         file << "trailer\n<< /Root 1 0 R /Info 4 0 R >>\n%%EOF\n";
         return d.File("edge.pdf");
     },
     "record", [](const Result& r) { EXPECT_EQ(r.title, "Right"); }},
    {"MillionPagesRecoveredAndCounted",
     [](const TempDir& d) {
         // A thousand nodes of a thousand pages each, no /Count and no table: every header is
         // found wherever the scan's chunks cut the file, and every page counted.
         FileWriter file(d.File("million.pdf"));
         file << "%PDF-1.4\n";
         file.Object(1, "<< /Type /Catalog /Pages 2 0 R >>");
         std::string kids;
         for (int n = 0; n < 1000; ++n)
             kids += std::to_string(10 + n) + " 0 R ";
         file.Object(2, "<< /Type /Pages /Kids [" + kids + "] >>");
         for (int n = 0; n < 1000; ++n) {
             kids.clear();
             for (int p = 0; p < 1000; ++p)
                 kids += std::to_string(100000 + n * 1000 + p) + " 0 R ";
             file.Object(10 + n, "<< /Type /Pages /Kids [" + kids + "] >>");
         }
         std::string pages;
         for (int n = 0; n < 1000000; ++n) {
             pages += std::to_string(100000 + n) + " 0 obj <</Type/Page>> endobj\n";
             if (pages.size() > (size_t(1) << 20)) {
                 file << pages;
                 pages.clear();
             }
         }
         file << pages << "trailer\n<< /Root 1 0 R >>\n%%EOF\n";
         return d.File("million.pdf");
     },
     "record", [](const Result& r) { EXPECT_EQ(r.pages, 1000000); }},

    // --- Damaged structure and absurd numbers. ---
    // A startxref that leads nowhere: the table is rebuilt from the objects in the file.
    {"StartxrefBeyondTheFile", [](const TempDir& d) { return WithStartxref(d, "999999999"); },
     "record",
     [](const Result& r) {
         EXPECT_EQ(r.version, "1.4");
         TitleRead(r);
         EXPECT_EQ(r.pages, 12);
     }},
    {"StartxrefNegative", [](const TempDir& d) { return WithStartxref(d, "-5"); }, "record",
     TitleRead},
    {"StartxrefBeyond64Bits",
     [](const TempDir& d) { return WithStartxref(d, "99999999999999999999999"); }, "record",
     TitleRead},
    // A reference to an object the table lacks is null; a /Root that names none is looked for.
    {"InfoNegativeObject",
     [](const TempDir& d) {
         return Plain("/Size 4 /Root 1 0 R /Info -5 0 R").WriteTo(d.File("a.pdf"));
     },
     "record", [](const Result& r) { EXPECT_EQ(r.title, ""); }},
    {"RootBeyond32Bits",
     [](const TempDir& d) {
         return Plain("/Size 4 /Info 2 0 R /Root 99999999999 0 R").WriteTo(d.File("a.pdf"));
     },
     "record", [](const Result& r) { EXPECT_EQ(r.pages, 12); }},
    {"RootLargestInt32",
     [](const TempDir& d) {
         return Plain("/Size 4 /Info 2 0 R /Root 2147483647 0 R").WriteTo(d.File("a.pdf"));
     },
     "record", [](const Result& r) { EXPECT_EQ(r.pages, 12); }},
    {"InfoLargestInt32",
     [](const TempDir& d) {
         return Plain("/Size 4 /Root 1 0 R /Info 2147483647 0 R").WriteTo(d.File("a.pdf"));
     },
     "record", [](const Result& r) { EXPECT_EQ(r.title, ""); }},
    {"AThousandSectionsAlongPrev", ThousandSections, "record",
     [](const Result& r) {
         EXPECT_EQ(r.title, "Report");
         EXPECT_EQ(r.pages, 2);
     }},
    {"PrevLoopOfTwoSections", [](const TempDir& d) { return PrevLoop(d, false); }, "record",
     [](const Result& r) {
         EXPECT_EQ(r.title, "Update");
         EXPECT_EQ(r.pages, 2);
     }},
    {"PrevNamesItsOwnSection", [](const TempDir& d) { return PrevLoop(d, true); }, "record",
     TitleRead},
    {"CountOf2To31",
     [](const TempDir& d) {
         return Plain("/Size 4 /Root 1 0 R /Info 2 0 R", "2147483648").WriteTo(d.File("a.pdf"));
     },
     "record", [](const Result& r) { EXPECT_EQ(r.pages, 0); }},
    {"CountLargestInt32",
     [](const TempDir& d) {
         return Plain("/Size 4 /Root 1 0 R /Info 2 0 R", "2147483647").WriteTo(d.File("a.pdf"));
     },
     "record", [](const Result& r) { EXPECT_EQ(r.pages, 2147483647); }},
    {"CatalogRepeatingPagesOnEveryLine",
     [](const TempDir& d) {
         // Each line names the page tree again, and the tree's object never ends.
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
     "record", [](const Result& r) { EXPECT_EQ(r.pages, 7); }},
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
     "record",
     [](const Result& r) {
         // Revision 2 keys are 40 bits whatever /Length says.
         EXPECT_EQ(r.keyLength, 40);
         EXPECT_TRUE(r.encrypted);
         EXPECT_EQ(r.password, -1);
         EXPECT_EQ(r.title, "");
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
     "record", [](const Result& r) { EXPECT_EQ(r.keyLength, 40); }},
    {"TrailerWithoutRoot",
     [](const TempDir& d) { return Plain("/Size 4 /Info 2 0 R").WriteTo(d.File("a.pdf")); },
     "record",
     [](const Result& r) {
         TitleRead(r);
         EXPECT_EQ(r.pages, 12); // the catalog found by a scan
     }},
    {"HundredMiBWithoutLineBreak",
     [](const TempDir& d) {
         return SparseFile(d.File("flat.pdf"), int64_t(100) << 20, {{0, "%PDF-1.4 "}});
     },
     "damaged", nullptr},
    {"RecoveryScanOverHundredMiBWithoutObj",
     [](const TempDir& d) {
         FileWriter file(d.File("scan.pdf"));
         file << "%PDF-1.4\n";
         file.Repeat('x', size_t(100) << 20) << "\nstartxref\n5\n%%EOF\n";
         return d.File("scan.pdf");
     },
     "damaged", nullptr},
    {"SubsectionAtLargestObjectNumber",
     [](const TempDir& d) {
         std::string bytes = Plain("/Size 4 /Root 1 0 R /Info 2 0 R").Bytes();
         const size_t at = bytes.rfind("xref\n0 4\n") + 5;
         bytes.replace(at, 3, "9223372036854775807 4");
         return d.Write("a.pdf", bytes);
     },
     "record", TitleRead},
    {"SubsectionEndingPastLargestObjectNumber",
     [](const TempDir& d) {
         std::string bytes = Plain("/Size 4 /Root 1 0 R /Info 2 0 R").Bytes();
         const size_t at = bytes.rfind("xref\n0 4\n") + 5;
         bytes.replace(at, 3, "2147483646 4");
         return d.Write("a.pdf", bytes);
     },
     "record", TitleRead},
    {"SubsectionOfNegativeCount",
     [](const TempDir& d) {
         std::string bytes = Plain("/Size 4 /Root 1 0 R /Info 2 0 R").Bytes();
         const size_t at = bytes.rfind("xref\n0 4\n") + 5;
         bytes.replace(at, 3, "0 -2147483648");
         return d.Write("a.pdf", bytes);
     },
     "record", TitleRead},
    {"SectionOfTwentyMiBLineBreaks",
     [](const TempDir& d) {
         // A section that never reaches its trailer: every byte a line of its own.
         FileWriter file(d.File("breaks.pdf"));
         file << "%PDF-1.4\nxref\n";
         file.Repeat('\n', size_t(20) << 20) << "startxref\n9\n%%EOF\n";
         return d.File("breaks.pdf");
     },
     "damaged", nullptr},
    {"TrailerOfTwentyMiBLineBreaks",
     [](const TempDir& d) {
         FileWriter file(d.File("trailer.pdf"));
         file << "%PDF-1.4\n";
         file.Object(1, kInfo).Object(2, "<< /Type /Catalog /Pages 3 0 R >>");
         file.Object(3, "<< /Count 2 >>");
         const int64_t xref = file.Table();
         file << "trailer\n<< /Info 1 0 R /Root 2 0 R";
         file.Repeat('\n', size_t(20) << 20) << ">>\nstartxref\n"
                                             << std::to_string(xref) << "\n%%EOF\n";
         return d.File("trailer.pdf");
     },
     "record", TitleRead},
    {"InformationDictionaryWithoutEnd",
     [](const TempDir& d) {
         FileWriter file(d.File("open.pdf"));
         file << "%PDF-1.4\n";
         file.Object(1, "<< /Type /Catalog /Pages 2 0 R >>").Object(2, "<< /Count 2 >>");
         file.Header(3) << "<< /Title (Report) /Author (Ann) ";
         file.Repeat('a', size_t(20) << 20);
         file << "\nendobj\n";
         return file.Finish("<< /Size 4 /Root 1 0 R /Info 3 0 R >>");
     },
     "record", TitleRead},
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
     "record",
     [](const Result& r) {
         EXPECT_EQ(r.title, "Update 2999");
         EXPECT_EQ(r.pages, 5);
     }},
    {"FiftyThousandTinySections",
     [](const TempDir& d) {
         // Each section holds one free entry and names the one before it.
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
     "record", [](const Result& r) { EXPECT_EQ(r.pages, 4); }},
    {"EveryEntryNamesOneLargeObject",
     [](const TempDir& d) {
         std::string pieces;
         for (int i = 0; i < 5000; ++i)
             pieces += "/Title 3 0 R ";
         PdfBuilder pdf;
         pdf.Object(1, "<< /Type /Catalog /Pages 4 0 R >>").Object(2, "<< " + pieces + " >>");
         pdf.Object(3, "(" + std::string(100000, 'a') + ")")
             .Object(4, "<< /Type /Pages /Count 2 >>");
         pdf.FullSection("/Size 5 /Root 1 0 R /Info 2 0 R");
         return pdf.WriteTo(d.File("large.pdf"));
     },
     "record",
     [](const Result& r) {
         EXPECT_EQ(r.title, std::string(100000, 'a'));
         EXPECT_EQ(r.pages, 2);
     }},
    {"ZipBombObjectStream",
     [](const TempDir& d) {
         // An object stream that inflates to 70 MiB of blanks: the output stops at its bound.
         const std::string packed = DeflatedRun(' ', size_t(70) << 20, "2 0 " + std::string(kInfo));
         ModernPdf pdf;
         pdf.Object(1, "<< /Type /Catalog /Pages 3 0 R >>").Object(3, "<< /Count 2 >>");
         pdf.Object(5, "<< /Type /ObjStm /N 1 /First 4 /Filter /FlateDecode /Length " +
                           std::to_string(packed.size()) + " >>\nstream\n" + packed +
                           "\nendstream");
         pdf.Compressed(2, 5, 0).XrefStream(6, "/Size 7 /Root 1 0 R /Info 2 0 R");
         return d.Write("bomb.pdf", pdf.Bytes());
     },
     "record",
     [](const Result& r) {
         TitleRead(r);
         EXPECT_EQ(r.pages, 2);
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
     "record", nullptr},
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
     "record", TitleRead},
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
     "record", TitleRead}, // recovered from the objects themselves
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
     "record", TitleRead},
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
     "record",
     [](const Result& r) {
         TitleRead(r);
         EXPECT_EQ(r.pages, 7);
     }},

    // --- Names that are no regular file. ---
    {"FolderNamedPdf",
     [](const TempDir& d) {
         ::mkdir(d.File("x.pdf").c_str(), 0755);
         return d.File("x.pdf");
     },
     "unreadable", nullptr},
    {"FifoNamedPdf",
     [](const TempDir& d) {
         ::mkfifo(d.File("y.pdf").c_str(), 0644);
         return d.File("y.pdf");
     },
     "unreadable", nullptr},
    {"DeviceBehindPdfName",
     [](const TempDir& d) {
         ::symlink("/dev/zero", d.File("z.pdf").c_str());
         return d.File("z.pdf");
     },
     "unreadable", nullptr},
    {"SymbolicLinkLoop",
     [](const TempDir& d) {
         ::symlink("loop.pdf", d.File("loop.pdf").c_str());
         return d.File("loop.pdf");
     },
     "unreadable", nullptr},
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
     "unreadable", nullptr},
};

void PrintTo(const HostileCase& c, std::ostream* os) {
    *os << c.name;
}

class Hostile : public ::testing::TestWithParam<HostileCase> {};

TEST_P(Hostile, GivesARecordOrOneNamedFailureWithinTheBudget) {
    const HostileCase& c = GetParam();
    TempDir dir;
    const std::string path = c.make(dir);
    const Result r = Read(path);
    ASSERT_EQ(r.outcome, c.outcome);
    if (c.check)
        c.check(r);
}

// The tests run as root, who may read any file; the read is then made as the user nobody.
TEST(HostileFile, WithoutReadPermission) {
    TempDir dir;
    ::chmod(dir.Path().c_str(), 0711); // nobody may pass through, not list
    const std::string path = Plain("/Size 4 /Root 1 0 R /Info 2 0 R").WriteTo(dir.File("l.pdf"));
    ::chmod(path.c_str(), 0);
    const Result r = Read(path, "", ::geteuid() == 0 ? 65534 : 0);
    if (r.outcome == "could not drop privileges")
        GTEST_SKIP() << "running as root and unable to drop privileges to test a denied read";
    EXPECT_EQ(r.outcome, "unreadable");
}

INSTANTIATE_TEST_SUITE_P(Inputs, Hostile, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
