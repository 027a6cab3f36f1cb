// SPDX-License-Identifier: GPL-3.0-or-later
// ParsePdfDate on arbitrary text: a date-time in range or 0, never an exception.

#include "common/datetime.h"
#include "pdf/pdfdate.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const TDateTime t = ParsePdfDate(text);
    // Years 0 to 9999 lie between these day counts.
    if (!std::isfinite(t) || t <= -693960.0 || t >= 2958466.0) {
        std::fprintf(stderr, "ParsePdfDate gave %f\n", t);
        std::abort();
    }
    if (t != 0) {
        const DateTimeParts p = DecodeDateTime(t);
        // The year is the first four digits after the blanks and the optional "D:".
        size_t at = 0;
        while (at < text.size() && uint8_t(text[at]) <= 0x20)
            ++at;
        if (text.compare(at, 2, "D:") == 0)
            at += 2;
        const int year = at + 4 <= text.size() ? std::atoi(text.substr(at, 4).c_str()) : -1;
        if (p.month < 1 || p.month > 12 || p.day < 1 || p.day > 31 || p.hour > 23 ||
            p.year != year) {
            std::fprintf(stderr, "ParsePdfDate gave an impossible date %f\n", t);
            std::abort();
        }
    }
    return 0;
}
