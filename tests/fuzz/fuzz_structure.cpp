// SPDX-License-Identifier: GPL-3.0-or-later
// The structural layer on arbitrary file contents: the chain walk, the recovery scan and the
// table it gives, the object store over both, and the keyword search that remembers what it
// searched, checked against a plain search of the same bytes. A reader error is a valid outcome
// for a damaged file; a broken property aborts.

#include "common/errors.h"
#include "fuzzfile.h"
#include "pdf/bytesource.h"
#include "pdf/objectstore.h"
#include "pdf/readbudget.h"
#include "pdf/xrefchain.h"
#include "pdf/xrefrecovery.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

void Require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "property broken: %s\n", what);
        std::abort();
    }
}

// A few objects of the table, and the trailer's, read through a store.
void ReadSome(const ByteSource& source, const XrefTable& table, ReadBudget& budget) {
    ObjectStore store(source, table, budget);
    for (int64_t n = 0; n < 8; ++n)
        (void)store.Object(n);
    if (const PdfObject* root = table.Trailer().Get("Root"))
        (void)store.Resolve(*root);
    (void)store.StreamData(1, 4096);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static FuzzFile file("input.pdf");
    file.Write(data, size);
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const ByteSource source(file.Path());
    // The remembered ranges must give what a plain search gives, in any order of searches.
    for (const std::string_view keyword : {"endstream", "obj"}) {
        for (size_t k = 0; k < 6 && size > 0; ++k) {
            const size_t from = (size_t(data[k % size]) * 131 + k * 977) % size;
            const int64_t limit = int64_t(data[(k + 1) % size]) * 7 + 1;
            size_t plain = bytes.find(keyword, from);
            if (plain != std::string_view::npos && int64_t(plain) >= int64_t(from) + limit)
                plain = std::string_view::npos;
            const int64_t expected = plain == std::string_view::npos ? -1 : int64_t(plain);
            Require(source.Find(keyword, int64_t(from), limit) == expected,
                    "Find differs from a plain search");
        }
    }
    ReadBudget budget;
    try {
        ReadSome(source, ReadXrefChain(source, budget), budget);
    } catch (const EPagewickError&) {
    } catch (const ObjectNotAtEntry&) {
    }
    try {
        const FileScan scan = ScanFile(source, budget);
        for (const auto& [number, offset] : scan.objects)
            Require(offset >= 0 && size_t(offset) < size && number >= 0,
                    "the scan found a header outside the file");
        ReadSome(source, RecoverXrefTable(source, scan, nullptr, budget), budget);
    } catch (const EPagewickError&) {
    }
    return 0;
}
