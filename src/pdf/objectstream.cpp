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

ObjectStreamTable ReadObjectStreamTable(int64_t count, int64_t first, std::string_view data,
                                        int64_t dataSize) {
    ObjectStreamTable table;
    if (first < 0 || first > int64_t(data.size()) || first > dataSize || count <= 0)
        return table;
    const std::string_view header = data.substr(0, size_t(first));
    const int64_t room = dataSize - first;
    size_t pos = 0;
    // Each pair takes at least four bytes ("1 0 "), so the header bounds the count.
    for (int64_t k = 0;
         k < std::min(count, kMaxObjectStreamObjects) && size_t(k) <= header.size() / 2; ++k) {
        int64_t number = 0, offset = 0;
        if (!ParseIntegerAt(header, pos, number) || !ParseIntegerAt(header, pos, offset))
            break;
        if (number < 0 || offset < 0 || offset > room)
            continue; // an object that cannot be there
        table.objects.emplace_back(number, first + offset);
    }
    return table;
}
