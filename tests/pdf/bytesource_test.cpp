// SPDX-License-Identifier: GPL-3.0-or-later
#include "pdf/bytesource.h"

#include "common/errors.h"
#include "support/pdfbuilder.h"

#include <gtest/gtest.h>

#include <random>
#include <sys/stat.h>

TEST(ByteSource, FilesOfEverySizeAroundTheBlocksReadBackWhole) {
    // Small files are read in one call into several blocks, larger ones a block or a span of
    // blocks at a time: either way every byte comes back where it was, from any place on.
    for (const size_t size :
         {16u, 4095u, 4096u, 4097u, 8191u, 8193u, 12288u, 16383u, 16384u, 16385u, 20480u, 70000u}) {
        std::string bytes(size, '\0');
        for (size_t i = 0; i < size; ++i)
            bytes[i] = char('a' + (i * 7 + i / 4096) % 26);
        TempDir dir;
        const ByteSource source(dir.Write("t.pdf", bytes));
        for (const size_t from : {size_t(0), size / 3, size - 8}) {
            EXPECT_EQ(source.Read(int64_t(from), int64_t(size)), bytes.substr(from))
                << size << " " << from;
            char buffer[100];
            const int64_t n = source.ReadAt(int64_t(from), buffer, sizeof buffer);
            EXPECT_EQ(std::string(buffer, size_t(n)), bytes.substr(from, sizeof buffer));
        }
        EXPECT_EQ(source.Read(int64_t(size), 10), "");
        EXPECT_EQ(source.Read(-1, 10), "");
        char byte = 0; // an offset from a damaged file, far beyond any file's end
        EXPECT_EQ(source.ReadAt(INT64_MAX - 10, &byte, 48), 0);
        // Reads across blocks, some cached and some not, in a random order that evicts them.
        const ByteSource again(dir.File("t.pdf"));
        std::mt19937 random{unsigned(size)};
        for (int k = 0; k < 300; ++k) {
            const size_t from = random() % size, count = random() % 4096 + 1;
            std::string buffer(count, '\0');
            buffer.resize(size_t(again.ReadAt(int64_t(from), buffer.data(), int64_t(count))));
            ASSERT_EQ(buffer, bytes.substr(from, count)) << size << " " << from << " " << count;
        }
    }
}

TEST(ByteSource, FindAgreesWithAPlainSearchWhateverTheOrderOfTheSearches) {
    // Keywords at chunk edges, next to each other and far apart; searches from random places
    // with random limits give what a search of the whole text gives, however much of it an
    // earlier search already looked at.
    std::string bytes(300000, 'x');
    for (const size_t at : {0u, 100u, 65530u, 65536u, 65542u, 131066u, 200000u, 299991u})
        bytes.replace(at, 9, "endstream");
    TempDir dir;
    const ByteSource source(dir.Write("t.pdf", bytes));
    std::mt19937 random(7);
    for (int k = 0; k < 2000; ++k) {
        const int64_t from = int64_t(random() % bytes.size());
        const int64_t limit = int64_t(random() % 100000) + 1;
        size_t plain = bytes.find("endstream", size_t(from));
        if (plain != std::string::npos && int64_t(plain) >= from + limit)
            plain = std::string::npos;
        const int64_t expected = plain == std::string::npos ? -1 : int64_t(plain);
        ASSERT_EQ(source.Find("endstream", from, limit), expected) << from << " " << limit;
    }
    EXPECT_EQ(source.Find("endobj", 0, int64_t(bytes.size())), -1);
}

TEST(ByteSource, FilesThatCannotBeOpenedSayWhy) {
    TempDir dir;
    const std::string fifo = dir.File("y.pdf");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    const struct {
        std::string path;
        std::string reason;
    } cases[] = {
        {dir.File("missing.pdf"), "ファイルがありません"},
        {dir.Path(), "フォルダです"},
        {fifo, "通常のファイルではありません"}, // and the open does not wait for a writer
    };
    for (const auto& c : cases) {
        try {
            const ByteSource source(c.path);
            ADD_FAILURE() << c.path;
        } catch (const EPagewickError& e) {
            EXPECT_EQ(e.Kind(), ErrorKind::Unreadable);
            EXPECT_EQ(std::string(e.what()),
                      "ファイル " + c.path + " は開けません（" + c.reason + "）");
        }
    }
}
