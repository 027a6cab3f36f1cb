// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Object streams: streams whose data holds other objects, a table of their numbers and
// offsets first. Read by the object store, and by recovery for the numbers alone.

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class ByteSource;
class ReadBudget;
class SecurityHandler;
struct IndirectObject;

// What one object stream decodes to at most: far beyond real ones (a few hundred objects of a
// few hundred bytes), and a stream made to inflate without end costs no more.
constexpr size_t kMaxObjectStreamBytes = size_t(16) << 20;

// An object stream lists at most this many objects (real ones a few hundred); pairs beyond are
// not read.
constexpr int64_t kMaxObjectStreamObjects = int64_t(1) << 17;

struct ObjectStreamTable {
    // (number, offset of its object in the data); every offset lies within the data.
    std::vector<std::pair<int64_t, int64_t>> objects;
};

// The decoded data of the object stream `stream` (decrypted with security when it is given),
// at most maxOutput bytes.
std::string ObjectStreamData(const ByteSource& source, const IndirectObject& stream,
                             const SecurityHandler* security, size_t maxOutput, ReadBudget& budget);

// The table at the start of data, given the stream's dictionary /N and /First: at most /N
// pairs (and kMaxObjectStreamObjects), each offset made absolute (/First added) and checked against
// dataSize (the decoded stream's size) before the addition can overflow; pairs that are no numbers
// end the table.
ObjectStreamTable ReadObjectStreamTable(int64_t count, int64_t first, std::string_view data,
                                        int64_t dataSize);
