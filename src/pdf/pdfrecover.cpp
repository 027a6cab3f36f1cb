// SPDX-License-Identifier: GPL-3.0-or-later
// Damaged files: the object table rebuilt from a scan of the whole file for "n g obj"
// headers, trailers and cross-reference streams, as mainstream readers do.

#include "pdf/pdfstore.h"

#include "common/errors.h"

#include <algorithm>
#include <exception>

namespace {

// The scan reads the file in chunks of this size, each overlapping the next by kOverlap
// bytes so that a header across the edge is seen whole once.
constexpr int64_t kChunk = int64_t(1) << 20;
constexpr int64_t kOverlap = 64;
// More headers than any real file has: a hostile file made of "1 0 obj" costs no more.
constexpr size_t kMaxScannedObjects = size_t(1) << 20;
// Trailers and cross-reference streams looked at, the newest first.
constexpr size_t kMaxTrailers = 64;
// The scan stops here: a damaged file larger than this is recovered from its first part, so
// that one bad offset in a huge file cannot cost a read of all of it.
constexpr int64_t kMaxScan = int64_t(1) << 30;
// How far after a header the scan looks for the object's /Type.
constexpr size_t kTypeWindow = 512;

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsRegularChar(char c) {
    return !IsPdfSpace(c) && std::string_view("()<>[]{}/%").find(c) == std::string_view::npos;
}

// Whether the name /type (whole) stands in window.
bool HasName(std::string_view window, std::string_view name) {
    for (size_t at = window.find(name); at != std::string_view::npos;
         at = window.find(name, at + 1))
        if (at + name.size() == window.size() || !IsRegularChar(window[at + name.size()]))
            return true;
    return false;
}

// The start of "n g obj" whose "obj" is at p, or npos; number set when found.
size_t HeaderStart(std::string_view text, size_t p, int64_t& number) {
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
    if (!digits(10) || (i > 0 && IsRegularChar(text[i - 1])))
        return std::string_view::npos;
    number = 0;
    for (size_t k = i; k < numberEnd; ++k)
        number = number * 10 + (text[k] - '0');
    return i;
}

} // namespace

const FileScan& PdfReader::Scan() {
    if (scan_)
        return *scan_;
    scan_.emplace();
    FileScan& scan = *scan_;
    const int64_t size = std::min(Size(), kMaxScan);
    for (int64_t start = 0; start < size;) {
        const std::string chunk = source_.ReadDirect(start, kChunk);
        if (chunk.empty())
            break;
        const bool last = start + int64_t(chunk.size()) >= size;
        const size_t limit = last ? chunk.size() : chunk.size() - size_t(kOverlap);
        for (size_t p = chunk.find("obj"); p != std::string::npos && p < limit;
             p = chunk.find("obj", p + 3)) {
            if (p + 3 < chunk.size() && IsRegularChar(chunk[p + 3]))
                continue;
            int64_t number = 0;
            const size_t at = HeaderStart(chunk, p, number);
            if (at == std::string_view::npos || scan.objects.size() >= kMaxScannedObjects)
                continue;
            const int64_t offset = start + int64_t(at);
            scan.objects.emplace_back(number, offset);
            scan.newest[number] = offset;
            std::string_view window = std::string_view(chunk).substr(p + 3, kTypeWindow);
            window = window.substr(0, std::min(window.find("stream"), window.find("endobj")));
            if (HasName(window, "/ObjStm"))
                scan.objectStreams.push_back(number);
            else if (HasName(window, "/XRef"))
                scan.xrefStreams.push_back(offset);
            else if (HasName(window, "/Catalog"))
                scan.catalogs.push_back(number);
        }
        for (size_t p = chunk.find("trailer"); p != std::string::npos && p < limit;
             p = chunk.find("trailer", p + 7))
            scan.trailers.push_back(start + int64_t(p));
        if (last)
            break;
        start += int64_t(chunk.size()) - kOverlap;
    }
    return scan;
}

int64_t PdfReader::ScannedOffset(int64_t n) {
    const FileScan& scan = Scan();
    const auto it = scan.newest.find(n);
    return it == scan.newest.end() ? -1 : it->second;
}

bool PdfReader::RecoverXref() {
    const FileScan& scan = Scan();
    if (scan.objects.empty())
        return false;
    objects_.clear();
    sectionTexts_.clear();
    xrefLines_.reset();
    trailer_ = {};
    recovered_ = true;
    // The newest header of a number first: the sort keeps the first entry of each.
    for (auto it = scan.objects.rbegin(); it != scan.objects.rend(); ++it)
        objects_.push_back({it->first, XrefEntry::Kind::InFile, it->second, 0, 0});
    objectsSorted_ = false;
    // Objects inside object streams, where no header in the body has their number.
    std::vector<XrefEntry> compressed;
    for (auto it = scan.objectStreams.rbegin(); it != scan.objectStreams.rend(); ++it) {
        const ObjectStream& stream = LoadObjectStream(int32_t(*it));
        for (size_t k = 0; k < stream.objects.size() && compressed.size() < kMaxScannedObjects; ++k)
            if (stream.objects[k].first >= 0 && stream.objects[k].first <= INT32_MAX)
                compressed.push_back({stream.objects[k].first, XrefEntry::Kind::Compressed, -1,
                                      int32_t(*it), int32_t(k)});
    }
    objects_.insert(objects_.end(), compressed.begin(), compressed.end());
    objectsSorted_ = false;

    size_t looked = 0;
    for (auto it = scan.trailers.rbegin(); it != scan.trailers.rend() && looked < kMaxTrailers;
         ++it, ++looked) {
        const std::string text = ReadTrailerText(*it);
        if (const size_t open = text.find("<<"); open != std::string::npos) {
            size_t at = open;
            AddTrailer(ParseObject(text, at));
        }
    }
    looked = 0;
    for (auto it = scan.xrefStreams.rbegin();
         it != scan.xrefStreams.rend() && looked < kMaxTrailers; ++it, ++looked) {
        PdfObject dict;
        std::string raw;
        if (ReadStreamObjectAt(*it, dict, raw))
            AddTrailer(dict);
    }
    if (!trailer_.Get("Root") && !scan.catalogs.empty()) {
        PdfObject root;
        root.kind = PdfObject::Kind::Reference;
        root.integer = scan.catalogs.back();
        PdfObject dict;
        dict.kind = PdfObject::Kind::Dictionary;
        dict.entries.push_back(PdfEntry{"Root", std::move(root)});
        AddTrailer(dict);
    }
    if (const PdfObject* ids = trailer_.Get("ID");
        ids && ids->kind == PdfObject::Kind::Array && !ids->items.empty()) {
        fileId_ = ids->items[0].StringBytes();
    }
    return true;
}

namespace {

// Whether the chain led to a root the reader can read: a /Root whose entry holds its object.
bool RootUsable(PdfReader& reader) {
    const PdfObject* root = reader.Trailer().Get("Root");
    if (!root || !root->IsReference())
        return false;
    try {
        const XrefEntry& entry = reader.EntryOf(root->integer);
        return entry.kind == XrefEntry::Kind::Compressed ||
               (entry.kind == XrefEntry::Kind::InFile &&
                reader.HoldsObject(entry.offset, root->integer));
    } catch (const EListError&) {
        return false;
    }
}

} // namespace

void ReadCrossReference(PdfReader& reader) {
    std::exception_ptr error;
    try {
        reader.ReadXrefChain(reader.FindStartXref());
        if (RootUsable(reader))
            return;
    } catch (const EListError&) {
        error = std::current_exception();
    } catch (const EPdfFormatError&) {
        error = std::current_exception();
    }
    if (reader.RecoverXref())
        return;
    if (error)
        std::rethrow_exception(error);
}
