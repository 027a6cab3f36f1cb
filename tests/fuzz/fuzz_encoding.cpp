// SPDX-License-Identifier: GPL-3.0-or-later
// Encoding detection, the conversions to Unicode and to code page 932, and the XMP reader on
// arbitrary bytes, as the decoding of information strings and metadata meets them. The Unicode
// text of any bytes must be well-formed UTF-8.

#include "jtext/cp932.h"
#include "jtext/encodingdetect.h"
#include "jtext/junicode.h"
#include "pdf/textstring.h"
#include "pdf/xmp.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const int encoding = DetectEncoding(bytes);
    if (encoding < 0 || encoding > 10) {
        std::fprintf(stderr, "DetectEncoding gave %d\n", encoding);
        std::abort();
    }
    (void)Utf8ToCp932(bytes);
    (void)Cp932ToUtf8(bytes);
    if (const std::string text = TextStringToUtf8(bytes); !IsValidUtf8(text)) {
        std::fprintf(stderr, "TextStringToUtf8 gave malformed UTF-8\n");
        std::abort();
    }
    (void)Cp932ToUtf8(EucJpToShiftJis(bytes));
    (void)Cp932ToUtf8(Iso2022JpToShiftJis(bytes));
    const XmpProperties xmp = ParseXmp(bytes);
    for (const auto* value :
         {&xmp.Title, &xmp.Author, &xmp.Subject, &xmp.Keywords, &xmp.Producer, &xmp.Creator})
        if (*value && (*value)->size() > kMaxXmpValueBytes) {
            std::fprintf(stderr, "an XMP value beyond its bound\n");
            std::abort();
        }
    return 0;
}
