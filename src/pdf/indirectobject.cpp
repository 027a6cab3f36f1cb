// SPDX-License-Identifier: GPL-3.0-or-later
#include "pdf/indirectobject.h"

#include "common/errors.h"
#include "pdf/bytesource.h"
#include "pdf/readbudget.h"

#include <algorithm>

namespace {

// A value that ends this close to the end of the bytes read may go on past them ("12 0" before
// "R", digits of a number): more is read first.
constexpr size_t kLookahead = 32;
constexpr int64_t kFirstWindow = 1024;

bool EndstreamFollows(const ByteSource& source, int64_t at) {
    char after[24];
    const std::string_view tail(after, size_t(source.ReadAt(at, after, sizeof after)));
    const size_t k = tail.find_first_not_of(std::string_view("\0\t\n\f\r ", 6));
    return k != std::string_view::npos && tail.substr(k, 9) == "endstream";
}

// Where the data of the stream whose "stream" line ends at start runs, given its /Length.
int64_t DataLength(const ByteSource& source, int64_t start, std::optional<int64_t> length) {
    const bool lengthFits = length && *length >= 0 && *length <= source.Size() - start;
    if (lengthFits && EndstreamFollows(source, start + *length))
        return *length;
    const int64_t end = source.Find("endstream", start, ReadBudget::kMaxStreamLength + 1);
    if (end >= 0) {
        // The line end before the keyword belongs to it, not to the data.
        const int64_t from = std::max(start, end - 2);
        const std::string tail = source.Read(from, end - from);
        std::string_view eol = tail;
        int64_t n = end - start;
        if (!eol.empty() && eol.back() == '\n') {
            eol.remove_suffix(1);
            --n;
        }
        if (!eol.empty() && eol.back() == '\r')
            --n;
        return n;
    }
    return lengthFits ? *length : -1;
}

} // namespace

bool HoldsObject(const ByteSource& source, int64_t offset, int64_t number) {
    char head[48];
    const std::string_view text(head, size_t(source.ReadAt(offset, head, sizeof head)));
    size_t pos = 0;
    int64_t found = -1;
    int32_t generation = 0;
    return ParseObjectHeader(text, pos, found, generation) && found == number;
}

namespace {

// Parses the bytes at offset with parse(text, pos, cutShort) in windows of 1 KiB, 2 KiB and so
// on until the value ends within one (a damaged object is cut at kMaxObjectBytes), each parse
// counting against budget. A window is parsed where the source's cache holds it, as most are,
// or else in a copy. The windows are the same wherever the object lies in the cache's blocks,
// so that what is read never depends on it. parse returns false when the bytes hold nothing to
// parse, and so does this.
template <class Parse>
bool ParseInWindows(const ByteSource& source, int64_t offset, ReadBudget& budget, Parse&& parse) {
    if (offset < 0 || offset >= source.Size())
        return false;
    std::string copy;
    std::string_view cached = source.CachedFrom(offset); // valid until the source reads again
    for (int64_t window = kFirstWindow;; window = std::min(window * 2, kMaxObjectBytes)) {
        std::string_view text;
        if (int64_t(cached.size()) >= window || offset + int64_t(cached.size()) >= source.Size()) {
            text = cached.substr(0, size_t(window));
        } else {
            copy = source.Read(offset, window);
            cached = {};
            text = copy;
        }
        size_t pos = 0;
        bool cutShort = false;
        const bool parsed = parse(text, pos, cutShort);
        budget.SpendParsing(int64_t(std::max<size_t>(pos, 1))); // what the parser went through
        if (!parsed)
            return false;
        // A window that came back short ends the file: it is at its end, or it shrank since
        // it was opened.
        const bool wholeFile =
            int64_t(text.size()) < window || offset + int64_t(text.size()) >= source.Size();
        if (wholeFile || window == kMaxObjectBytes ||
            (!cutShort && pos + kLookahead <= text.size()))
            return true;
    }
}

} // namespace

PdfObject ReadValueAt(const ByteSource& source, int64_t offset, ReadBudget& budget) {
    PdfObject value;
    ParseInWindows(source, offset, budget, [&](std::string_view text, size_t& at, bool& cutShort) {
        value = ParseObject(text, at, &cutShort);
        return true;
    });
    return value;
}

std::optional<IndirectObject> ReadIndirectObject(const ByteSource& source, int64_t offset,
                                                 ReadBudget& budget,
                                                 const LengthResolver& resolveLength, KeySet keep) {
    IndirectObject object;
    size_t data = std::string::npos; // where a stream's data starts, from offset
    const bool parsed = ParseInWindows(
        source, offset, budget, [&](std::string_view bytes, size_t& at, bool& cutShort) {
            if (!ParseObjectHeader(bytes, at, object.number, object.generation))
                return false;
            object.value = ParseObject(bytes, at, &cutShort, keep);
            data = object.value.IsDictionary() ? StreamDataStart(bytes, at) : std::string::npos;
            return true;
        });
    if (!parsed)
        return std::nullopt;
    // An object read for some keys is wanted for them alone: where the data of a stream would
    // end is not looked for.
    if (data == std::string::npos || !keep.empty())
        return object;
    std::optional<int64_t> length;
    if (const PdfObject* l = object.value.Get("Length"); l && l->IsInteger())
        length = l->integer;
    else if (l && l->IsReference() && resolveLength)
        length = resolveLength(*l);
    object.dataStart = offset + int64_t(data);
    object.dataLength = DataLength(source, object.dataStart, length);
    return object;
}

std::string RawStreamData(const ByteSource& source, const IndirectObject& object,
                          ReadBudget& budget, int64_t maxBytes) {
    if (!object.IsStream() || object.dataLength <= 0 || maxBytes <= 0)
        return {};
    const int64_t length = std::min(object.dataLength, maxBytes);
    if (length > ReadBudget::kMaxStreamLength)
        throw EReadError(ErrorKind::OverBudget, "ストリームが 64 MiB を超えます");
    budget.SpendStreamBytes(length);
    return source.Read(object.dataStart, length);
}
