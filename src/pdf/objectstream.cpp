// SPDX-License-Identifier: GPL-3.0-or-later
#include "pdf/objectstream.h"

#include "pdf/indirectobject.h"
#include "pdf/securityhandler.h"
#include "pdf/streamfilters.h"

#include <algorithm>

std::string ObjectStreamData(const ByteSource& source, const IndirectObject& stream,
                             const SecurityHandler* security, size_t maxOutput,
                             ReadBudget& budget) {
    std::string raw = RawStreamData(source, stream, budget);
    if (security)
        raw =
            security->DecryptStream(std::move(raw), stream.number, stream.generation, stream.value);
    return DecodeStream(stream.value, raw, maxOutput, budget);
}

namespace {

// Whether text holds only digits and blanks, no run of digits longer than 18: numbers that
// cannot overflow, with nothing between them that could make two of them part of another value.
bool PlainNumbers(std::string_view text) {
    size_t digits = 0;
    for (const char c : text) {
        if (c >= '0' && c <= '9') {
            if (++digits > 18)
                return false;
        } else if (IsPdfSpace(c)) {
            digits = 0;
        } else {
            return false;
        }
    }
    return true;
}

// The next number of plain text (PlainNumbers) from pos on, with pos left after it; false at
// its end.
bool NextPlainNumber(std::string_view text, size_t& pos, int64_t& value) {
    while (pos < text.size() && IsPdfSpace(text[pos]))
        ++pos;
    if (pos == text.size())
        return false;
    value = 0;
    for (; pos < text.size() && !IsPdfSpace(text[pos]); ++pos)
        value = value * 10 + (text[pos] - '0');
    return true;
}

} // namespace

ObjectStreamTable ReadObjectStreamTable(int64_t count, int64_t first, std::string_view data,
                                        int64_t dataSize) {
    ObjectStreamTable table;
    if (first < 0 || first > int64_t(data.size()) || first > dataSize || count <= 0)
        return table;
    const std::string_view header = data.substr(0, size_t(first));
    const int64_t room = dataSize - first;
    size_t pos = 0;
    // Writers put nothing but the numbers there, which are then read without asking, number by
    // number, whether they begin some other value.
    const bool plain = PlainNumbers(header);
    auto next = [&](int64_t& value) {
        return plain ? NextPlainNumber(header, pos, value) : ParseIntegerAt(header, pos, value);
    };
    // Each pair takes at least four bytes ("1 0 "), so the header bounds the count.
    for (int64_t k = 0;
         k < std::min(count, kMaxObjectStreamObjects) && size_t(k) <= header.size() / 2; ++k) {
        int64_t number = 0, offset = 0;
        if (!next(number) || !next(offset))
            break;
        if (number < 0 || offset < 0 || offset > room)
            continue; // an object that cannot be there
        table.objects.emplace_back(number, first + offset);
    }
    return table;
}
