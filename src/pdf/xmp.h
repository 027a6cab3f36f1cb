// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The document properties an XMP metadata packet (the catalog's /Metadata stream) holds.

#include <optional>
#include <string>
#include <string_view>

// Each property as Unicode text (UTF-8); nothing where the packet does not have it.
struct XmpProperties {
    std::optional<std::string> Title;      // dc:title
    std::optional<std::string> Author;     // dc:creator, the names joined with "; "
    std::optional<std::string> Subject;    // dc:description
    std::optional<std::string> Keywords;   // pdf:Keywords
    std::optional<std::string> Producer;   // pdf:Producer
    std::optional<std::string> Creator;    // xmp:CreatorTool
    std::optional<std::string> CreateDate; // xmp:CreateDate, as written (ISO 8601)
    // The conformance the packet declares, blanks around it taken off.
    std::optional<std::string> PdfAPart;        // pdfaid:part ("2")
    std::optional<std::string> PdfAConformance; // pdfaid:conformance ("B")
    std::optional<std::string> PdfUAPart;       // pdfuaid:part ("1")
};

// What one property keeps: far more than a list cell shows, and a packet made to give a huge
// value costs no more.
constexpr size_t kMaxXmpValueBytes = size_t(64) << 10;

// Reads the packet. A language alternative (rdf:Alt) gives its x-default item, else its first;
// a sequence or bag (rdf:Seq, rdf:Bag) gives its items joined with "; ". Properties written as
// attributes of rdf:Description count as well. Each value is cut to kMaxXmpValueBytes (at a
// character's edge). A packet that is not well-formed XML, or that declares a document type
// (XMP has none; entities declared there could expand without end), gives no properties.
XmpProperties ParseXmp(std::string_view packet);

// An XMP date ("2024-01-02T03:04:05+09:00", any prefix of it down to the year) written as a
// PDF date ("D:20240102030405+09'00'"); empty when it is no such date.
std::string XmpDateToPdfDate(std::string_view date);
