// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The cross-reference layer and the object store of the reader: one open PDF file, its tail,
// its chain of cross-reference sections (tables and streams) and trailers, and the objects
// they locate, in the file or inside object streams. See pdfstore.h for how callers ask for
// objects.

#include "crypto/pdfenc.h"
#include "pdf/pdfobject.h"
#include "pdf/pdfsource.h"
#include "pdf/pdftext.h"
#include "pdf/pdfvalue.h"

#include <array>
#include <cstdint>
#include <functional>
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

// Where one object lives: free, at an offset in the file, or the index-th object of object
// stream `stream`.
struct XrefEntry {
    enum class Kind : uint8_t { Free, InFile, Compressed };
    int64_t number = 0;
    Kind kind = Kind::Free;
    int64_t offset = -1; // InFile
    int32_t stream = 0;  // Compressed
    int32_t index = 0;   // Compressed
};

struct ValueText {
    std::string text; // the characters between the delimiters, as they stand
    StringKind kind = StringKind::Hexadecimal;
    int32_t object = 0; // the object the value was read from; 0 when it stands in the text
};

// What a scan of the whole file finds (pdfrecover.cpp), everything in file order.
struct FileScan {
    std::vector<std::pair<int64_t, int64_t>> objects; // (number, offset of "n g obj")
    std::vector<int64_t> trailers;                    // offsets of "trailer" keywords
    std::vector<int64_t> objectStreams;               // numbers of objects of /Type /ObjStm
    std::vector<int64_t> xrefStreams;                 // offsets of objects of /Type /XRef
    std::vector<int64_t> catalogs;                    // numbers of objects of /Type /Catalog
    std::map<int64_t, int64_t> newest;                // number to its last header's offset
};

class PdfReader {
public:
    // Opens fileName read-only; other programs may go on reading and writing it.
    // Raises EFOpenError when it cannot be opened or is not a regular file.
    explicit PdfReader(const std::string& fileName);
    ~PdfReader();
    PdfReader(const PdfReader&) = delete;
    PdfReader& operator=(const PdfReader&) = delete;

    int64_t Size() const { return source_.Size(); }
    ByteSource& Source() { return source_; }

    // The first bytes of the file (at most 10) up to the first CR or LF.
    std::string HeaderLine() { return source_.HeaderLine(); }
    // Collects TailWords backwards from the end up to the line with startxref and returns
    // the offset of the newest cross-reference section.
    int64_t FindStartXref();
    // An object or a dictionary: far more than any real one needs, little enough that a
    // missing end costs nothing.
    static constexpr size_t kObjectReadLimit = 1u << 20;
    // Reads forward from offset until keyword (lower case) or until limit bytes are read.
    KeywordRead ReadUntilKeyword(int64_t offset, std::string_view keyword,
                                 size_t limit = kObjectReadLimit) {
        return source_.ReadUntilKeyword(offset, keyword, limit);
    }
    // Walks the sections from offset along /Prev (and a table's /XRefStm): XrefLines,
    // TrailerLines, FileId, Trailer. A section may be a table or a cross-reference stream.
    void ReadXrefChain(int64_t offset);
    // Rebuilds the object table by scanning the whole file for "n g obj" headers, trailers
    // and cross-reference streams, the last occurrence of a number winning (pdfrecover.cpp).
    // Trailers found fill in the trailer newest first; without a /Root in any, the newest
    // catalog found is the root. False (nothing changed) when the scan finds no object.
    bool RecoverXref();
    bool Recovered() const { return recovered_; }

    // The newest trailer dictionary, older ones filling in keys it lacks; for a
    // cross-reference stream, the stream's dictionary.
    const PdfObject& Trailer() const { return trailer_; }

    // ---- The object store (pdfstore.cpp; how to use it: pdfstore.h) ----
    // Object n's value; null when the table has no object n (a reference to a missing
    // object is null).
    PdfObject ReadObject(int32_t n);
    // value itself, or the object it refers to (followed a few times at most).
    PdfObject Resolve(const PdfObject& value);
    // The decoded bytes of stream object n; empty when n is no stream. encrypted false: the
    // stream is plain even in an encrypted file (metadata under /EncryptMetadata false).
    std::string ReadStreamData(int32_t n, bool encrypted = true);
    // Object n's text as the file would write it, "n g obj" up to (not including) endobj.
    // For an object inside an object stream the header is made: "n 0 obj" and a line break.
    // Raises EListError (n + 2) when the table has no object n.
    std::string ObjectBytes(int32_t n);
    // Whether offset holds the header "n g obj" of object n.
    bool HoldsObject(int64_t offset, int64_t n);
    // How the data of an encrypted file's streams is decrypted, given the stream's object
    // number and generation; set once the file key is known (object streams read before
    // are read again).
    using StreamDecryptor = std::function<std::string(std::string, int32_t, int32_t)>;
    void SetStreamDecryptor(StreamDecryptor decryptor);
    // Whether object n lives inside an object stream (its strings are then not encrypted on
    // their own: the stream is).
    bool IsCompressed(int32_t n) const;
    // The generation under which object n is encrypted: its own in the file, 0 when inside an
    // object stream.
    int32_t ObjectGeneration(int32_t n);

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

    // The table's entry for object n: the newest section's entry wins. Raises EListError with
    // the line index n + 2 when there is none.
    const XrefEntry& EntryOf(int64_t n) const;
    // The file offset of object n; a free entry, or an object inside an object stream, means
    // the object is absent from the file's body and raises EListError with the index n + 2.
    int64_t ObjectOffset(int64_t n) const;

    const Words& TailWords() const { return tailWords_; }
    const LineList& XrefLines() const;
    const std::vector<std::string>& TrailerLines() const { return trailerLines_; }
    // The first string of the trailer's /ID, whole; empty when there is none.
    const std::string& FileId() const { return fileId_; }

private:
    std::string ReadTrailerText(int64_t from);
    void AddSectionEntries(std::string_view text);
    // The cross-reference stream whose object starts at offset: its entries are added and its
    // dictionary returned; a null object when no stream object starts there.
    PdfObject ReadXrefStream(int64_t offset);
    void AddTrailer(const PdfObject& dictionary);
    // The bytes of an object at offset in the file, up to its endobj (read on past an endobj
    // that lies inside a string).
    std::string ObjectBytesAt(int64_t offset);
    // The dictionary and raw (undecoded) data of the stream object at offset; false when
    // no stream object starts there.
    bool ReadStreamObjectAt(int64_t offset, PdfObject& dict, std::string& raw);
    // Where object n really starts when its entry's offset holds something else: the newest
    // "n g obj" header a scan of the file finds, or -1.
    int64_t ScannedOffset(int64_t n);
    const FileScan& Scan();
    // The decoded object stream s: its object numbers and offsets, and its bytes.
    struct ObjectStream {
        std::vector<std::pair<int64_t, int64_t>> objects; // number, offset after /First
        std::string data;
        int64_t first = 0;
    };
    const ObjectStream& LoadObjectStream(int32_t s);
    std::string CompressedObjectText(const XrefEntry& entry);
    void SortEntries() const;

    ByteSource source_;
    Words tailWords_;
    std::vector<std::string> sectionTexts_;     // in the order walked
    mutable std::optional<LineList> xrefLines_; // made from them when asked for
    // The values of objects read so far, by object number and least length.
    std::map<std::pair<int32_t, int>, ValueText> objectValues_;
    std::map<DecodedKey, std::string> decodedValues_;
    std::vector<std::string> trailerLines_;
    std::string fileId_;
    PdfObject trailer_;
    bool recovered_ = false;
    // Newest section first until sorted; then by number, one entry a number.
    mutable std::vector<XrefEntry> objects_;
    mutable bool objectsSorted_ = true;
    // Object streams decompressed so far: each at most once per reader.
    std::map<int32_t, ObjectStream> objectStreams_;
    std::vector<int32_t> loadingStreams_; // the streams being loaded, against loops
    std::optional<FileScan> scan_;
    StreamDecryptor decryptStream_;
};
