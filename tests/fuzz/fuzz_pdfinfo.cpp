// SPDX-License-Identifier: GPL-3.0-or-later
// ReadPdfInfo on arbitrary file contents. The first byte chooses the password and whether an
// empty typed password may open the file; the rest is the file. A reader error
// (EPagewickError) is a valid outcome for a damaged file; any other exception, a sanitizer
// report, a hang or a memory blow-up is a fault.

#include "common/errors.h"
#include "fuzzfile.h"
#include "pdf/documentreader.h"

#include <cstdint>
#include <string>

namespace {

// The passwords of the encrypted files in tests/data, an empty one and a few odd ones.
const char* const kPasswords[] = {
    "", "user", "owner", "same", "sixsix", "abcdefghijklmnopqrstuvwxyz012345", " ", "\xE3\x81\x82",
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    static FuzzFile file("input.pdf");
    const uint8_t mode = data[0];
    file.Write(data + 1, size - 1);
    try {
        (void)ReadPdfInfo(file.Path(), {kPasswords[mode & 7], (mode & 8) != 0});
    } catch (const EPagewickError&) {
    }
    return 0;
}
