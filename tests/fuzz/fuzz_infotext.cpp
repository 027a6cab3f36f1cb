// SPDX-License-Identifier: GPL-3.0-or-later
// ReadInfoText and ReadEncryptedInfoText with the fuzz bytes as the dictionary text, on a
// small fixed file whose objects give indirect references something to follow: strings of
// both kinds, a UTF-16 value, an empty and an unterminated object, a free entry and an entry
// that points beyond the end of the file.
//
// Input: byte 0 the key (bits 0-2) and whether the encrypted reader is used (bit 3); byte 1
// the least length; byte 2 the key length; byte 3 the object number for the object key; the
// rest the text.

#include "common/errors.h"
#include "fuzzfile.h"
#include "pdf/pdffile.h"
#include "pdf/utilpdft.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

const char* const kKeys[] = {"/producer", "/creator", "/author",  "/creationdate",
                             "/moddate",  "/title",   "/subject", "/keywords"};
const int kMinLengths[] = {-1, 16, 32, 0, 1, 2, 64, 1 << 30};
const int32_t kKeyLengths[] = {40, 128, 0, -8, 56, 48, 1 << 30, INT32_MAX};

std::string FixedFile() {
    const char* const bodies[] = {
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Count 3 /Kids [] >>",
        "(Indirect title)",
        "<FEFF00410042>",
        "(\\376\\377\\000A\\000B)",
        "5 0 R",
        "",
        "(never closed",
        "<< /Title (nested) >>",
        "<4142",
        "(\xe3\x81\x82\xe3\x81\x84\xe3\x81\x86)",
    };
    std::string bytes = "%PDF-1.4\n%\xE2\xE3\xCF\xD3\n";
    std::vector<size_t> offsets;
    int n = 1;
    for (const char* body : bodies) {
        offsets.push_back(bytes.size());
        bytes += std::to_string(n++) + " 0 obj\n" + body + "\nendobj\n";
    }
    const size_t xref = bytes.size();
    const size_t count = offsets.size() + 3; // plus object 0, a free one and a stray one
    bytes += "xref\n0 " + std::to_string(count) + "\n0000000000 65535 f\r\n";
    char entry[32];
    for (size_t offset : offsets) {
        std::snprintf(entry, sizeof entry, "%010zu 00000 n\r\n", offset);
        bytes += entry;
    }
    bytes += "0000000000 00000 f\r\n";
    bytes += "9999999999 00000 n\r\n";
    bytes += "trailer\n<< /Size " + std::to_string(count) + " /Root 1 0 R >>\nstartxref\n" +
             std::to_string(xref) + "\n%%EOF\n";
    return bytes;
}

PdfReader& Reader() {
    static FuzzFile file("fixed.pdf");
    static std::unique_ptr<PdfReader> reader = [] {
        const std::string bytes = FixedFile();
        file.Write(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
        auto r = std::make_unique<PdfReader>(file.Path());
        r->ReadXrefChain(r->FindStartXref());
        return r;
    }();
    return *reader;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4)
        return 0;
    PdfReader& reader = Reader();
    const char* key = kKeys[data[0] & 7];
    const bool encrypted = (data[0] & 8) != 0;
    const int minLength = kMinLengths[data[1] & 7];
    const int32_t keyLength = kKeyLengths[data[2] & 7];
    const int32_t objectNumber = data[3];
    const std::string text(reinterpret_cast<const char*>(data + 4), size - 4);
    std::string fileKey;
    for (size_t i = 0; i < 32; ++i)
        fileKey += char(i * 31 + 7);
    // The key length picks the method too: 40 and 128 bits RC4, the others AES.
    const CryptMethod method = keyLength == 40 || keyLength == 128 ? CryptMethod::RC4
                               : keyLength > 128                   ? CryptMethod::AESV3
                                                                   : CryptMethod::AESV2;
    fileKey.resize(method == CryptMethod::AESV3   ? 32
                   : method == CryptMethod::AESV2 ? 16
                                                  : size_t(keyLength / 8));
    StringDecryptor decryptor(method, fileKey);
    try {
        if (encrypted)
            ReadEncryptedInfoText(reader, decryptor, objectNumber, 0, key, text, minLength);
        else
            ReadInfoText(reader, key, text, minLength);
    } catch (const EPagewickError&) {
    }
    return 0;
}
