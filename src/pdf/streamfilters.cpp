// SPDX-License-Identifier: GPL-3.0-or-later
#include "pdf/streamfilters.h"

#include "common/errors.h"
#include "pdf/readbudget.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <zlib.h>

namespace {

int64_t IntegerOr(const PdfObject* o, int64_t def) {
    return o && o->IsInteger() ? o->integer : def;
}

// A row of a predicted image is bounded by this: a cross-reference row is a few bytes, and
// parameters beyond it are damaged (and must not overflow the row arithmetic).
constexpr int64_t kMaxRowBytes = int64_t(1) << 24;

uint8_t Paeth(int a, int b, int c) {
    const int p = a + b - c;
    const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    return uint8_t(pa <= pb && pa <= pc ? a : pb <= pc ? b : c);
}

// A raw-deflate stream kept for the thread's next inflation: a reader inflates two or three small
// streams a file, and setting up a stream each time (two allocations, 39 KiB, and their first
// touch) cost as much as inflating a table of cross-references.
class RawInflater {
public:
    RawInflater() { ready_ = inflateInit2(&z_, -15) == Z_OK; }
    ~RawInflater() {
        if (ready_)
            inflateEnd(&z_);
    }
    RawInflater(const RawInflater&) = delete;
    RawInflater& operator=(const RawInflater&) = delete;
    // The stream, reset; nullptr when zlib could not set one up.
    z_stream* Fresh() { return ready_ && inflateReset(&z_) == Z_OK ? &z_ : nullptr; }

private:
    z_stream z_{};
    bool ready_ = false;
};

} // namespace

std::string Inflate(std::string_view data, size_t maxOutput) {
    std::string out;
    // A zlib header is two bytes whose big-endian value is a multiple of 31 with method 8;
    // without one, the data is taken as raw deflate, as some writers leave it.
    const bool zlibHeader = data.size() >= 2 && (uint8_t(data[0]) & 0x0F) == 8 &&
                            ((uint8_t(data[0]) << 8) | uint8_t(data[1])) % 31 == 0;
    // The header is stepped over and the data inflated as raw deflate, which spares the
    // checksum at its end: what inflated is kept whether it matches or not. A header that
    // asks for a preset dictionary is left to zlib, which refuses it.
    const bool presetDictionary = zlibHeader && (uint8_t(data[1]) & 0x20) != 0;
    if (zlibHeader && !presetDictionary)
        data.remove_prefix(2);
    thread_local RawInflater raw;
    z_stream own{};
    z_stream* z =
        presetDictionary ? (inflateInit2(&own, 15) == Z_OK ? &own : nullptr) : raw.Fresh();
    if (!z)
        return out;
    z->next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z->avail_in = uInt(std::min<size_t>(data.size(), UINT32_MAX));
    // Inflated straight into the result, told that the data is all there: a stream that ends
    // within the room given is never copied into zlib's window as well.
    size_t room = std::min(maxOutput, std::max<size_t>(4096, data.size() * 4));
    int status = Z_OK;
    while (out.size() < maxOutput) {
        const size_t have = out.size();
        out.resize(std::min(room, size_t(UINT32_MAX) + have));
        z->next_out = reinterpret_cast<Bytef*>(out.data() + have);
        z->avail_out = uInt(out.size() - have);
        status = inflate(z, Z_FINISH);
        out.resize(out.size() - z->avail_out);
        // Z_BUF_ERROR with the room filled asks for more room; with room left, the data ended.
        if (status != Z_OK && !(status == Z_BUF_ERROR && z->avail_out == 0))
            break;
        room = std::min(maxOutput, room * 2);
    }
    if (z == &own)
        inflateEnd(&own);
    return out;
}

std::string Unpredict(std::string data, int64_t predictor, int64_t columns, int64_t colors,
                      int64_t bitsPerComponent) {
    if (predictor < 2)
        return data;
    if (columns <= 0 || colors <= 0 || bitsPerComponent <= 0 || columns > kMaxRowBytes ||
        colors > 32 || bitsPerComponent > 16 ||
        columns * colors * bitsPerComponent / 8 > kMaxRowBytes)
        return {};
    const size_t rowBytes = size_t((columns * colors * bitsPerComponent + 7) / 8);
    const size_t pixelBytes = size_t(std::max<int64_t>(1, colors * bitsPerComponent / 8));
    if (predictor == 2) {
        if (bitsPerComponent != 8)
            return data; // other depths do not occur in the streams read here
        for (size_t row = 0; row + rowBytes <= data.size(); row += rowBytes)
            for (size_t i = pixelBytes; i < rowBytes; ++i)
                data[row + i] = char(uint8_t(data[row + i]) + uint8_t(data[row + i - pixelBytes]));
        return data;
    }
    // PNG: each row starts with its own filter type byte. The rows are undone in place, each
    // moved down over the type bytes before it, so the row above is the output's last one.
    size_t rows = 0;
    for (size_t at = 0; at + rowBytes + 1 <= data.size(); at += rowBytes + 1, ++rows) {
        const uint8_t type = uint8_t(data[at]);
        uint8_t* row = reinterpret_cast<uint8_t*>(data.data()) + rows * rowBytes;
        // Byte by byte from the front: the row lies before its bytes, which are each read
        // before anything is written over them. (Rows of a few bytes, as cross-reference
        // streams have, cost a call to memmove more than the copy.)
        const uint8_t* from = row + rows + 1;
        const uint8_t* up = rows ? row - rowBytes : nullptr;
        if (type == 2 && up) { // "up", which cross-reference streams are written with
            for (size_t i = 0; i < rowBytes; ++i)
                row[i] = uint8_t(from[i] + up[i]);
            continue;
        }
        for (size_t i = 0; i < rowBytes; ++i)
            row[i] = from[i];
        for (size_t i = 0; i < rowBytes; ++i) {
            const int left = i >= pixelBytes ? row[i - pixelBytes] : 0;
            const int above = up ? up[i] : 0;
            const int upLeft = up && i >= pixelBytes ? up[i - pixelBytes] : 0;
            int add = 0;
            switch (type) {
            case 1:
                add = left;
                break;
            case 2:
                add = above;
                break;
            case 3:
                add = (left + above) / 2;
                break;
            case 4:
                add = Paeth(left, above, upLeft);
                break;
            default:
                break;
            }
            row[i] = uint8_t(row[i] + add);
        }
    }
    data.resize(rows * rowBytes);
    return data;
}

std::string DecodeStream(const PdfObject& dict, std::string_view raw, size_t maxOutput,
                         ReadBudget& budget) {
    const PdfObject* filter = dict.Get("Filter");
    const PdfObject* parms = dict.Get("DecodeParms");
    // One filter with its parameters, or an array of filters with an array of parameters.
    const bool chain = filter && filter->kind == PdfObject::Kind::Array;
    const size_t count = chain ? filter->items.size() : filter && !filter->IsNull() ? 1 : 0;
    if (count == 0)
        return std::string(raw.substr(0, maxOutput));
    auto parametersOf = [&](size_t i) -> const PdfObject* {
        if (!chain)
            return parms;
        const bool listed =
            parms && parms->kind == PdfObject::Kind::Array && i < parms->items.size();
        return listed ? &parms->items[i] : nullptr;
    };
    // Each filter decodes what the one before gave, the first the raw bytes themselves.
    std::string data;
    std::string_view input = raw;
    bool decoded = false;
    for (size_t i = 0; i < count; ++i) {
        const PdfObject& f = chain ? filter->items[i] : *filter;
        if (f.IsNull() || f.IsName("Crypt"))
            continue;
        if (!f.IsName("FlateDecode") && !f.IsName("Fl"))
            throw EReadError(ErrorKind::UnsupportedFilter,
                             "圧縮方式 /" + (f.kind == PdfObject::Kind::Name ? f.text : "?"));
        const PdfObject* p = parametersOf(i);
        const bool predicted = p && p->IsDictionary() && IntegerOr(p->Get("Predictor"), 1) >= 2;
        // A PNG predictor adds a byte to every row: room for those before it is undone. (A
        // row of one byte doubles the data; that is as far as it can go.)
        data =
            Inflate(input, predicted && maxOutput < SIZE_MAX / 2 ? 2 * maxOutput + 1 : maxOutput);
        budget.SpendStreamBytes(int64_t(data.size()));
        if (predicted) {
            data = Unpredict(std::move(data), IntegerOr(p->Get("Predictor"), 1),
                             IntegerOr(p->Get("Columns"), 1), IntegerOr(p->Get("Colors"), 1),
                             IntegerOr(p->Get("BitsPerComponent"), 8));
            if (data.size() > maxOutput)
                data.resize(maxOutput);
        }
        input = data;
        decoded = true;
    }
    // Filters that change nothing (null, /Crypt) leave the raw bytes as they are, whole.
    return decoded ? std::move(data) : std::string(raw);
}
