// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What reading one file may cost. Every loop and buffer that a file's contents can grow counts
// here before the work is done, against bounds far beyond what real files need; a file that
// would pass one is a named error (over a budget) rather than gigabytes or minutes of work.

#include <cstdint>

class ReadBudget {
public:
    // Cross-reference entries kept, all sections and recovery together: 16 bytes each.
    static constexpr int64_t kMaxEntries = int64_t(1) << 21;
    // Bytes the object parser reads, all objects together.
    static constexpr int64_t kMaxParsedBytes = int64_t(256) << 20;
    // Stream bytes read from the file and decoded, all streams together.
    static constexpr int64_t kMaxStreamBytes = int64_t(256) << 20;
    // The raw data of one stream.
    static constexpr int64_t kMaxStreamLength = int64_t(64) << 20;
    // Nodes of a page tree whose leaves are counted.
    static constexpr int64_t kMaxPageTreeNodes = kMaxEntries;

    // Each raises EReadError(OverBudget) naming the bound when n more would pass it.
    void SpendEntries(int64_t n) {
        // Inline: a table spends an entry at a time.
        if (n < 0 || n > kMaxEntries - entries_)
            EntriesOverBudget();
        entries_ += n;
    }
    void SpendParsing(int64_t bytes);
    void SpendStreamBytes(int64_t bytes);
    void SpendPageTreeNodes(int64_t n);
    int64_t EntriesLeft() const { return kMaxEntries - entries_; }

private:
    [[noreturn]] static void EntriesOverBudget();
    int64_t entries_ = 0, parsed_ = 0, streamBytes_ = 0, pageTreeNodes_ = 0;
};
