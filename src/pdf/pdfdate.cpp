// SPDX-License-Identifier: GPL-3.0-or-later
#include "pdf/pdfdate.h"

#include <charconv>

TDateTime ParsePdfDate(std::string_view s) {
    while (!s.empty() && uint8_t(s.front()) <= 0x20)
        s.remove_prefix(1);
    if (s.substr(0, 2) == "D:")
        s.remove_prefix(2);
    size_t digits = 0;
    while (digits < s.size() && s[digits] >= '0' && s[digits] <= '9')
        ++digits;
    // Fields present must be whole; those missing at the end take their defaults. What may
    // follow the digits is the time zone.
    const bool wholeFields = digits >= 14 || (digits >= 4 && digits % 2 == 0);
    const bool zoneFollows = digits >= 14 || digits == s.size() ||
                             std::string_view("Z+-'").find(s[digits]) != std::string_view::npos;
    if (!wholeFields || !zoneFollows)
        return 0;
    auto field = [&](size_t at, size_t length, int def) {
        int value = def;
        if (at + length <= digits)
            std::from_chars(s.data() + at, s.data() + at + length, value);
        return value;
    };
    const DateTimeParts parts{field(0, 4, 0), field(4, 2, 1),  field(6, 2, 1),
                              field(8, 2, 0), field(10, 2, 0), field(12, 2, 0)};
    return TryEncodeDateTime(parts).value_or(0.0);
}
