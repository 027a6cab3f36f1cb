// Encoding detection and the conversions to code page 932 on arbitrary bytes, as the decoding
// of information strings meets them.

#include "common/errors.h"
#include "jtext/cp932.h"
#include "jtext/jconvert.h"
#include "pdf/utilpdft.h"

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
    (void)Utf16LeToAnsi(bytes);
    std::string swapped(bytes);
    (void)Utf16BeToAnsi(swapped);
    (void)Utf8ToCp932(bytes);
    (void)Cp932ToUtf8(bytes);
    (void)DecodeStringBytes(std::string(bytes));
    (void)Utf16LiteralToText(bytes);
    try {
        (void)HexToText(bytes, size % 2 == 1);
    } catch (const EPagewickError&) {
    }
    return 0;
}
