// SPDX-License-Identifier: GPL-3.0-or-later
// The cross-reference layer: the chain of sections from startxref along /Prev, each a classic
// table or a cross-reference stream, and a hybrid file's /XRefStm.

#include "pdf/pdffile.h"
#include "pdf/pdfstream.h"

#include "common/errors.h"

#include <algorithm>
#include <set>

namespace {

// No real cross-reference section comes near this; a keyword not met within it counts as not
// found, so a damaged file cannot make a read take the whole file.
constexpr size_t kSectionReadLimit = 16u << 20;
// All sections of one chain together; beyond this the walk keeps what it has read.
constexpr size_t kChainTextLimit = 16u << 20;
// A stream's entry fields are at most eight bytes wide: an offset or a number has 64 bits.
constexpr int64_t kMaxFieldWidth = 8;

// The lines of a trailer as the reader edits them before it looks at their words.
std::string EditTrailerText(std::string_view text) {
    return NormaliseUnbracketed(text, true);
}

int64_t IntegerOr(const PdfObject* o, int64_t def) {
    return o && o->IsInteger() ? o->integer : def;
}

// /ID's first string, whole, when the dictionary has one: all of it is hashed into the key.
void TakeFileId(const PdfObject& trailer, std::string& id) {
    const PdfObject* ids = trailer.Get("ID");
    if (!ids || ids->kind != PdfObject::Kind::Array || ids->items.empty() ||
        ids->items[0].kind != PdfObject::Kind::String)
        return;
    id = ids->items[0].StringBytes();
}

uint64_t Field(std::string_view row, size_t& at, int64_t width) {
    uint64_t v = 0;
    for (int64_t k = 0; k < width; ++k)
        v = (v << 8) | uint8_t(row[at++]);
    return v;
}

} // namespace

PdfObject PdfReader::ReadXrefStream(int64_t offset) {
    PdfObject dict;
    std::string raw;
    if (!ReadStreamObjectAt(offset, dict, raw))
        return {};
    const PdfObject* w = dict.Get("W");
    if (!w || w->kind != PdfObject::Kind::Array || w->items.size() < 3)
        return {};
    int64_t widths[3];
    for (size_t k = 0; k < 3; ++k) {
        widths[k] = IntegerOr(&w->items[k], -1);
        if (widths[k] < 0 || widths[k] > kMaxFieldWidth)
            throw EPdfFormatError("相互参照ストリームの /W が壊れています");
    }
    const size_t rowSize = size_t(widths[0] + widths[1] + widths[2]);
    if (rowSize == 0)
        return dict;
    const std::string data = DecodeStream(dict, raw);
    const int64_t size = IntegerOr(dict.Get("Size"), 0);
    std::vector<std::pair<int64_t, int64_t>> subsections;
    if (const PdfObject* index = dict.Get("Index");
        index && index->kind == PdfObject::Kind::Array) {
        for (size_t k = 0; k + 1 < index->items.size(); k += 2)
            subsections.emplace_back(IntegerOr(&index->items[k], -1),
                                     IntegerOr(&index->items[k + 1], -1));
    } else {
        subsections.emplace_back(0, size);
    }
    size_t at = 0;
    for (const auto& [first, count] : subsections) {
        if (first < 0 || count < 0 || first > INT32_MAX)
            continue;
        // A count beyond the rows the data holds is cut to them.
        const int64_t rows = std::min<int64_t>(count, int64_t((data.size() - at) / rowSize));
        for (int64_t k = 0; k < rows && first + k <= INT32_MAX; ++k) {
            const int64_t type = widths[0] == 0 ? 1 : int64_t(Field(data, at, widths[0]));
            const uint64_t second = Field(data, at, widths[1]);
            const uint64_t third = Field(data, at, widths[2]);
            XrefEntry entry;
            entry.number = first + k;
            if (type == 1 && second <= uint64_t(INT64_MAX)) {
                entry.kind = XrefEntry::Kind::InFile;
                entry.offset = int64_t(second);
            } else if (type == 2 && second > 0 && second <= uint64_t(INT32_MAX) &&
                       third <= uint64_t(INT32_MAX)) {
                entry.kind = XrefEntry::Kind::Compressed;
                entry.stream = int32_t(second);
                entry.index = int32_t(third);
            } else if (type != 0) {
                continue; // a type this reader does not know stands for nothing
            }
            objects_.push_back(entry);
        }
    }
    objectsSorted_ = false;
    return dict;
}

void PdfReader::AddTrailer(const PdfObject& dictionary) {
    if (!dictionary.IsDictionary())
        return;
    if (!trailer_.IsDictionary())
        trailer_.kind = PdfObject::Kind::Dictionary;
    // Newer sections come first: an older trailer only fills in keys the newer ones lack.
    for (const auto& [key, value] : dictionary.entries)
        if (!trailer_.Get(key))
            trailer_.entries.push_back(PdfEntry{key, value});
}

void PdfReader::ReadXrefChain(int64_t offset) {
    xrefLines_.reset();
    trailerLines_.clear();
    fileId_.clear();
    objects_.clear();
    trailer_ = {};
    std::set<int64_t> visited;
    size_t chainText = 0;
    sectionTexts_.clear();
    for (bool first = true; visited.insert(offset).second; first = false) {
        // A cross-reference stream is an object; anything else is read as a table.
        char head[48];
        const std::string_view headText(head, size_t(source_.ReadAt(offset, head, sizeof head)));
        size_t pos = 0;
        int64_t number = 0;
        int32_t generation = 0;
        if (ParseObjectHeader(headText, pos, number, generation)) {
            const size_t before = objects_.size();
            const PdfObject dict = ReadXrefStream(offset);
            if (dict.IsDictionary()) {
                AddTrailer(dict);
                if (first)
                    TakeFileId(dict, fileId_);
                chainText += 20 * (objects_.size() - before);
                const int64_t next = IntegerOr(dict.Get("Prev"), -1);
                if (next < 0 || chainText >= kChainTextLimit)
                    break;
                offset = next;
                continue;
            }
        }
        KeywordRead section = ReadUntilKeyword(offset, "trailer", kSectionReadLimit);
        std::string trailerText;
        if (section.found) {
            trailerText = ReadTrailerText(section.keywordOffset);
        } else {
            // No trailer keyword: what was read stands in for the trailer, as far as a
            // dictionary may reach.
            trailerText.assign(section.bytes, 0, std::min(section.bytes.size(), kObjectReadLimit));
            section.bytes = std::string();
        }
        const size_t sectionStart = objects_.size();
        AddSectionEntries(section.bytes);
        chainText += std::min(section.bytes.size(), section.bytes.find('\0'));
        sectionTexts_.push_back(std::move(section.bytes));

        // The dictionary read by tokens: keys are found whatever the line breaks.
        PdfObject dict;
        if (const size_t open = trailerText.find("<<"); open != std::string::npos) {
            size_t at = open;
            dict = ParseObject(trailerText, at);
            AddTrailer(dict);
        }
        // A hybrid file's stream holds what its table leaves out: its entries rank below the
        // table's and above older sections'.
        // A table's free entries stand for the objects its stream holds, so they rank below.
        if (const PdfObject* stm = dict.Get("XRefStm");
            stm && stm->IsInteger() && visited.insert(stm->integer).second) {
            ReadXrefStream(stm->integer);
            std::stable_partition(
                objects_.begin() + long(sectionStart), objects_.end(),
                [](const XrefEntry& e) { return e.kind != XrefEntry::Kind::Free; });
        }

        trailerText = EditTrailerText(trailerText);
        if (first) {
            // Blank lines say nothing, and a damaged trailer may be made of little else.
            for (std::string_view rest = trailerText; !rest.empty();) {
                const size_t end = std::min(rest.find("\r\n"), rest.size());
                if (end > 0)
                    trailerLines_.emplace_back(rest.substr(0, end));
                rest.remove_prefix(std::min(end + 2, rest.size()));
            }
        }
        int64_t next = -1;
        if (const PdfObject* prev = dict.Get("Prev"); prev && prev->IsInteger())
            next = prev->integer;
        else if (const Words words = KeyAndNextWords(trailerText, "/prev"); !words.empty())
            next = ReadIntValue(words, 0);
        if (first)
            TakeFileId(dict, fileId_);
        if (next < 0 || chainText >= kChainTextLimit)
            break;
        offset = next;
    }
}
