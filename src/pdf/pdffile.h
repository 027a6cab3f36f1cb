#pragma once
// The structural layer of the reader: one open PDF file, its tail, its chain of
// cross-reference sections and trailers, and the lookups built on them. The reader works on
// the file's bytes as text; cross-reference streams and compressed objects are not read.

#include "crypto/pdfenc.h"
#include "pdf/pdftext.h"
#include "pdf/pdfvalue.h"

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

// Lines of a text kept in one buffer. Indexing outside the list raises EListError.
class LineList {
public:
    // More lines than any real cross-reference chain has (its entries are 20 bytes each and
    // it is read up to 16 MiB); lines beyond are dropped, so a text of nothing but line breaks
    // costs no more than a real one.
    static constexpr int64_t kMaxLines = int64_t(1) << 20;

    LineList() = default;
    explicit LineList(std::string text);
    int64_t Count() const { return int64_t(spans_.size()); }
    std::string_view operator[](int64_t i) const;
    void AppendLine(std::string_view line);
    size_t TextSize() const { return text_.size(); }

private:
    std::string text_;
    std::vector<std::pair<size_t, size_t>> spans_; // start and length of each line
};

struct KeywordRead {
    std::string bytes; // from the start offset up to, not including, the keyword
    bool found = false;
    int64_t keywordOffset = -1; // where the keyword starts in the file, when found
};

struct ValueText {
    std::string text; // the characters between the delimiters, as they stand
    StringKind kind = StringKind::Hexadecimal;
    int32_t object = 0;     // the object the value was read from; 0 when it stands in the text
    int32_t generation = 0; // that object's generation
};

class PdfReader {
public:
    // Opens fileName read-only; other programs may go on reading and writing it.
    // Raises EFOpenError when it cannot be opened or is not a regular file.
    explicit PdfReader(const std::string& fileName);
    ~PdfReader();
    PdfReader(const PdfReader&) = delete;
    PdfReader& operator=(const PdfReader&) = delete;

    int64_t Size() const { return size_; }

    // The first bytes of the file (at most 10) up to the first CR or LF.
    std::string HeaderLine();
    // Collects TailWords backwards from the end up to the line with startxref and returns
    // the offset of the newest cross-reference section.
    int64_t FindStartXref();
    // An object or a dictionary: far more than any real one needs, little enough that a
    // missing end costs nothing.
    static constexpr size_t kObjectReadLimit = 1u << 20;
    // Reads forward from offset until keyword (lower case) or until limit bytes are read.
    KeywordRead ReadUntilKeyword(int64_t offset, std::string_view keyword,
                                 size_t limit = kObjectReadLimit);
    // Walks the sections from offset along /Prev: XrefLines, TrailerLines, FileId.
    void ReadXrefChain(int64_t offset);

    // Offset of the object named by "n g R" after words[i], or -1 when no reference follows.
    int64_t LookupObjectOffset(const Words& words, int i) const;
    // The integer after words[i], read from its object when it is a reference.
    int32_t ReadIntValue(const Words& words, int i);
    // The body of object n (what follows "n g obj" up to endobj), or an empty text.
    std::string ReadObjectText(int32_t n);
    // The string value after key (lower case, with its slash) in text; an indirect value is
    // read from its object. minLength characters of a literal value are taken unexamined.
    ValueText ExtractValueText(std::string_view key, std::string_view text, int minLength);
    // The bytes of that value: escapes resolved or hexadecimal digits decoded.
    std::string ReadStringValue(std::string_view key, std::string_view text, int minLength);

    // Text a caller made of the value of an object, keyed by what it was made from and how:
    // a dictionary may name one large object many times, and it is read and decoded once.
    using DecodedKey = std::tuple<int32_t, int, bool>; // object, least length, decrypted
    std::map<DecodedKey, std::string>& DecodedValues() { return decodedValues_; }

    // The file offset of object n: the newest section's entry wins, a free entry means the
    // object is absent. An absent object raises EListError with the line index n + 2.
    int64_t ObjectOffset(int64_t n) const;

    const Words& TailWords() const { return tailWords_; }
    const LineList& XrefLines() const;
    const std::vector<std::string>& TrailerLines() const { return trailerLines_; }
    // The first string of the trailer's /ID, whole; empty when there is none.
    const std::string& FileId() const { return fileId_; }

private:
    int64_t ReadAt(int64_t offset, char* buffer, int64_t count) const;
    std::string ReadTrailerText(int64_t from);
    void AddSectionEntries(std::string_view text);

    // Reads go through a few cached blocks: the reader asks for a few hundred bytes at a time,
    // mostly near the end of the file and near each other.
    struct CachedBlock {
        int64_t start = -1;
        std::unique_ptr<char[]> data; // kCacheBlockSize bytes, of which size were read
        int64_t size = 0;
        uint64_t lastUse = 0;
        std::string_view Bytes() const { return {data.get(), size_t(size)}; }
    };
    static constexpr int64_t kCacheBlockSize = 4 << 10;
    const CachedBlock& BlockAt(int64_t start) const;
    void TakeBuffer(CachedBlock& block) const;
    bool ReadWholeSmallFile() const;
    mutable std::array<CachedBlock, 8> cache_;
    mutable uint64_t useCount_ = 0;

    int fd_ = -1;
    int64_t size_ = 0;
    Words tailWords_;
    std::vector<std::string> sectionTexts_;     // in the order walked
    mutable std::optional<LineList> xrefLines_; // made from them when asked for
    // The values of objects read so far, by object number and least length.
    std::map<std::pair<int32_t, int>, ValueText> objectValues_;
    std::map<DecodedKey, std::string> decodedValues_;
    std::vector<std::string> trailerLines_;
    std::string fileId_;
    // (object number, offset or -1 for a free entry), newest section first until sorted.
    mutable std::vector<std::pair<int64_t, int64_t>> objects_;
    mutable bool objectsSorted_ = true;
};
