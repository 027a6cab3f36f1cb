// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The cross-reference table of a file as one value: where each object lives, and the trailer.
// It is made either by walking the file's sections from startxref (xrefchain.h) or by
// recovering it from a scan of the whole file (xrefrecovery.h), and only read afterwards.

#include "pdf/pdfobject.h"

#include <cstdint>
#include <string>
#include <vector>

// Where one object lives: free, at an offset in the file, or the index-th object of an object
// stream. Sixteen bytes, as a table may hold millions.
struct XrefEntry {
    enum class Kind : uint8_t { Free, InFile, Compressed };
    static XrefEntry Free(int64_t number) { return {number, Kind::Free, 0}; }
    static XrefEntry InFile(int64_t number, int64_t offset) {
        return {number, Kind::InFile, offset};
    }
    static XrefEntry Compressed(int64_t number, int64_t stream, int64_t index) {
        return {number, Kind::Compressed, (stream << 31) | index};
    }

    int64_t Number() const { return number_; }
    Kind kind() const { return kind_; }
    int64_t Offset() const { return location_; }             // InFile
    int64_t Stream() const { return location_ >> 31; }       // Compressed
    int64_t Index() const { return location_ & 0x7FFFFFFF; } // Compressed

private:
    XrefEntry(int64_t number, Kind kind, int64_t location)
        : location_(location), number_(int32_t(number)), kind_(kind) {}
    int64_t location_;
    int32_t number_;
    Kind kind_;
};

// Object numbers, stream numbers and indexes are 31-bit: larger ones are damage.
constexpr int64_t kMaxObjectNumber = 0x7FFFFFFF;

class XrefTable {
public:
    enum class Origin { Chain, Recovery };

    XrefTable() = default;
    // entries: the newest section's first; of several entries for one number the first is
    // kept. trailer: the newest trailer, older ones filling in what it lacks. sections: how
    // many the file was written in (the first, then one per update).
    XrefTable(Origin origin, std::vector<XrefEntry> entries, PdfObject trailer,
              int32_t sections = 1);

    Origin origin() const { return origin_; }
    // The entry for object n; nullptr when the table has none.
    const XrefEntry* Find(int64_t n) const;
    size_t Size() const { return entries_.size(); }
    // Sections walked along /Prev (a hybrid file's stream counts with its table), or the
    // trailers or cross-reference streams a recovery found.
    int32_t Sections() const { return sections_; }
    const PdfObject& Trailer() const { return trailer_; }
    // The first string of the trailer's /ID, whole; empty when there is none.
    std::string FileId() const;

private:
    Origin origin_ = Origin::Chain;
    std::vector<XrefEntry> entries_; // by number, one a number
    PdfObject trailer_;
    int32_t sections_ = 1;
};
