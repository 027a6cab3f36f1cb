// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Writes small PDF files from parts and computes the offsets of their objects and
// cross-reference sections, so tests can build exactly the structure they need.

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

class PdfBuilder {
public:
    explicit PdfBuilder(std::string_view header = "%PDF-1.4");

    // "n g obj\n" body "\nendobj\n", remembered for the next cross-reference section.
    PdfBuilder& Object(int n, std::string_view body, int generation = 0);
    // Bytes written as they are.
    PdfBuilder& Raw(std::string_view bytes);

    // A section of one subsection from object 0 to the highest number written so far, every
    // object at its newest offset, then the trailer and the startxref lines.
    PdfBuilder& FullSection(std::string_view trailerEntries, bool withPrev = false);
    // A section of one subsection for objects first .. first + count - 1 (object 0 free).
    PdfBuilder& Section(int first, int count, std::string_view trailerEntries, bool withPrev);
    // A section for the objects written since the last section: "0 1" for the free head, then
    // one subsection per run of consecutive numbers. /Prev names the previous section.
    PdfBuilder& UpdateSection(std::string_view trailerEntries);
    // A free entry for object n in the next section written.
    PdfBuilder& Free(int n);

    // "startxref\nN\n%%EOF\n" is written after each section; this changes the form.
    PdfBuilder& StartxrefForm(std::string form) {
        startxrefForm_ = std::move(form);
        return *this;
    }

    int64_t OffsetOf(int n) const { return offsets_.at(n); }
    int64_t LastSectionOffset() const { return sections_.empty() ? -1 : sections_.back(); }
    const std::string& Bytes() const { return bytes_; }
    // Writes the bytes to path and returns path.
    std::string WriteTo(const std::string& path) const;

private:
    void Trailer(std::string_view entries, bool withPrev, int64_t sectionOffset);

    std::string bytes_;
    std::map<int, int64_t> offsets_;
    std::map<int, int> generations_;
    std::vector<int> pending_; // objects written since the last section
    std::vector<int> freed_;
    std::vector<int64_t> sections_;
    std::string startxrefForm_ = "startxref\n%d\n%%EOF\n";
};

// A temporary folder removed with everything in it when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return path_; }
    std::string File(std::string_view name) const { return path_ + "/" + std::string(name); }
    // Writes bytes to a file in the folder and returns its path.
    std::string Write(std::string_view name, std::string_view bytes) const;

private:
    std::string path_;
};
