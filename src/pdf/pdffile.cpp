// SPDX-License-Identifier: GPL-3.0-or-later
#include "pdf/pdffile.h"

#include "common/errors.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <limits>

namespace {

constexpr int64_t kBlockSize = 256;
// The startxref line sits within the last few bytes of every real file; looking further
// back only collects words from the body.
constexpr int64_t kTailScanLimit = 256 << 10;

// Calls line for each line of text: lines end at CR, LF or CR LF, the text at its first zero
// byte, and at most LineList::kMaxLines lines are given.
template <class F> void ForEachLine(std::string_view text, F&& line) {
    text = text.substr(0, std::min(text.size(), text.find('\0')));
    // The next CR and the next LF, each found with a fast byte search.
    size_t start = 0, nextCr = text.find('\r'), nextLf = text.find('\n');
    for (int64_t count = 0;; ++count) {
        const size_t i = std::min(nextCr, nextLf);
        if (count == LineList::kMaxLines)
            return;
        if (i == std::string_view::npos) {
            if (start < text.size())
                line(text.substr(start));
            return;
        }
        line(text.substr(start, i - start));
        start = i + (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n' ? 2 : 1);
        if (nextCr < start)
            nextCr = text.find('\r', start);
        if (nextLf < start)
            nextLf = text.find('\n', start);
    }
}

} // namespace

LineList::LineList(std::string text) : text_(std::move(text)) {
    ForEachLine(text_, [&](std::string_view line) {
        spans_.emplace_back(size_t(line.data() - text_.data()), line.size());
    });
    text_.resize(std::min(text_.size(), text_.find('\0')));
}

std::string_view LineList::operator[](int64_t i) const {
    if (i < 0 || i >= Count())
        throw EListError(i);
    const auto [start, length] = spans_[size_t(i)];
    return std::string_view(text_).substr(start, length);
}

void LineList::AppendLine(std::string_view line) {
    if (Count() >= kMaxLines)
        return;
    spans_.emplace_back(text_.size(), line.size());
    text_.append(line);
}

PdfReader::PdfReader(const std::string& fileName) : source_(fileName) {}

PdfReader::~PdfReader() = default;

int64_t PdfReader::FindStartXref() {
    const int64_t size_ = Size();
    tailWords_.clear();
    const int64_t limit = std::min(size_, kTailScanLimit);
    std::string reversedLine;
    char chunk[4096];
    // The startxref line is mostly within the last few dozen bytes: a small first chunk.
    int64_t chunkStart = size_, chunkLength = 0, chunkSize = 256;
    bool found = false;
    for (int64_t j = 1; j <= limit && !found; ++j) {
        const int64_t at = size_ - j;
        if (at < chunkStart) {
            chunkStart = std::max<int64_t>(at - chunkSize + 1, size_ - limit);
            chunkLength = source_.ReadAt(chunkStart, chunk, at - chunkStart + 1);
            chunkSize = int64_t(sizeof chunk);
        }
        if (at - chunkStart >= chunkLength) // the file shrank under us
            break;
        const char c = chunk[at - chunkStart];
        if (c != '\r' && c != '\n') {
            reversedLine += c;
            continue;
        }
        const std::string raw(reversedLine.rbegin(), reversedLine.rend());
        reversedLine.clear();
        const std::string line = raw.find_first_of("<>") == std::string::npos
                                     ? LowerCase(Trim(raw))
                                     : LowerCase(Trim(RemoveAll(RemoveAll(raw, "<<"), ">>")));
        if (!line.empty()) {
            Words words = SplitWords(line);
            tailWords_.insert(tailWords_.end(), words.rbegin(), words.rend());
        }
        found = Contains(line, "startxref");
    }
    const int64_t count = int64_t(tailWords_.size());
    if (count < 2)
        throw EListError(count - 2);
    if (!found && size_ > limit)
        return 0; // as if the whole file had been scanned: the chain starts at its beginning
    return StrToInt64Def(tailWords_[size_t(count - 2)], 0);
}

std::string PdfReader::ReadTrailerText(int64_t from) {
    std::string text, lowered; // lowered: lower case, with /xrefstm written /yrefstm
    char block[kBlockSize];
    for (int64_t position = from;;) {
        const int64_t n = source_.ReadAt(position, block, kBlockSize);
        position += n;
        const size_t searchFrom = lowered.size() > 16 ? lowered.size() - 16 : 0;
        text.append(block, size_t(n));
        lowered.append(LowerCase(std::string_view(block, size_t(n))));
        for (size_t at = lowered.find("/xrefstm", searchFrom); at != std::string::npos;
             at = lowered.find("/xrefstm", at + 1))
            lowered[at + 1] = 'y';
        size_t end = lowered.find("startxref", searchFrom);
        if (end == std::string::npos)
            end = lowered.find("xref", searchFrom);
        if (end != std::string::npos)
            return text.substr(0, end);
        if (n == 0 || position >= Size() || text.size() >= kObjectReadLimit)
            return text;
    }
}

namespace {

// Eight bytes of text as one word, the first byte lowest.
uint64_t LoadWord(const char* p) {
    uint64_t word;
    std::memcpy(&word, p, 8);
    if constexpr (std::endian::native == std::endian::big)
        word = __builtin_bswap64(word);
    return word;
}

// Whether each of the eight bytes of word is a digit: its high half is 3 and adding 6 leaves
// it so (no byte carries into the next once the first test holds).
bool AllDigits(uint64_t word) {
    constexpr uint64_t kHigh = 0xF0F0F0F0F0F0F0F0u, kThrees = 0x3030303030303030u;
    return (word & kHigh) == kThrees && ((word + 0x0606060606060606u) & kHigh) == kThrees;
}

// The number that eight digits (as AllDigits takes them) write, the first the highest.
uint64_t EightDigitsValue(uint64_t word) {
    word -= 0x3030303030303030u;
    word = word * 10 + (word >> 8); // pairs: each even byte holds two digits' value
    word = (((word & 0x000000FF000000FFu) * (100 + (1000000ull << 32))) +
            (((word >> 16) & 0x000000FF000000FFu) * (1 + (10000ull << 32)))) >>
           32;
    return word;
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// A cross-reference entry as the format writes it, nearly every line of a section: ten digits
// of offset, five of generation, the type, and the blank or CR of its end of line. offset is
// set only when the line is one.
bool IsStandardEntry(std::string_view line, int64_t& offset) {
    if (line.size() < 18 || line.size() > 20 || line[10] != ' ' || line[16] != ' ' ||
        (line[17] != 'n' && line[17] != 'f'))
        return false;
    const uint64_t first = LoadWord(line.data());
    if (!AllDigits(first) || !IsDigit(line[8]) || !IsDigit(line[9]))
        return false;
    for (size_t i = 11; i < 16; ++i)
        if (!IsDigit(line[i]))
            return false;
    for (size_t i = 18; i < line.size(); ++i)
        if (line[i] != ' ' && line[i] != '\r')
            return false;
    offset = int64_t(EightDigitsValue(first) * 100 + uint64_t(line[8] - '0') * 10 +
                     uint64_t(line[9] - '0')); // only for an entry
    return true;
}

// The first four words of a line, as views into it: split without copies when they are
// plain (sections are read line by line and long), by SplitWords otherwise. Returns the
// number of words, at most four.
size_t FirstWords(std::string_view line, std::array<std::string_view, 4>& words, Words& storage) {
    size_t count = 0;
    if (PlainFirstWords(line, words, count))
        return count;
    storage = SplitWords(line);
    for (count = 0; count < words.size() && count < storage.size(); ++count)
        words[count] = storage[count];
    return count;
}

} // namespace

void PdfReader::AddSectionEntries(std::string_view text) {
    constexpr int64_t kLargestObject = std::numeric_limits<int32_t>::max();
    int64_t next = 0, remaining = 0;
    bool headerSeen = false;
    auto addEntry = [&](bool inUse, int64_t offset) {
        // Entries under a damaged first subsection header are numbered from 0, as their
        // line numbers would have them.
        if (!headerSeen) {
            headerSeen = true;
            remaining = std::numeric_limits<int64_t>::max();
        }
        if (remaining <= 0 || next > kLargestObject)
            return;
        objects_.push_back(inUse ? XrefEntry{next, XrefEntry::Kind::InFile, offset, 0, 0}
                                 : XrefEntry{next, XrefEntry::Kind::Free, -1, 0, 0});
        ++next;
        --remaining;
    };
    std::array<std::string_view, 4> words;
    Words storage;
    int64_t offset = 0; // of a standard entry
    auto addLine = [&](std::string_view line, bool standard) {
        if (standard) {
            addEntry(line[17] == 'n', offset);
            return;
        }
        const size_t count = FirstWords(line, words, storage);
        if (count == 2) {
            // Object numbers are 32-bit everywhere else in the reader; a header beyond that
            // is damaged.
            const int64_t first = StrToInt64Def(words[0], -1);
            const int64_t entries = StrToInt64Def(words[1], -1);
            if (first >= 0 && entries >= 0 && first <= kLargestObject &&
                entries <= kLargestObject) {
                next = first;
                remaining = entries;
                headerSeen = true;
            }
        } else if (count >= 3 && (words[2] == "n" || words[2] == "f")) {
            addEntry(words[2] == "n", words[2] == "n" ? StrToInt64Def(words[0], 0) : -1);
        }
    };
    // The lines are those ForEachLine gives (up to the first zero byte, at most kMaxLines).
    // An entry of the usual form is eighteen bytes without a line break, so its line ends at
    // byte 18 or 19 and is taken without a search.
    text = text.substr(0, std::min(text.size(), text.find('\0')));
    // Room for the entries the section can hold, growing as push_back does: a chain of many
    // small sections must not copy all entries once a section.
    if (const size_t needed = objects_.size() + text.size() / 20 + 1; needed > objects_.capacity())
        objects_.reserve(std::max(needed, 2 * objects_.capacity()));
    for (int64_t count = 0; count < LineList::kMaxLines && !text.empty(); ++count) {
        auto isBreak = [&](size_t i) { return text[i] == '\r' || text[i] == '\n'; };
        size_t end = std::string_view::npos;
        const bool entry = text.size() >= 19 && IsStandardEntry(text.substr(0, 18), offset);
        if (entry && isBreak(18))
            end = 18;
        else if (entry && text[18] == ' ' && text.size() >= 20 && isBreak(19))
            end = 19;
        const bool standard = end != std::string_view::npos;
        for (size_t i = 0; end == std::string_view::npos && i < text.size(); ++i)
            if (isBreak(i))
                end = i;
        if (end == std::string_view::npos) {
            addLine(text, IsStandardEntry(text, offset));
            break;
        }
        addLine(text.substr(0, end), standard || IsStandardEntry(text.substr(0, end), offset));
        const bool crLf = text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n';
        text.remove_prefix(end + (crLf ? 2 : 1));
    }
    objectsSorted_ = false;
}

const LineList& PdfReader::XrefLines() const {
    if (xrefLines_)
        return *xrefLines_;
    // The list of all sections is the last one walked, then each one before it without its
    // first two lines, and it starts afresh below a list of fewer than three lines. Built
    // from the back, as references to the sections' lines, so that a long chain costs what
    // its lines cost.
    std::vector<LineList> sections;
    std::vector<std::pair<size_t, int64_t>> reversed; // (section, line), last line first
    for (const std::string& text : sectionTexts_) {
        if (reversed.size() >= 3)
            reversed.resize(reversed.size() - 2);
        else
            reversed.clear();
        sections.emplace_back(text);
        for (int64_t i = sections.back().Count() - 1; i >= 0; --i)
            reversed.emplace_back(sections.size() - 1, i);
    }
    xrefLines_.emplace();
    for (auto it = reversed.rbegin(); it != reversed.rend(); ++it)
        xrefLines_->AppendLine(sections[it->first][it->second]);
    return *xrefLines_;
}

void PdfReader::SortEntries() const {
    if (objectsSorted_)
        return;
    // Stable, so the newest section's entry for a number stays first. A single section is
    // mostly in order already.
    const auto byNumber = [](const XrefEntry& a, const XrefEntry& b) {
        return a.number < b.number;
    };
    if (!std::is_sorted(objects_.begin(), objects_.end(), byNumber))
        std::stable_sort(objects_.begin(), objects_.end(), byNumber);
    objects_.erase(
        std::unique(objects_.begin(), objects_.end(),
                    [](const XrefEntry& a, const XrefEntry& b) { return a.number == b.number; }),
        objects_.end());
    objectsSorted_ = true;
}

const XrefEntry& PdfReader::EntryOf(int64_t n) const {
    SortEntries();
    const auto it = std::lower_bound(objects_.begin(), objects_.end(), n,
                                     [](const XrefEntry& e, int64_t v) { return e.number < v; });
    if (it == objects_.end() || it->number != n)
        throw EListError(n + 2);
    return *it;
}

int64_t PdfReader::ObjectOffset(int64_t n) const {
    const XrefEntry& entry = EntryOf(n);
    if (entry.kind != XrefEntry::Kind::InFile)
        throw EListError(n + 2);
    return entry.offset;
}

int64_t PdfReader::LookupObjectOffset(const Words& words, int i) const {
    if (LowerCase(WordAt(words, i + 3)) != "r")
        return -1;
    return ObjectOffset(StrToIntDef(WordAt(words, i + 1), 0));
}

int32_t PdfReader::ReadIntValue(const Words& words, int i) {
    int32_t v = StrToIntDef(WordAt(words, i + 1), 0);
    if (LowerCase(WordAt(words, i + 3)) != "r")
        return v;
    std::string text = LowerCase(Normalise(ObjectBytes(v)));
    if (const size_t at = text.find(" obj"); at != std::string::npos)
        v = StrToIntDef(Trim(std::string_view(text).substr(at + 4)), 0);
    return v;
}

std::string PdfReader::ReadObjectText(int32_t n) {
    std::string b = ObjectBytes(n);
    if (b.size() > 2) {
        const std::string_view tail = std::string_view(b).substr(b.size() - 2);
        if (tail == "\r\n" || tail == "\n\r")
            b.resize(b.size() - 2);
        else if (tail[1] == '\r' || tail[1] == '\n')
            b.resize(b.size() - 1);
    }
    const size_t p = b.find(" obj");
    if (p == std::string::npos || b.size() - (p + 4) < 3)
        return {};
    size_t body = p + 4;
    const std::string_view next = std::string_view(b).substr(body, 2);
    if (next == "\r\n" || next == "\n\r")
        body += 2;
    else if (next[0] == '\r' || next[0] == '\n')
        body += 1;
    return b.substr(body);
}

ValueText PdfReader::ExtractValueText(std::string_view key, std::string_view text, int minLength) {
    const size_t keyAt = FindNameOutsideStrings(text, key);
    if (keyAt == std::string::npos)
        return {};
    std::string_view source = text;
    size_t from = keyAt;
    std::array<std::string_view, 4> after;
    Words storage;
    std::string object;
    int32_t objectNumber = 0;
    // A reference starts with a number; a value that starts otherwise (a string, a name, a
    // dictionary) is not split into words at all.
    const std::string_view rest = text.substr(keyAt + key.size());
    const size_t first = std::find_if(rest.begin(), rest.end(),
                                      [](char c) { return c == '\0' || uint8_t(c) > 0x20; }) -
                         rest.begin();
    const bool mayBeNumber = first < rest.size() &&
                             ((rest[first] >= '0' && rest[first] <= '9') ||
                              std::string_view("+-\"").find(rest[first]) != std::string_view::npos);
    if (mayBeNumber && FirstWords(rest, after, storage) > 2 && !after[2].empty() &&
        (after[2][0] == 'r' || after[2][0] == 'R')) {
        if (const int32_t n = StrToIntDef(after[0], -1); n > 0) {
            // The value of an object depends on nothing else: it is read once.
            if (const auto known = objectValues_.find({n, minLength}); known != objectValues_.end())
                return known->second;
            object = ReadObjectText(n);
            source = object;
            from = 0;
            objectNumber = n;
        }
    }
    ValueText value;
    value.object = objectNumber;
    // The first string after the key; "<<" opens a dictionary, not a string.
    size_t open = from;
    while ((open = source.find_first_of("(<", open)) != std::string::npos &&
           source.compare(open, 2, "<<") == 0)
        open += 2;
    if (open == std::string::npos) {
        if (objectNumber > 0)
            objectValues_.emplace(std::pair{objectNumber, minLength}, value);
        return value;
    }
    const size_t start = open + 1;
    size_t end;
    if (source[open] == '(') {
        value.kind = StringKind::Literal;
        end = FindLiteralEnd(source, start);
        // A producer that left a ')' byte of a binary value unescaped ends it too early;
        // the least length takes such bytes as data.
        if (minLength >= 0 && end < start + size_t(minLength) && end < source.size())
            end = FindLiteralEnd(source, std::min(source.size(), start + size_t(minLength)));
    } else {
        end = source.find('>', start);
        if (end == std::string::npos)
            end = source.size();
    }
    value.text = source.substr(start, end - start);
    if (objectNumber > 0)
        objectValues_.emplace(std::pair{objectNumber, minLength}, value);
    return value;
}

std::string PdfReader::ReadStringValue(std::string_view key, std::string_view text, int minLength) {
    const ValueText value = ExtractValueText(key, text, minLength);
    return value.kind == StringKind::Hexadecimal ? HexToBytes(value.text)
                                                 : UnescapeLiteral(value.text);
}
