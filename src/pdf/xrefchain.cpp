// SPDX-License-Identifier: GPL-3.0-or-later
#include "pdf/xrefchain.h"

#include "common/errors.h"
#include "pdf/bytesource.h"
#include "pdf/indirectobject.h"
#include "pdf/readbudget.h"
#include "pdf/streamfilters.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cstring>
#include <optional>
#include <set>

namespace {

// The startxref line sits within the last few bytes of every real file; a file with junk
// appended is looked at this far back.
constexpr int64_t kFirstTail = 1024;
constexpr int64_t kLongestTail = int64_t(256) << 10;
// A stream's entry fields are at most eight bytes wide: an offset or a number has 64 bits.
constexpr int64_t kMaxFieldWidth = 8;

[[noreturn]] void Damaged(const char* what) {
    throw EReadError(ErrorKind::Damaged, what);
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// A run of decimal digits as a number; nothing when it is empty, holds anything else or does
// not fit.
std::optional<int64_t> Unsigned(std::string_view digits) {
    int64_t value = 0;
    if (digits.empty() || !std::all_of(digits.begin(), digits.end(), IsDigit) ||
        std::from_chars(digits.data(), digits.data() + digits.size(), value).ec != std::errc{})
        return std::nullopt;
    return value;
}

int64_t IntegerOr(const PdfObject* o, int64_t def) {
    return o && o->IsInteger() ? o->integer : def;
}

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

// A classic section read token by token through a window that moves along the file. Nearly
// every entry is written in the standard 20-byte form, which is taken without tokens.
class SectionReader {
public:
    SectionReader(const ByteSource& source, int64_t offset) : source_(source), start_(offset) {}

    // The next run of regular characters (a number, "n", "f", a keyword), white space and
    // comments skipped; empty at the end of the file or at a delimiter.
    std::string_view Peek() {
        SkipSpace();
        // Counted from the read position: reading on moves the window's bytes.
        size_t length = 0;
        while (Have(length + 1) && IsRegularChar(buffer_[pos_ + length]))
            ++length;
        return std::string_view(buffer_).substr(pos_, length);
    }
    std::string_view Next() {
        const std::string_view token = Peek();
        pos_ += token.size();
        return token;
    }
    int64_t Position() { return start_ + int64_t(pos_); }

    // "oooooooooo ggggg n" at the read position: its offset and whether it is in use.
    bool StandardEntry(int64_t& offset, bool& inUse) {
        SkipSpace();
        if (!Have(19))
            return false;
        const char* e = buffer_.data() + pos_;
        if (IsRegularChar(e[18]) || !StandardFields(e))
            return false;
        offset = EntryOffset(e);
        inUse = e[17] == 'n';
        pos_ += 18;
        return true;
    }

    // The entries from the read position on that are written in the standard form with a
    // two-byte line end, 20 bytes each, as nearly every table is: at most count of them, each
    // given to add(offset, inUse) as StandardEntry would read it. Returns how many; what
    // follows is left to StandardEntry and tokens.
    template <class AddEntry> int64_t StandardRun(int64_t count, AddEntry&& add) {
        SkipSpace();
        int64_t taken = 0;
        for (; taken < count && Have(20); ++taken, pos_ += 20) {
            const char* e = buffer_.data() + pos_;
            if (!IsPdfSpace(e[18]) || !IsPdfSpace(e[19]) || !StandardFields(e))
                break;
            add(EntryOffset(e), e[17] == 'n');
        }
        return taken;
    }

private:
    // Whether the 18 bytes at e are "oooooooooo ggggg n" or "... f".
    static bool StandardFields(const char* e) {
        if (e[10] != ' ' || e[16] != ' ' || (e[17] != 'n' && e[17] != 'f') ||
            !AllDigits(LoadWord(e)) || !IsDigit(e[8]) || !IsDigit(e[9]))
            return false;
        for (int i = 11; i < 16; ++i)
            if (!IsDigit(e[i]))
                return false;
        return true;
    }
    static int64_t EntryOffset(const char* e) {
        return int64_t(EightDigitsValue(LoadWord(e)) * 100 + uint64_t(e[8] - '0') * 10 +
                       uint64_t(e[9] - '0'));
    }

    // Whether n bytes from the read position are in the window, reading on when they are not.
    // Reads grow from a few hundred bytes (a section of one entry, as a chain of thousands of
    // updates has them) to 64 KiB (a table of thousands of entries).
    bool Have(size_t n) {
        if (pos_ + n <= buffer_.size())
            return true;
        start_ += int64_t(pos_);
        buffer_.erase(0, pos_);
        pos_ = 0;
        const int64_t at = start_ + int64_t(buffer_.size());
        chunk_ = std::min<int64_t>(chunk_ * 2, int64_t(64) << 10);
        buffer_ += source_.Read(at, std::max<int64_t>(chunk_, int64_t(n)));
        return n <= buffer_.size();
    }
    void SkipSpace() {
        while (Have(1)) {
            // The blanks in the window at once; Have reads on only at its end.
            if (IsPdfSpace(buffer_[pos_])) {
                do
                    ++pos_;
                while (pos_ < buffer_.size() && IsPdfSpace(buffer_[pos_]));
            } else if (buffer_[pos_] == '%') {
                while (Have(1) && buffer_[pos_] != '\r' && buffer_[pos_] != '\n')
                    ++pos_;
            } else {
                return;
            }
        }
    }

    const ByteSource& source_;
    int64_t start_; // file offset of buffer_[0]
    std::string buffer_;
    size_t pos_ = 0;
    int64_t chunk_ = 128;
};

class ChainWalk {
public:
    ChainWalk(const ByteSource& source, ReadBudget& budget) : source_(source), budget_(budget) {}

    XrefTable Walk() {
        std::set<int64_t> visited; // a /Prev chain that comes back is damaged
        int32_t sections = 0;
        for (int64_t offset = FindStartxref(source_);;) {
            ++sections;
            if (!visited.insert(offset).second)
                Damaged("/Prev が読んだ相互参照に戻っています");
            PdfObject trailer = Section(offset, visited);
            offset = IntegerOr(trailer.Get("Prev"), -1);
            trailer_.AddMissing(std::move(trailer));
            if (offset < 0)
                break;
            if (offset >= source_.Size())
                Damaged("/Prev がファイルの外を指しています");
        }
        return XrefTable(XrefTable::Origin::Chain, std::move(entries_), std::move(trailer_),
                         sections);
    }

private:
    // Reads the section at offset, its entries after those of newer sections; gives its
    // trailer (a cross-reference stream's dictionary).
    PdfObject Section(int64_t offset, std::set<int64_t>& visited) {
        if (HoldsObjectHeader(offset)) {
            PdfObject dictionary = StreamSectionOrDamaged(offset);
            if (!dictionary.IsDictionary())
                Damaged("相互参照ストリームが読めません");
            return dictionary;
        }
        SectionReader reader(source_, offset);
        if (reader.Next() != "xref")
            Damaged("相互参照表が startxref や /Prev の指す所にありません");
        const size_t sectionStart = entries_.size();
        TableEntries(reader);
        budget_.SpendParsing(reader.Position() - offset);
        PdfObject trailer = ReadValueAt(source_, reader.Position(), budget_);
        if (!trailer.IsDictionary())
            Damaged("trailer の辞書が読めません");
        // A hybrid file's stream holds what its table leaves out: its entries rank below the
        // table's objects and above older sections'. The table's free entries stand for the
        // objects its stream holds, so they rank below the stream's.
        if (const PdfObject* stm = trailer.Get("XRefStm");
            stm && stm->IsInteger() && visited.insert(stm->integer).second) {
            StreamSectionOrDamaged(stm->integer);
            std::stable_partition(
                entries_.begin() + long(sectionStart), entries_.end(),
                [](const XrefEntry& e) { return e.kind() != XrefEntry::Kind::Free; });
        }
        return trailer;
    }

    bool HoldsObjectHeader(int64_t offset) {
        char head[48];
        const std::string_view text(head, size_t(source_.ReadAt(offset, head, sizeof head)));
        size_t pos = 0;
        int64_t number = 0;
        int32_t generation = 0;
        return ParseObjectHeader(text, pos, number, generation);
    }

    void Add(const XrefEntry& entry) {
        budget_.SpendEntries(1);
        entries_.push_back(entry);
    }

    // Room for count more entries. The room at least doubles, as push_back's does: a file of
    // a thousand sections would otherwise copy all the entries so far once a section.
    void ReserveMore(int64_t count) {
        const size_t needed = entries_.size() + size_t(std::max<int64_t>(0, count));
        if (needed > entries_.capacity())
            entries_.reserve(std::max(needed, 2 * entries_.capacity()));
    }

    // The subsections of a classic section up to its "trailer" keyword.
    void TableEntries(SectionReader& reader) {
        for (;;) {
            const std::string_view word = reader.Next();
            if (word == "trailer")
                return;
            const std::optional<int64_t> first = Unsigned(word);
            const std::optional<int64_t> count = Unsigned(reader.Next());
            if (!first || !count || *first > kMaxObjectNumber || *count > kMaxObjectNumber - *first)
                Damaged("相互参照表の小見出しが壊れています");
            // Room for the entries the rest of the file can hold in their standard form; a
            // count beyond that is damage and is not allocated for.
            ReserveMore(std::min(
                {*count, (source_.Size() - reader.Position()) / 20, budget_.EntriesLeft()}));
            int64_t number = *first;
            const int64_t end = *first + *count;
            auto add = [&](int64_t offset, bool inUse) {
                Add(inUse ? XrefEntry::InFile(number, offset) : XrefEntry::Free(number));
                ++number;
            };
            while (number < end) {
                if (reader.StandardRun(end - number, add) > 0)
                    continue;
                int64_t offset = 0;
                bool inUse = false;
                if (!reader.StandardEntry(offset, inUse)) {
                    // A table cut short ends at its trailer; other forms go by tokens.
                    if (reader.Peek() == "trailer")
                        break;
                    const std::optional<int64_t> at = Unsigned(reader.Next());
                    const std::optional<int64_t> generation = Unsigned(reader.Next());
                    const std::string_view type = reader.Next();
                    if (!at || !generation || (type != "n" && type != "f"))
                        Damaged("相互参照表の項目が壊れています");
                    offset = *at;
                    inUse = type == "n";
                }
                add(offset, inUse);
            }
        }
    }

    // A cross-reference stream this reader cannot decode leaves the chain unreadable.
    PdfObject StreamSectionOrDamaged(int64_t offset) {
        try {
            return StreamSection(offset);
        } catch (const EReadError& e) {
            if (e.Kind() != ErrorKind::UnsupportedFilter)
                throw;
            Damaged("相互参照ストリームの圧縮方式に対応していません");
        }
    }

    // The entries of the cross-reference stream at offset, after those read so far; gives its
    // dictionary, or null when no such stream is there.
    PdfObject StreamSection(int64_t offset) {
        std::optional<IndirectObject> object = ReadIndirectObject(source_, offset, budget_);
        if (!object || !object->IsStream())
            return {};
        const PdfObject& dict = object->value; // moved out, not copied, when it is given
        const PdfObject* w = dict.Get("W");
        if (!w || !w->IsArray() || w->items.size() < 3)
            return {};
        int64_t widths[3];
        for (size_t k = 0; k < 3; ++k) {
            widths[k] = IntegerOr(&w->items[k], -1);
            if (widths[k] < 0 || widths[k] > kMaxFieldWidth)
                return {};
        }
        const int64_t rowSize = widths[0] + widths[1] + widths[2];
        std::vector<std::pair<int64_t, int64_t>> subsections;
        if (const PdfObject* index = dict.Get("Index"); index && index->IsArray()) {
            for (size_t k = 0; k + 1 < index->items.size(); k += 2)
                subsections.emplace_back(IntegerOr(&index->items[k], -1),
                                         IntegerOr(&index->items[k + 1], -1));
        } else {
            subsections.emplace_back(0, IntegerOr(dict.Get("Size"), 0));
        }
        int64_t rows = 0;
        for (const auto& [first, count] : subsections) {
            if (first < 0 || count < 0 || first > kMaxObjectNumber ||
                count > kMaxObjectNumber - first)
                return {};
            rows += count;
        }
        if (rowSize == 0 || rows == 0)
            return std::move(object->value);
        // The entries are counted before the rows are decoded: a stream that lists more than
        // the budget allows is not inflated at all.
        if (rows > budget_.EntriesLeft())
            budget_.SpendEntries(rows);
        const std::string data = DecodeStream(dict, RawStreamData(source_, *object, budget_),
                                              size_t(rows * rowSize), budget_);
        ReserveMore(std::min(rows, int64_t(data.size() / size_t(rowSize))));
        size_t at = 0;
        for (const auto& [first, count] : subsections) {
            // Rows beyond what the data holds are not there.
            const int64_t present =
                std::min<int64_t>(count, int64_t((data.size() - at) / size_t(rowSize)));
            for (int64_t k = 0; k < present; ++k) {
                const int64_t type = widths[0] == 0 ? 1 : int64_t(Field(data, at, widths[0]));
                const uint64_t second = Field(data, at, widths[1]);
                const uint64_t third = Field(data, at, widths[2]);
                const int64_t number = first + k;
                if (type == 0)
                    Add(XrefEntry::Free(number));
                else if (type == 1 && second <= uint64_t(INT64_MAX))
                    Add(XrefEntry::InFile(number, int64_t(second)));
                else if (type == 2 && second > 0 && second <= uint64_t(kMaxObjectNumber) &&
                         third <= uint64_t(kMaxObjectNumber))
                    Add(XrefEntry::Compressed(number, int64_t(second), int64_t(third)));
                // A type this reader does not know stands for nothing.
            }
        }
        return std::move(object->value);
    }

    static uint64_t Field(std::string_view row, size_t& at, int64_t width) {
        uint64_t v = 0;
        for (int64_t k = 0; k < width; ++k)
            v = (v << 8) | uint8_t(row[at++]);
        return v;
    }

    const ByteSource& source_;
    ReadBudget& budget_;
    std::vector<XrefEntry> entries_; // the newest section's first
    PdfObject trailer_;
};

} // namespace

int64_t FindStartxref(const ByteSource& source) {
    for (int64_t tail = kFirstTail;; tail = kLongestTail) {
        const int64_t from = std::max<int64_t>(0, source.Size() - tail);
        const std::string bytes = source.Read(from, source.Size() - from);
        const size_t at = bytes.rfind("startxref");
        if (at != std::string::npos) {
            size_t pos = at + 9;
            const PdfObject value = ParseObject(bytes, pos);
            if (!value.IsInteger() || value.integer < 0 || value.integer >= source.Size())
                Damaged("startxref の値がファイルの中を指していません");
            return value.integer;
        }
        if (tail == kLongestTail || from == 0)
            Damaged("startxref がありません");
    }
}

XrefTable ReadXrefChain(const ByteSource& source, ReadBudget& budget) {
    return ChainWalk(source, budget).Walk();
}
