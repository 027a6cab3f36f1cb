// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/readahead.h"

#include "common/iotiming.h"

#include "support/pdfbuilder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <tuple>

namespace {

// The cells a row shows, and the reader's message.
std::string Summary(const PdfRead& read) {
    std::string summary = read.error.value_or("");
    for (const std::string& cell : read.cells)
        summary += "|" + cell;
    return summary;
}

// The PDF files of a fixture folder, by name.
std::vector<std::string> FixtureNames(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (entry.path().extension() == ".pdf")
            names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// The read-ahead's view of names, which outlive it.
std::vector<std::string_view> Views(const std::vector<std::string>& names) {
    return {names.begin(), names.end()};
}

// n small files, each with its number as its title and page count; their names.
std::vector<std::string> NumberedFiles(const TempDir& dir, int n) {
    std::vector<std::string> names;
    for (int i = 1; i <= n; ++i) {
        const std::string number = std::to_string(i);
        names.push_back("f" + number + ".pdf");
        PdfBuilder()
            .Object(1, "<< /Type /Catalog /Pages 2 0 R >>")
            .Object(2, "<< /Type /Pages /Count " + number + " >>")
            .Object(3, "<< /Title (" + number + ") >>")
            .FullSection("/Root 1 0 R /Info 3 0 R")
            .WriteTo(dir.File(names.back()));
    }
    return names;
}

TEST(PdfFilesIn, NamesTheFilesTheFilterHandsToTheReader) {
    TempDir dir;
    for (const char* name : {"a.pdf", "B.PDF", "c.txt", "d.pdf.bak", "e.jpg"})
        dir.Write(name, "x");
    // What the scan does not list is never opened: folders, hidden entries, FIFOs, links to
    // anything but a regular file.
    std::filesystem::create_directory(dir.File("sub.pdf"));
    dir.Write(".hidden.pdf", "x");
    ASSERT_EQ(::mkfifo(dir.File("fifo.pdf").c_str(), 0600), 0);
    std::filesystem::create_symlink(dir.File("a.pdf"), dir.File("link.pdf"));
    std::filesystem::create_symlink(dir.File("sub.pdf"), dir.File("folderlink.pdf"));
    std::filesystem::create_symlink(dir.File("gone"), dir.File("dangling.pdf"));
    const struct {
        int typeIndex;
        std::vector<std::string> names;
    } cases[] = {
        {0, {"B.PDF", "a.pdf", "link.pdf"}},
        {1, {"B.PDF", "a.pdf", "link.pdf"}},
        {2, {"B.PDF", "a.pdf", "link.pdf"}},
    };
    for (const auto& c : cases) {
        ScanSettings settings;
        settings.fileMask = FileMaskForIndex(c.typeIndex);
        size_t entries = 0;
        FolderEntries listed(dir.Path() + "/");
        listed.ReadWhole();
        const std::vector<std::string_view> views =
            PdfFilesIn(listed.listing(), settings, &entries);
        std::vector<std::string> found(views.begin(), views.end());
        std::sort(found.begin(), found.end());
        EXPECT_EQ(found, c.names) << c.typeIndex;
        EXPECT_EQ(entries, 10u) << c.typeIndex; // all but .hidden.pdf, whatever their kind
    }
    FolderEntries missing(dir.File("missing") + "/");
    missing.ReadWhole();
    EXPECT_TRUE(PdfFilesIn(missing.listing(), ScanSettings()).empty());
}

TEST(PdfReadAhead, GivesWhatReadingEachFileGives) {
    // Readable, damaged, encrypted with and without the password, in both orders of taking;
    // with one worker the taking thread reads most files itself.
    for (const char* fixtures : {"/real/", "/crypt/"})
        for (const char* password : {"", "user"}) {
            const std::string folder = PAGEWICK_TEST_DATA + std::string(fixtures);
            const std::vector<std::string> names = FixtureNames(folder);
            ASSERT_GT(names.size(), 3u);
            ScanSettings settings;
            settings.password = password;
            for (const auto& [reversed, workers, slowDevice] : {std::tuple{false, 1u, false},
                                                                {false, 3u, false},
                                                                {true, 1u, false},
                                                                {true, 3u, false},
                                                                {false, 1u, true},
                                                                {true, 1u, true}}) {
                // On a slow device the workers grow in number and the taking thread reads nothing.
                std::optional<iotiming::AssumeSlowDevice> slow;
                if (slowDevice)
                    slow.emplace();
                PdfReadAhead ahead(folder, Views(names), settings, workers);
                std::vector<std::string> order = names;
                if (reversed)
                    std::reverse(order.begin(), order.end());
                for (const std::string& name : order) {
                    const std::optional<PdfRead> read = ahead.Take(name);
                    ASSERT_TRUE(read) << name;
                    EXPECT_EQ(Summary(*read), Summary(ReadPdf(folder + name, settings))) << name;
                }
            }
        }
}

TEST(PdfReadAhead, FilesFarBeyondTheLeadAreReadWhenAskedFor) {
    TempDir dir;
    const std::vector<std::string> names = NumberedFiles(dir, int(PdfReadAhead::kAhead) * 3);
    for (const auto& [workers, slowDevice] : {std::pair{1u, false}, {2u, false}, {1u, true}}) {
        std::optional<iotiming::AssumeSlowDevice> slow;
        if (slowDevice)
            slow.emplace();
        PdfReadAhead ahead(dir.Path() + "/", Views(names), ScanSettings(), workers);
        // The last file first: the workers go on past their lead to reach it.
        for (size_t k = names.size(); k-- > 0;) {
            const std::optional<PdfRead> read = ahead.Take(names[k]);
            ASSERT_TRUE(read);
            EXPECT_EQ(read->cells[0], std::to_string(k + 1)); // title
            EXPECT_EQ(read->cells[7], std::to_string(k + 1)); // pages
        }
    }
}

TEST(PdfReadAhead, UnknownOrTakenPathsAreLeftToTheCaller) {
    TempDir dir;
    const std::vector<std::string> names = NumberedFiles(dir, 3);
    PdfReadAhead ahead(dir.Path() + "/", Views(names), ScanSettings(), 2);
    EXPECT_FALSE(ahead.Take("other.pdf"));
    EXPECT_TRUE(ahead.Take(names[1]));
    EXPECT_FALSE(ahead.Take(names[1]));
    EXPECT_TRUE(ahead.Take(names[0]));
}

TEST(PdfReadAhead, StopsWithFilesLeftUntaken) {
    TempDir dir;
    const std::vector<std::string> names = NumberedFiles(dir, 300);
    for (const auto& [taken, slowDevice] : {std::pair{size_t(0), false},
                                            {size_t(1), false},
                                            {size_t(150), false},
                                            {size_t(1), true},
                                            {size_t(150), true}}) {
        std::optional<iotiming::AssumeSlowDevice> slow;
        if (slowDevice)
            slow.emplace(); // workers are added while others stop
        PdfReadAhead ahead(dir.Path() + "/", Views(names), ScanSettings(), 4);
        for (size_t k = 0; k < taken; ++k)
            ASSERT_TRUE(ahead.Take(names[k]));
    } // each destructor returns once the workers have stopped
    PdfReadAhead none(dir.Path() + "/", {}, ScanSettings(), 4);
    EXPECT_FALSE(none.Take(names[0]));
}

TEST(PdfReadAhead, AFolderGivenOpenIsReadThroughItEvenOnceItsPathIsGone) {
    // The files are opened relative to the folder's handle, not by path: the folder renamed
    // after it was opened still reads, and the caller's handle may close at once.
    TempDir dir;
    const std::vector<std::string> names = NumberedFiles(dir, 3);
    std::filesystem::create_directory(dir.File("old"));
    for (const std::string& name : names)
        std::filesystem::rename(dir.File(name), dir.File("old/" + name));
    const std::string path = dir.File("old") + "/";
    for (const bool open : {true, false}) {
        const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ASSERT_GE(fd, 0);
        std::filesystem::rename(dir.File("old"), dir.File("new"));
        std::optional<PdfReadAhead> ahead;
        ahead.emplace(path, Views(names), ScanSettings(), 2, iotiming::Device{}, open ? fd : -1);
        ::close(fd);
        const std::optional<PdfRead> read = ahead->Take(names[2]);
        ASSERT_TRUE(read);
        EXPECT_EQ(read->error.has_value(), !open) << open;
        EXPECT_EQ(read->cells.empty() ? "" : read->cells[0], open ? "3" : "") << open; // title
        ahead.reset();
        std::filesystem::rename(dir.File("new"), dir.File("old"));
    }
}

} // namespace
