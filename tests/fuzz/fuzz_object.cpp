// SPDX-License-Identifier: GPL-3.0-or-later
// The object parser on arbitrary bytes, and the text of every string it finds. Besides running
// them, it checks the properties the reader relies on; a broken property aborts, so the fuzzer
// reports it like a crash.

#include "jtext/junicode.h"
#include "pdf/pdfobject.h"
#include "pdf/textstring.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace {

void Require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "property broken: %s\n", what);
        std::abort();
    }
}

void Check(const PdfObject& o, int depth) {
    Require(depth <= kMaxObjectDepth + 2, "an object nests deeper than the parser allows");
    if (o.IsString())
        Require(IsValidUtf8(TextStringToUtf8(o.text)), "a string's text is malformed UTF-8");
    for (const PdfObject& item : o.items)
        Check(item, depth + 1);
    for (size_t i = 0; i < o.entries.size(); ++i) {
        Require(i == 0 || o.entries[i - 1].key != o.entries[i].key, "a key stands twice");
        Require(o.Get(o.entries[i].key) == &o.entries[i].value, "Get misses an entry");
        Check(o.entries[i].value, depth + 1);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    size_t pos = 0;
    bool cutShort = false;
    PdfObject o = ParseObject(text, pos, &cutShort);
    Require(pos <= text.size(), "the parser went past the text");
    Check(o, 0);
    // Read for some of its keys, an object ends where it does read whole, with those entries.
    static constexpr std::string_view kSome[] = {"Type", "Count", "Length"};
    size_t keptEnd = 0;
    bool keptCut = false;
    const PdfObject kept = ParseObject(text, keptEnd, &keptCut, kSome);
    Require(keptEnd == pos && keptCut == cutShort && kept.kind == o.kind,
            "a value stepped over ends elsewhere than one made");
    for (const std::string_view key : kSome) {
        const PdfObject* whole = o.Get(key);
        const PdfObject* some = kept.Get(key);
        Require((whole == nullptr) == (some == nullptr) &&
                    (!whole ||
                     (whole->kind == some->kind && whole->integer == some->integer &&
                      whole->text == some->text && whole->items.size() == some->items.size())),
                "a kept entry differs from the one read whole");
    }
    // What a newer trailer leaves out, an older one fills in; what it has stays.
    size_t more = pos;
    const PdfObject older = ParseObject(text, more);
    const size_t before = o.entries.size();
    o.AddMissing(older);
    if (o.IsDictionary() && older.IsDictionary()) {
        Require(o.entries.size() >= before, "AddMissing lost an entry");
        for (const PdfEntry& e : older.entries)
            Require(o.Get(e.key) != nullptr, "AddMissing left out an entry");
    }
    Check(o, 0);
    int64_t number = 0;
    int32_t generation = 0;
    pos = 0;
    if (ParseObjectHeader(text, pos, number, generation))
        Require(number >= 0 && generation >= 0 && pos <= text.size(), "a header out of range");
    return 0;
}
