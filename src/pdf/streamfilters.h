// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The bytes of a stream as its filters leave them. The streams the reader needs (cross-reference
// and object streams, XMP metadata) use FlateDecode, with or without a predictor, or nothing;
// that is all this reads.

#include "pdf/pdfobject.h"

#include <cstddef>
#include <string>
#include <string_view>

class ReadBudget;

// The decoded bytes of a stream with dictionary dict and raw (undecoded, decrypted) bytes raw,
// at most maxOutput of them (a stream made to inflate without end, a "zip bomb", stops there);
// raw whole when its filters change nothing (null, /Crypt).
// Damaged compressed data gives what inflated before the damage. A /Crypt filter is passed
// over (the object store has decrypted the data); any filter other than FlateDecode raises
// EReadError(UnsupportedFilter) naming it. The bytes decoded count against budget.
std::string DecodeStream(const PdfObject& dict, std::string_view raw, size_t maxOutput,
                         ReadBudget& budget);

// Inflates zlib data (or raw deflate data when it has no zlib header) into at most maxOutput
// bytes.
std::string Inflate(std::string_view data, size_t maxOutput);

// Undoes a PNG (10-15) or TIFF (2) predictor on data with the given parameters; predictor 1
// (or any other value below 2) leaves data as it is. Rows that are cut short are dropped.
std::string Unpredict(std::string data, int64_t predictor, int64_t columns, int64_t colors,
                      int64_t bitsPerComponent);
