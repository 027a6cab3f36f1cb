// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Writes small PDF files with cross-reference streams and object streams, computing every
// offset, so tests can build the structures PDF 1.5 writers produce.

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// zlib-compressed bytes.
std::string Deflate(std::string_view bytes);

class ModernPdf {
public:
    // How the cross-reference stream's rows are written.
    enum class Rows { Plain, Flate, FlatePng, FlateTiff };

    ModernPdf();
    // "n 0 obj" body "endobj" in the file's body.
    ModernPdf& Object(int n, std::string_view body);
    // Object stream n holding the given objects (number, body), compressed when flate.
    ModernPdf& ObjectStream(int n, const std::vector<std::pair<int, std::string>>& objects,
                            bool flate = true, std::string_view extraEntries = "");
    // A cross-reference stream (object n) for every object written so far (or, with an
    // update, since the last section), with trailer entries; /Prev names the last section
    // when there was one. Then startxref.
    ModernPdf& XrefStream(int n, std::string_view trailerEntries, Rows rows = Rows::FlatePng,
                          bool update = false);
    // A classic table for the objects written since the last section, /Prev to it, and
    // /XRefStm when xrefStm >= 0. Then startxref.
    ModernPdf& ClassicUpdate(std::string_view trailerEntries, int64_t xrefStm = -1);
    ModernPdf& Raw(std::string_view bytes);
    // An entry for object n as the index-th object of object stream `stream`, for a stream
    // the test writes itself.
    ModernPdf& Compressed(int n, int stream, int index) {
        entries_[n] = pending_[n] = {2, stream, index};
        return *this;
    }

    int64_t LastSection() const { return lastSection_; }
    int64_t OffsetOf(int n) const { return entries_.at(n).field2; }
    const std::string& Bytes() const { return bytes_; }

private:
    struct Entry {
        int type;
        int64_t field2;
        int64_t field3;
    };
    std::string bytes_;
    std::map<int, Entry> entries_;
    std::map<int, Entry> pending_; // since the last section
    int64_t lastSection_ = -1;
};
