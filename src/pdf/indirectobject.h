// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// An object as it stands in the file: the "n g obj" header at an offset, the value after it,
// and for a stream, where its data lies. Parsed in place from the file's bytes, as far as the
// object reaches; no "endobj" is looked for.

#include "pdf/pdfobject.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

class ByteSource;
class ReadBudget;

struct IndirectObject {
    int64_t number = 0;
    int32_t generation = 0;
    PdfObject value;
    int64_t dataStart = -1;  // a stream: the offset of its first data byte
    int64_t dataLength = -1; // and how many bytes it has; -1 when no end can be found
    bool IsStream() const { return dataStart >= 0; }
};

// An object is read at most this far: beyond every real one (a page tree's flat /Kids of
// 200,000 pages), and a damaged object that never ends costs no more.
constexpr int64_t kMaxObjectBytes = int64_t(4) << 20;

// The value of an indirect /Length, or nothing; for the object store to follow references.
using LengthResolver = std::function<std::optional<int64_t>(const PdfObject&)>;

// The object whose header starts at offset; nothing when no "n g obj" starts there. The bytes
// parsed count against budget. A stream's data runs for its /Length when "endstream" follows it
// there; otherwise up to the next "endstream"; otherwise (none within kMaxStreamLength) for its
// /Length when that lies within the file; otherwise it is unreadable (dataLength -1).
// keep: the keys its dictionary is read for (ParseObject); an object read for some keys is
// no stream to its callers (its data is not looked for).
std::optional<IndirectObject> ReadIndirectObject(const ByteSource& source, int64_t offset,
                                                 ReadBudget& budget,
                                                 const LengthResolver& resolveLength = {},
                                                 KeySet keep = {});

// The value that starts at offset (white space and comments first), such as a trailer's
// dictionary; null when there is none.
PdfObject ReadValueAt(const ByteSource& source, int64_t offset, ReadBudget& budget);

// The raw (undecoded, undecrypted) data of a stream object, at most maxBytes of it; empty when
// it has none that can be read. Raises EReadError(OverBudget) when more than
// ReadBudget::kMaxStreamLength would be read.
std::string RawStreamData(const ByteSource& source, const IndirectObject& object,
                          ReadBudget& budget, int64_t maxBytes = INT64_MAX);

// Whether an "n g obj" header for object number starts at offset.
bool HoldsObject(const ByteSource& source, int64_t offset, int64_t number);
