// SPDX-License-Identifier: GPL-3.0-or-later
#include "pdf/objectstore.h"

#include "pdf/bytesource.h"
#include "pdf/readbudget.h"
#include "pdf/securityhandler.h"
#include "pdf/streamfilters.h"
#include "pdf/xreftable.h"

#include <algorithm>

namespace {

// References are followed this many times at most: "1 0 obj 2 0 R" and "2 0 obj 1 0 R" must
// not loop.
constexpr int kMaxResolve = 8;
// Decoded object streams kept for the next object: a page tree walks through them in order.
constexpr size_t kCachedStreamBytes = size_t(32) << 20;
// What an object stream is first decoded to beyond its table.
constexpr size_t kFirstDecodedObjectBytes = size_t(1) << 10;
// Objects read inside one another (a stream's /Length, an object stream's own object).
constexpr size_t kMaxNesting = 4;

int64_t IntegerOr(const PdfObject* o, int64_t def) {
    return o && o->IsInteger() ? o->integer : def;
}

// Marks n as being read for as long as it lives.
class Reading {
public:
    Reading(std::vector<int64_t>& reading, int64_t n) : reading_(reading) { reading_.push_back(n); }
    ~Reading() { reading_.pop_back(); }
    Reading(const Reading&) = delete;
    Reading& operator=(const Reading&) = delete;

private:
    std::vector<int64_t>& reading_;
};

} // namespace

ObjectStore::ObjectStore(const ByteSource& source, const XrefTable& table, ReadBudget& budget,
                         const SecurityHandler* security)
    : source_(source), table_(table), budget_(budget), security_(security) {}

std::optional<IndirectObject> ObjectStore::InFile(int64_t n, KeySet keep) {
    const XrefEntry* entry = table_.Find(n);
    if (!entry || entry->kind() != XrefEntry::Kind::InFile ||
        std::find(reading_.begin(), reading_.end(), n) != reading_.end() ||
        reading_.size() >= kMaxNesting)
        return std::nullopt;
    const Reading reading(reading_, n);
    std::optional<IndirectObject> object = ReadIndirectObject(
        source_, entry->Offset(), budget_,
        [this](const PdfObject& length) {
            const PdfObject value = Resolve(length);
            return value.IsInteger() ? std::optional<int64_t>(value.integer) : std::nullopt;
        },
        keep);
    if (!object || object->number != n) {
        if (table_.origin() == XrefTable::Origin::Chain)
            throw ObjectNotAtEntry();
        return std::nullopt;
    }
    return object;
}

PdfObject ObjectStore::Object(int64_t n, KeySet keep) {
    const XrefEntry* entry = table_.Find(n);
    if (!entry)
        return {};
    if (entry->kind() == XrefEntry::Kind::Compressed)
        return Compressed(n, entry->Stream(), entry->Index(), keep);
    std::optional<IndirectObject> object = InFile(n, keep);
    if (!object)
        return {};
    DecryptStrings(object->value, n, object->generation);
    return std::move(object->value);
}

PdfObject ObjectStore::Resolve(const PdfObject& value, KeySet keep) {
    if (!value.IsReference())
        return value;
    PdfObject o = Object(value.integer, keep);
    for (int k = 1; k < kMaxResolve && o.IsReference(); ++k)
        o = Object(o.integer, keep);
    if (o.IsReference())
        return {};
    return o; // moved out, where the conditional operator would copy it
}

std::string ObjectStore::StreamData(int64_t n, size_t maxOutput) {
    const std::optional<IndirectObject> object = InFile(n);
    if (!object || !object->IsStream())
        return {};
    // Data that no filter or cipher changes is read only as far as it is wanted.
    const PdfObject* filter = object->value.Get("Filter");
    const bool asItStands = !security_ && (!filter || filter->IsNull());
    std::string raw =
        RawStreamData(source_, *object, budget_,
                      asItStands ? int64_t(std::min<size_t>(maxOutput, INT64_MAX)) : INT64_MAX);
    if (security_)
        raw = security_->DecryptStream(std::move(raw), n, object->generation, object->value);
    return DecodeStream(object->value, raw, maxOutput, budget_);
}

void ObjectStore::DecryptStrings(PdfObject& value, int64_t n, int32_t g) const {
    if (!security_)
        return;
    if (value.IsString()) {
        value.text = security_->DecryptString(value.text, n, g);
    } else if (value.IsArray()) {
        for (PdfObject& item : value.items)
            DecryptStrings(item, n, g);
    } else if (value.IsDictionary()) {
        // A cross-reference stream is never encrypted.
        if (const PdfObject* type = value.Get("Type"); type && type->IsName("XRef"))
            return;
        for (PdfEntry& entry : value.entries)
            DecryptStrings(entry.value, n, g);
    }
}

const ObjectStore::LoadedStream* ObjectStore::ObjectStream(int64_t s, size_t want) {
    for (auto it = streams_.begin(); it != streams_.end(); ++it)
        if (it->number == s) {
            if (!it->whole && it->data.size() < want) {
                cachedBytes_ -= it->data.size();
                streams_.erase(it);
                break; // decoded again, further
            }
            streams_.splice(streams_.begin(), streams_, it);
            return &streams_.front();
        }
    const std::optional<IndirectObject> object = InFile(s);
    if (!object || !object->IsStream())
        return nullptr;
    const int64_t first = IntegerOr(object->value.Get("First"), 0);
    // At first the table and a few objects after it; more as objects further on are asked for.
    const size_t limit = std::min(
        kMaxObjectStreamBytes,
        std::max(want, size_t(std::clamp<int64_t>(first, 0, int64_t(kMaxObjectStreamBytes))) +
                           kFirstDecodedObjectBytes));
    LoadedStream loaded;
    loaded.number = s;
    // Its data is decrypted as a whole; the strings of the objects inside are not encrypted
    // on their own.
    loaded.data = ObjectStreamData(source_, *object, security_, limit, budget_);
    loaded.whole = loaded.data.size() < limit || limit == kMaxObjectStreamBytes;
    const int64_t size = int64_t(loaded.data.size());
    // Offsets beyond a part are kept: the rest of the stream may hold them.
    loaded.table = ReadObjectStreamTable(IntegerOr(object->value.Get("N"), 0), first, loaded.data,
                                         loaded.whole ? size : INT64_MAX);
    // An object's bytes end where the next one (by offset) begins, or with the data: a string
    // that never closes cannot make a parse run through the rest of the stream. Writers list
    // the objects in order mostly.
    loaded.starts.reserve(loaded.table.objects.size());
    for (const auto& [number, offset] : loaded.table.objects)
        loaded.starts.push_back(offset);
    if (!std::is_sorted(loaded.starts.begin(), loaded.starts.end()))
        std::sort(loaded.starts.begin(), loaded.starts.end());
    while (!streams_.empty() && cachedBytes_ + loaded.data.size() > kCachedStreamBytes) {
        cachedBytes_ -= streams_.back().data.size();
        streams_.pop_back();
    }
    cachedBytes_ += loaded.data.size();
    streams_.push_front(std::move(loaded));
    return &streams_.front();
}

int64_t ObjectStore::LoadedStream::EndOf(int64_t start) const {
    const auto next = std::upper_bound(starts.begin(), starts.end(), start);
    return next != starts.end() ? *next : whole ? int64_t(data.size()) : INT64_MAX;
}

PdfObject ObjectStore::Compressed(int64_t n, int64_t s, int64_t index, KeySet keep) {
    for (size_t want = 0;;) {
        const LoadedStream* stream = ObjectStream(s, want);
        if (!stream)
            return {};
        const auto& objects = stream->table.objects;
        // The entry's index names the object; a table that disagrees is searched by number.
        size_t k = size_t(index);
        if (k >= objects.size() || objects[k].first != n)
            k = size_t(std::find_if(objects.begin(), objects.end(),
                                    [n](const auto& o) { return o.first == n; }) -
                       objects.begin());
        const int64_t decoded = int64_t(stream->data.size());
        if (!stream->whole && (k == objects.size() || stream->EndOf(objects[k].second) > decoded)) {
            want = size_t(std::max<int64_t>(decoded, 1)) * 4;
            continue;
        }
        if (k == objects.size())
            return {};
        const int64_t start = objects[k].second, end = std::max(start, stream->EndOf(start));
        budget_.SpendParsing(end - start);
        const std::string_view text =
            std::string_view(stream->data).substr(size_t(start), size_t(end - start));
        size_t pos = 0;
        return ParseObject(text, pos, nullptr, keep);
    }
}
