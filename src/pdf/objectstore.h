// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// PDF objects by number, wherever they live (in the file's body or inside an object stream),
// as values whose strings are already decrypted. Callers never see a byte offset or a key.
//
//   ObjectStore store(source, table, budget, &security);  // security: only for an opened file
//   PdfObject catalog = store.Resolve(*table.Trailer().Get("Root"));
//   const PdfObject* pages = catalog.Get("Pages");        // key without the slash
//   std::string xmp = store.StreamData(12, limit);        // decoded and decrypted

#include "pdf/indirectobject.h"
#include "pdf/objectstream.h"
#include "pdf/pdfobject.h"

#include <cstdint>
#include <exception>
#include <list>
#include <optional>
#include <string>
#include <vector>

class ByteSource;
class ReadBudget;
class SecurityHandler;
class XrefTable;

// A table entry that does not hold the object it names (offsets shifted by an edit, a damaged
// table): the table cannot be trusted, and the reader recovers one from a scan of the file.
class ObjectNotAtEntry : public std::exception {
public:
    const char* what() const noexcept override { return "object not at its entry"; }
};

class ObjectStore {
public:
    // All are kept by reference and must outlive the store. security decrypts the strings and
    // streams of an encrypted file whose password opened it; without it, data is as it stands.
    ObjectStore(const ByteSource& source, const XrefTable& table, ReadBudget& budget,
                const SecurityHandler* security = nullptr);

    // Object n's value; null when the table has no object n or its entry is free (a reference
    // to a missing object is null). Raises ObjectNotAtEntry when a table walked from startxref
    // points elsewhere; a recovered table's entries are taken as they are.
    // keep: the keys a dictionary is read for (ParseObject); empty for all.
    PdfObject Object(int64_t n, KeySet keep = {});
    // value itself, or the object it refers to (followed a few times at most).
    PdfObject Resolve(const PdfObject& value, KeySet keep = {});
    // The decoded data of stream object n, at most maxOutput bytes; empty when n is no stream.
    std::string StreamData(int64_t n, size_t maxOutput);

private:
    // Object n as it stands in the file, or nothing.
    std::optional<IndirectObject> InFile(int64_t n, KeySet keep = {});
    // An object stream decoded as far as it was needed: the objects a document is read for
    // mostly come first, while a page tree's thousands of pages may follow.
    struct LoadedStream {
        int64_t number = 0;
        std::string data;
        bool whole = false; // data is all the stream decodes to, not a part of it
        ObjectStreamTable table;
        // The objects' offsets in order: each object's bytes end where the next begins, or
        // with the data (beyond it while the data is not whole).
        std::vector<int64_t> starts;
        int64_t EndOf(int64_t start) const;
    };
    // The object stream s with its table, decoded whole or at least as far as want bytes;
    // nullptr when it cannot be read.
    const LoadedStream* ObjectStream(int64_t s, size_t want);
    PdfObject Compressed(int64_t n, int64_t s, int64_t index, KeySet keep);
    void DecryptStrings(PdfObject& value, int64_t n, int32_t g) const;

    const ByteSource& source_;
    const XrefTable& table_;
    ReadBudget& budget_;
    const SecurityHandler* security_;
    // Decoded object streams, the last used first, at most kCachedStreamBytes together.
    std::list<LoadedStream> streams_;
    size_t cachedBytes_ = 0;
    // Objects being read, against a stream whose /Length or whose object stream names itself.
    std::vector<int64_t> reading_;
};
