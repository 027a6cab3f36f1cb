// SPDX-License-Identifier: GPL-3.0-or-later
#include "pdf/xrefrecovery.h"

#include "pdf/bytesource.h"
#include "pdf/indirectobject.h"
#include "pdf/objectstream.h"
#include "pdf/readbudget.h"

#include <algorithm>
#include <cstdint>

namespace {

// The file is scanned in chunks of this size. Each is searched together with the last
// kCarry bytes of the one before, so a header that straddles the edge is seen whole, once.
constexpr int64_t kChunk = int64_t(1) << 20;
constexpr size_t kCarry = 256;
// Trailers and cross-reference streams looked at, the newest first.
constexpr size_t kMaxTrailers = 64;
// How far after a header the scan looks for the object's /Type.
constexpr int64_t kTypeWindow = 512;

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Whether the name (with its slash) stands whole in window.
bool HasName(std::string_view window, std::string_view name) {
    for (size_t at = window.find(name); at != std::string_view::npos;
         at = window.find(name, at + 1))
        if (at + name.size() == window.size() || !IsRegularChar(window[at + name.size()]))
            return true;
    return false;
}

// The start of "n g obj" whose "obj" is at p, or npos; number set when found. startKnown:
// nothing comes before text[0] (the start of the file); otherwise a number that reaches
// text[0] may go on before it and is not taken.
size_t HeaderStart(std::string_view text, size_t p, bool startKnown, int64_t& number) {
    size_t i = p;
    auto spaces = [&] {
        const size_t end = i;
        while (i > 0 && IsPdfSpace(text[i - 1]))
            --i;
        return i < end;
    };
    auto digits = [&](size_t maxDigits) {
        const size_t end = i;
        while (i > 0 && IsDigit(text[i - 1]) && end - i < maxDigits)
            --i;
        return i < end;
    };
    if (!spaces() || !digits(5) || !spaces())
        return std::string_view::npos;
    const size_t numberEnd = i;
    if (!digits(10) || (i > 0 && IsRegularChar(text[i - 1])) || (i == 0 && !startKnown))
        return std::string_view::npos;
    number = 0;
    for (size_t k = i; k < numberEnd; ++k)
        number = number * 10 + (text[k] - '0');
    return i;
}

} // namespace

FileScan ScanFile(const ByteSource& source, ReadBudget& budget) {
    FileScan scan;
    std::string text; // the carry, then the chunk
    for (int64_t start = 0; start < source.Size();) {
        // text[0] stands at file offset base.
        const size_t carry = text.size();
        const int64_t base = start - int64_t(carry);
        text += source.Read(start, kChunk);
        if (text.size() == carry)
            break;
        const bool last = start + int64_t(text.size() - carry) >= source.Size();
        // Each "obj" is taken in the text where the byte after it is known, and only there.
        for (size_t p = text.find("obj", carry >= 3 ? carry - 3 : 0); p != std::string::npos;
             p = text.find("obj", p + 1)) {
            if (p + 3 == text.size() && !last)
                break; // taken with the next chunk, which knows the byte after it
            if (p + 3 < text.size() && IsRegularChar(text[p + 3]))
                continue;
            int64_t number = 0;
            const size_t at = HeaderStart(text, p, base == 0, number);
            if (at == std::string_view::npos || number > kMaxObjectNumber)
                continue;
            budget.SpendEntries(1);
            const int64_t offset = base + int64_t(at);
            scan.objects.emplace_back(number, offset);
            std::string window = text.substr(p + 3, kTypeWindow);
            if (int64_t(window.size()) < kTypeWindow)
                window = source.Read(base + int64_t(p) + 3, kTypeWindow);
            window.resize(
                std::min(window.size(), std::min(window.find("stream"), window.find("endobj"))));
            if (HasName(window, "/ObjStm"))
                scan.objectStreams.push_back(offset);
            else if (HasName(window, "/XRef"))
                scan.xrefStreams.push_back(offset);
            else if (HasName(window, "/Catalog"))
                scan.catalogs.push_back(number);
        }
        for (size_t p = text.find("trailer", carry >= 6 ? carry - 6 : 0); p != std::string::npos;
             p = text.find("trailer", p + 1))
            if (p + 7 > carry)
                scan.trailers.push_back(base + int64_t(p));
        start += int64_t(text.size() - carry);
        text.erase(0, text.size() - std::min(text.size(), kCarry));
    }
    return scan;
}

XrefTable RecoverXrefTable(const ByteSource& source, const FileScan& scan,
                           const SecurityHandler* security, ReadBudget& budget) {
    std::vector<XrefEntry> entries;
    entries.reserve(scan.objects.size());
    // The last header of a number first: the table keeps the first entry of each.
    for (auto it = scan.objects.rbegin(); it != scan.objects.rend(); ++it)
        entries.push_back(XrefEntry::InFile(it->first, it->second));
    // Objects inside object streams, where no header in the body has their number. Only the
    // table at the start of each stream is decoded.
    for (auto it = scan.objectStreams.rbegin(); it != scan.objectStreams.rend(); ++it) {
        const std::optional<IndirectObject> stream = ReadIndirectObject(source, *it, budget);
        if (!stream || !stream->IsStream() || stream->number > kMaxObjectNumber)
            continue;
        const PdfObject* n = stream->value.Get("N");
        const PdfObject* first = stream->value.Get("First");
        if (!n || !first || !n->IsInteger() || !first->IsInteger() || first->integer < 0 ||
            first->integer > int64_t(kMaxObjectStreamBytes))
            continue;
        const std::string data =
            ObjectStreamData(source, *stream, security, size_t(first->integer), budget);
        const ObjectStreamTable table =
            ReadObjectStreamTable(n->integer, first->integer, data, INT64_MAX);
        budget.SpendEntries(int64_t(table.objects.size()));
        for (size_t k = 0; k < table.objects.size(); ++k)
            if (table.objects[k].first <= kMaxObjectNumber)
                entries.push_back(
                    XrefEntry::Compressed(table.objects[k].first, stream->number, int64_t(k)));
    }
    PdfObject trailer;
    size_t looked = 0;
    for (auto it = scan.trailers.rbegin(); it != scan.trailers.rend() && looked < kMaxTrailers;
         ++it, ++looked)
        trailer.AddMissing(ReadValueAt(source, *it + 7, budget));
    looked = 0;
    for (auto it = scan.xrefStreams.rbegin();
         it != scan.xrefStreams.rend() && looked < kMaxTrailers; ++it, ++looked)
        if (const std::optional<IndirectObject> stream = ReadIndirectObject(source, *it, budget))
            trailer.AddMissing(stream->value);
    // A /Root that names no object found (or none at all) gives way to the last catalog.
    const PdfObject* root = trailer.Get("Root");
    const bool rootFound = root && root->IsReference() &&
                           std::any_of(entries.begin(), entries.end(), [&](const XrefEntry& e) {
                               return e.Number() == root->integer;
                           });
    if (!rootFound && !scan.catalogs.empty()) {
        PdfObject root;
        root.kind = PdfObject::Kind::Reference;
        root.integer = scan.catalogs.back();
        trailer.Set("Root", std::move(root));
    }
    // A hybrid file has a trailer and a stream in each section.
    const size_t sections = std::max(scan.trailers.size(), scan.xrefStreams.size());
    return XrefTable(XrefTable::Origin::Recovery, std::move(entries), std::move(trailer),
                     int32_t(std::clamp<size_t>(sections, 1, INT32_MAX)));
}
