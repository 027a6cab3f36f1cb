// SPDX-License-Identifier: GPL-3.0-or-later
// The object store: objects by number, from the file's body or from an object stream, each
// object stream decompressed once per reader.

#include "pdf/pdfstore.h"
#include "pdf/pdfstream.h"

#include "common/errors.h"

#include <algorithm>

namespace {

// References are followed this many times at most: "1 0 obj 2 0 R" and "2 0 obj 1 0 R" must
// not loop.
constexpr int kMaxResolve = 8;

int64_t IntegerOr(const PdfObject* o, int64_t def) {
    return o && o->IsInteger() ? o->integer : def;
}

// Whether the text of an object ("n g obj" and its value) ends inside a string or a
// dictionary.
bool EndsInsideValue(std::string_view text) {
    size_t pos = 0;
    int64_t number = 0;
    int32_t generation = 0;
    if (!ParseObjectHeader(text, pos, number, generation))
        return false;
    bool cutShort = false;
    ParseObject(text, pos, &cutShort);
    return cutShort;
}

} // namespace

bool PdfReader::HoldsObject(int64_t offset, int64_t n) {
    char head[48];
    const std::string_view text(head, size_t(source_.ReadAt(offset, head, sizeof head)));
    size_t pos = 0;
    int64_t number = -1;
    int32_t generation = 0;
    return ParseObjectHeader(text, pos, number, generation) && number == n;
}

std::string PdfReader::ObjectBytesAt(int64_t offset) {
    KeywordRead r = ReadUntilKeyword(offset, "endobj");
    if (!r.found || !EndsInsideValue(r.bytes))
        return std::move(r.bytes);
    // An "endobj" inside a string does not end the object: the text up to a later one is
    // taken when it completes the object (a few tries at most). A string that never closes
    // must not swallow the objects after it.
    std::string longer = r.bytes;
    for (int64_t at = r.keywordOffset, more = 0; more < 4; ++more) {
        const KeywordRead rest = ReadUntilKeyword(at + 6, "endobj");
        if (!rest.found)
            break;
        longer += "endobj";
        longer += rest.bytes;
        at = rest.keywordOffset;
        if (!EndsInsideValue(longer))
            return longer;
    }
    return std::move(r.bytes);
}

std::string PdfReader::ObjectBytes(int32_t n) {
    const XrefEntry* found = nullptr;
    try {
        found = &EntryOf(n);
    } catch (const EListError&) {
        // An object no section lists (a /Prev chain cut short, a table that forgot it) is
        // taken from where a scan finds it; a free entry, though, means it was deleted.
        if (const int64_t offset = ScannedOffset(n); offset >= 0)
            return ObjectBytesAt(offset);
        throw;
    }
    const XrefEntry& entry = *found;
    if (entry.kind == XrefEntry::Kind::Compressed)
        return std::to_string(n) + " 0 obj\r\n" + CompressedObjectText(entry);
    if (entry.kind == XrefEntry::Kind::Free)
        throw EListError(int64_t(n) + 2);
    int64_t offset = entry.offset;
    // An entry that does not hold its object (offsets shifted by an edit, a damaged table):
    // the object is taken from where a scan of the file finds it.
    if (!HoldsObject(offset, n))
        if (const int64_t found = ScannedOffset(n); found >= 0)
            offset = found;
    return ObjectBytesAt(offset);
}

int32_t PdfReader::ObjectGeneration(int32_t n) {
    const XrefEntry* entry = nullptr;
    try {
        entry = &EntryOf(n);
    } catch (const EListError&) {
        return 0;
    }
    if (entry->kind != XrefEntry::Kind::InFile)
        return 0;
    const std::string bytes = ObjectBytes(n);
    size_t pos = 0;
    int64_t number = 0;
    int32_t generation = 0;
    return ParseObjectHeader(bytes, pos, number, generation) ? generation : 0;
}

PdfObject PdfReader::ReadObject(int32_t n) {
    std::string bytes;
    try {
        bytes = ObjectBytes(n);
    } catch (const EListError&) {
        return {}; // a reference to a missing or free object is null
    }
    size_t pos = 0;
    int64_t number = 0;
    int32_t generation = 0;
    if (!ParseObjectHeader(bytes, pos, number, generation))
        return {};
    return ParseObject(bytes, pos);
}

PdfObject PdfReader::Resolve(const PdfObject& value) {
    PdfObject o = value;
    for (int k = 0; k < kMaxResolve && o.IsReference(); ++k)
        o = ReadObject(int32_t(o.integer));
    return o.IsReference() ? PdfObject{} : o;
}

bool PdfReader::ReadStreamObjectAt(int64_t offset, PdfObject& dict, std::string& raw) {
    const KeywordRead head = ReadUntilKeyword(offset, "stream");
    if (!head.found)
        return false;
    size_t pos = 0;
    int64_t number = 0;
    int32_t generation = 0;
    if (!ParseObjectHeader(head.bytes, pos, number, generation))
        return false;
    dict = ParseObject(head.bytes, pos);
    // The keyword must follow the dictionary, or it belongs to some later object.
    if (!dict.IsDictionary() ||
        head.bytes.find_first_not_of(std::string_view("\0\t\n\f\r ", 6), pos) != std::string::npos)
        return false;
    // The data starts after the keyword's line end (CR LF or LF; a lone CR is taken too).
    char eol[2];
    const int64_t got = source_.ReadAt(head.keywordOffset + 6, eol, 2);
    int64_t start = head.keywordOffset + 6;
    if (got >= 1 && eol[0] == '\r')
        start += got >= 2 && eol[1] == '\n' ? 2 : 1;
    else if (got >= 1 && eol[0] == '\n')
        ++start;
    // /Length, direct or indirect, when "endstream" follows where it says; else the data runs
    // up to the keyword.
    int64_t length = -1;
    if (const PdfObject* l = dict.Get("Length"); l && l->IsInteger())
        length = l->integer;
    else if (l && l->IsReference() && l->integer != number && loadingStreams_.size() < 4) {
        loadingStreams_.push_back(int32_t(number));
        const PdfObject resolved = Resolve(*l);
        length = IntegerOr(&resolved, -1);
        loadingStreams_.pop_back();
    }
    if (length >= 0 && length <= Size() - start) {
        char after[16];
        const std::string_view tail(after,
                                    size_t(source_.ReadAt(start + length, after, sizeof after)));
        const size_t k = tail.find_first_not_of(std::string_view("\0\t\n\f\r ", 6));
        if (k != std::string_view::npos && tail.substr(k, 9) == "endstream") {
            raw = source_.ReadDirect(start, length);
            return true;
        }
    }
    const KeywordRead data = ReadUntilKeyword(start, "endstream", kMaxDecodedStream);
    raw = data.bytes;
    // The line end before the keyword belongs to it, not to the data.
    if (!raw.empty() && raw.back() == '\n')
        raw.pop_back();
    if (!raw.empty() && raw.back() == '\r')
        raw.pop_back();
    return true;
}

std::string PdfReader::ReadStreamData(int32_t n, bool encrypted) {
    const XrefEntry* entry = nullptr;
    try {
        entry = &EntryOf(n);
    } catch (const EListError&) {
        return {};
    }
    if (entry->kind != XrefEntry::Kind::InFile)
        return {}; // streams are never inside object streams
    int64_t offset = entry->offset;
    if (!HoldsObject(offset, n))
        if (const int64_t found = ScannedOffset(n); found >= 0)
            offset = found;
    PdfObject dict;
    std::string raw;
    if (!ReadStreamObjectAt(offset, dict, raw))
        return {};
    if (decryptStream_ && encrypted && !(dict.Get("Type") && dict.Get("Type")->IsName("XRef")))
        raw = decryptStream_(std::move(raw), n, ObjectGeneration(n));
    return DecodeStream(dict, raw);
}

void PdfReader::SetStreamDecryptor(StreamDecryptor decryptor) {
    decryptStream_ = std::move(decryptor);
    objectStreams_.clear();
    objectValues_.clear();
    decodedValues_.clear();
}

bool PdfReader::IsCompressed(int32_t n) const {
    try {
        return EntryOf(n).kind == XrefEntry::Kind::Compressed;
    } catch (const EListError&) {
        return false;
    }
}

const PdfReader::ObjectStream& PdfReader::LoadObjectStream(int32_t s) {
    static const ObjectStream kNone;
    if (const auto it = objectStreams_.find(s); it != objectStreams_.end())
        return it->second;
    // A stream that names itself (or one being loaded) holds nothing this reader can use.
    if (std::find(loadingStreams_.begin(), loadingStreams_.end(), s) != loadingStreams_.end())
        return kNone;
    ObjectStream& stream = objectStreams_[s]; // kept empty if what follows fails
    const XrefEntry* entry = nullptr;
    try {
        entry = &EntryOf(s);
    } catch (const EListError&) {
        return stream;
    }
    if (entry->kind != XrefEntry::Kind::InFile)
        return stream;
    int64_t offset = entry->offset;
    if (!HoldsObject(offset, s))
        if (const int64_t found = ScannedOffset(s); found >= 0)
            offset = found;
    PdfObject dict;
    std::string raw;
    loadingStreams_.push_back(s);
    const bool read = ReadStreamObjectAt(offset, dict, raw);
    loadingStreams_.pop_back();
    if (!read)
        return stream;
    if (decryptStream_)
        raw = decryptStream_(std::move(raw), s, ObjectGeneration(s));
    stream.data = DecodeStream(dict, raw);
    const int64_t count = IntegerOr(dict.Get("N"), 0);
    stream.first =
        std::clamp<int64_t>(IntegerOr(dict.Get("First"), 0), 0, int64_t(stream.data.size()));
    const std::string_view header = std::string_view(stream.data).substr(0, size_t(stream.first));
    size_t pos = 0;
    for (int64_t k = 0; k < count && size_t(k) < header.size() / 2 + 1; ++k) {
        const PdfObject number = ParseObject(header, pos);
        const PdfObject at = ParseObject(header, pos);
        if (!number.IsInteger() || !at.IsInteger())
            break;
        stream.objects.emplace_back(number.integer, at.integer);
    }
    return stream;
}

std::string PdfReader::CompressedObjectText(const XrefEntry& entry) {
    const ObjectStream& stream = LoadObjectStream(entry.stream);
    // The entry's index names the object; a header that disagrees is searched by number.
    size_t k = size_t(entry.index);
    if (k >= stream.objects.size() || stream.objects[k].first != entry.number) {
        k = 0;
        while (k < stream.objects.size() && stream.objects[k].first != entry.number)
            ++k;
        if (k == stream.objects.size())
            return {};
    }
    const int64_t size = int64_t(stream.data.size());
    const int64_t start = std::clamp<int64_t>(stream.first + stream.objects[k].second, 0, size);
    int64_t end = size;
    if (k + 1 < stream.objects.size())
        end = std::clamp<int64_t>(stream.first + stream.objects[k + 1].second, start, size);
    return stream.data.substr(size_t(start), size_t(end - start));
}
