// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The bytes of a stream as its filters leave them. Cross-reference and object streams only
// ever use FlateDecode, with or without a predictor; that is all this reads.

#include "pdf/pdfobject.h"

#include <cstddef>
#include <string>
#include <string_view>

// What one stream may decode to: far beyond any cross-reference or object stream, and small
// enough that a stream made to inflate without end (a "zip bomb") costs little. Output
// beyond it is dropped.
constexpr size_t kMaxDecodedStream = size_t(64) << 20;

// The decoded bytes of a stream with dictionary dict and raw (undecoded) bytes raw. Damaged
// compressed data gives what inflated before the damage. A filter other than FlateDecode
// raises EPdfFormatError naming it.
std::string DecodeStream(const PdfObject& dict, std::string_view raw,
                         size_t maxOutput = kMaxDecodedStream);

// Inflates zlib data (or raw deflate data when it has no zlib header) into at most maxOutput
// bytes.
std::string Inflate(std::string_view data, size_t maxOutput);

// Undoes a PNG (10-15) or TIFF (2) predictor on data with the given parameters; predictor 1
// (or any other value below 2) leaves data as it is. Rows that are cut short are dropped.
std::string Unpredict(std::string data, int64_t predictor, int64_t columns, int64_t colors,
                      int64_t bitsPerComponent);
