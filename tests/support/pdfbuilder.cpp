// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/pdfbuilder.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace {

std::string Entry(int64_t offset, int generation, char kind) {
    char line[32];
    std::snprintf(line, sizeof line, "%010lld %05d %c\r\n", static_cast<long long>(offset),
                  generation, kind);
    return line;
}

} // namespace

PdfBuilder::PdfBuilder(std::string_view header) {
    bytes_ = std::string(header) + "\n%\xE2\xE3\xCF\xD3\n";
}

PdfBuilder& PdfBuilder::Object(int n, std::string_view body, int generation) {
    offsets_[n] = int64_t(bytes_.size());
    generations_[n] = generation;
    pending_.push_back(n);
    bytes_ += std::to_string(n) + " " + std::to_string(generation) + " obj\n";
    bytes_ += body;
    bytes_ += "\nendobj\n";
    return *this;
}

PdfBuilder& PdfBuilder::Raw(std::string_view bytes) {
    bytes_ += bytes;
    return *this;
}

PdfBuilder& PdfBuilder::Free(int n) {
    freed_.push_back(n);
    return *this;
}

PdfBuilder& PdfBuilder::FullSection(std::string_view trailerEntries, bool withPrev) {
    const int highest = offsets_.empty() ? 0 : offsets_.rbegin()->first;
    return Section(0, highest + 1, trailerEntries, withPrev);
}

PdfBuilder& PdfBuilder::Section(int first, int count, std::string_view trailerEntries,
                                bool withPrev) {
    const int64_t at = int64_t(bytes_.size());
    bytes_ += "xref\n" + std::to_string(first) + " " + std::to_string(count) + "\n";
    for (int n = first; n < first + count; ++n) {
        const auto it = offsets_.find(n);
        bytes_ += n == 0                 ? Entry(0, 65535, 'f')
                  : it == offsets_.end() ? Entry(0, 0, 'f')
                                         : Entry(it->second, generations_[n], 'n');
    }
    Trailer(trailerEntries, withPrev, at);
    return *this;
}

PdfBuilder& PdfBuilder::UpdateSection(std::string_view trailerEntries) {
    const int64_t at = int64_t(bytes_.size());
    std::map<int, std::string> entries;
    for (int n : pending_)
        entries[n] = Entry(offsets_[n], generations_[n], 'n');
    for (int n : freed_)
        entries[n] = Entry(0, 1, 'f');
    bytes_ += "xref\n0 1\n" + Entry(0, 65535, 'f');
    for (auto it = entries.begin(); it != entries.end();) {
        auto run = it;
        int count = 0;
        while (run != entries.end() && run->first == it->first + count) {
            ++run;
            ++count;
        }
        bytes_ += std::to_string(it->first) + " " + std::to_string(count) + "\n";
        for (; it != run; ++it)
            bytes_ += it->second;
    }
    Trailer(trailerEntries, true, at);
    return *this;
}

void PdfBuilder::Trailer(std::string_view entries, bool withPrev, int64_t sectionOffset) {
    bytes_ += "trailer\n<< ";
    bytes_ += entries;
    if (withPrev && !sections_.empty())
        bytes_ += " /Prev " + std::to_string(sections_.back());
    bytes_ += " >>\n";
    std::string tail = startxrefForm_;
    tail.replace(tail.find("%d"), 2, std::to_string(sectionOffset));
    tail.replace(tail.find("%%"), 2, "%");
    bytes_ += tail;
    sections_.push_back(sectionOffset);
    pending_.clear();
    freed_.clear();
}

std::string PdfBuilder::WriteTo(const std::string& path) const {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes_.data(), std::streamsize(bytes_.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path);
    return path;
}

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "pagewick-XXXXXX").string();
    if (!::mkdtemp(pattern.data()))
        throw std::runtime_error("cannot create a temporary folder");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::Write(std::string_view name, std::string_view bytes) const {
    const std::string path = File(name);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
    return path;
}
