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

// The table read in one pass from a header that holds only digits and blanks, no run of digits
// longer than 18: numbers that cannot overflow, with nothing between them that could make two
// of them part of another value. Writers put nothing else there. False when the header holds
// anything else (which the parser then reads value by value), with the table left empty.
bool ReadPlainTable(std::string_view header, int64_t pairs, int64_t first, int64_t room,
                    ObjectStreamTable& table) {
    int64_t taken = 0, value = 0, number = 0;
    size_t digits = 0;
    bool haveNumber = false;
    for (size_t i = 0; i <= header.size(); ++i) {
        const char c = i < header.size() ? header[i] : ' ';
        if (c >= '0' && c <= '9') {
            if (++digits > 18) {
                table.objects.clear();
                return false;
            }
            value = value * 10 + (c - '0');
            continue;
        }
        if (!IsPdfSpace(c)) {
            table.objects.clear();
            return false;
        }
        if (digits == 0)
            continue;
        digits = 0;
        if (taken < pairs) {
            if (!haveNumber) {
                number = value;
            } else {
                ++taken;
                if (value <= room) // else an object that cannot be there
                    table.objects.emplace_back(number, first + value);
            }
            haveNumber = !haveNumber;
        }
        value = 0;
    }
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
    // Each pair takes at least four bytes ("1 0 "), so the header bounds the count.
    const int64_t pairs =
        std::min({count, kMaxObjectStreamObjects, int64_t(header.size() / 2) + 1});
    table.objects.reserve(size_t(std::min<int64_t>(pairs, int64_t(header.size() / 4) + 1)));
    if (ReadPlainTable(header, pairs, first, room, table))
        return table;
    size_t pos = 0;
    for (int64_t k = 0; k < pairs; ++k) {
        int64_t number = 0, offset = 0;
        if (!ParseIntegerAt(header, pos, number) || !ParseIntegerAt(header, pos, offset))
            break;
        if (number < 0 || offset < 0 || offset > room)
            continue; // an object that cannot be there
        table.objects.emplace_back(number, first + offset);
    }
    return table;
}
