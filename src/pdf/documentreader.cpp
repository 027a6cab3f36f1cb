// SPDX-License-Identifier: GPL-3.0-or-later
#include "pdf/documentreader.h"

#include "common/errors.h"
#include "pdf/bytesource.h"
#include "pdf/documentfeatures.h"
#include "pdf/indirectobject.h"
#include "pdf/objectstore.h"
#include "pdf/pagetree.h"
#include "pdf/pdfdate.h"
#include "pdf/readbudget.h"
#include "pdf/securityhandler.h"
#include "pdf/textstring.h"
#include "pdf/xmp.h"
#include "pdf/xrefchain.h"
#include "pdf/xrefrecovery.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <optional>

namespace {

// Writers and the tools that handle files put a byte-order mark, a printer's job ticket or a
// banner before the header; readers look for it this far in.
constexpr int64_t kHeaderWindow = 1024;
// An XMP packet is read this far: real ones are a few KiB, with a thumbnail a few hundred.
constexpr size_t kMaxXmpPacket = size_t(4) << 20;

// The version the header names (the digits and dots after "%PDF-"; a NUL or other junk after
// them is no part of it), or nothing when the first kHeaderWindow bytes hold no header.
std::optional<std::string> HeaderVersion(const ByteSource& source) {
    const std::string head = source.Read(0, kHeaderWindow);
    const size_t at = head.find("%PDF-");
    if (at == std::string::npos)
        return std::nullopt;
    size_t end = at + 5;
    while (end < head.size() && ((head[end] >= '0' && head[end] <= '9') || head[end] == '.'))
        ++end;
    return head.substr(at + 5, end - at - 5);
}

// The text properties, by their Info key and XMP property.
struct TextField {
    const char* key;
    std::string DocumentInfo::*field;
    std::optional<std::string> XmpProperties::*xmp;
};
constexpr TextField kTextFields[] = {
    {"Title", &DocumentInfo::title, &XmpProperties::Title},
    {"Subject", &DocumentInfo::subject, &XmpProperties::Subject},
    {"Author", &DocumentInfo::author, &XmpProperties::Author},
    {"Keywords", &DocumentInfo::keywords, &XmpProperties::Keywords},
    {"Creator", &DocumentInfo::creator, &XmpProperties::Creator},
    {"Producer", &DocumentInfo::producer, &XmpProperties::Producer},
};

// The keys the Info dictionary is read for: other entries (a writer's own, of any size) are
// stepped over, and in an encrypted file not decrypted.
constexpr auto kInformationKeys = [] {
    std::array<std::string_view, std::size(kTextFields) + 2> keys{};
    for (size_t i = 0; i < std::size(kTextFields); ++i)
        keys[i] = kTextFields[i].key;
    keys[std::size(kTextFields)] = "CreationDate";
    keys[std::size(kTextFields) + 1] = "ModDate";
    return keys;
}();

// Whether the table names a root that the file holds where the table says.
bool RootUsable(const ByteSource& source, const XrefTable& table) {
    const PdfObject* root = table.Trailer().Get("Root");
    if (!root || !root->IsReference())
        return false;
    const XrefEntry* entry = table.Find(root->integer);
    return entry && (entry->kind() == XrefEntry::Kind::Compressed ||
                     (entry->kind() == XrefEntry::Kind::InFile &&
                      HoldsObject(source, entry->Offset(), root->integer)));
}

class DocumentReader {
public:
    DocumentReader(const ByteSource& source, ReadBudget& budget, const ReadOptions& options)
        : source_(source), budget_(budget), options_(options) {}

    // Fills info (made anew) with the document the table leads to; false when its catalog
    // cannot be read. Raises ObjectNotAtEntry for a walked table whose entries do not hold
    // their objects. The caller's one DocumentInfo is filled rather than one returned, as the
    // record is large and would be moved on every way out.
    bool Read(const XrefTable& table, DocumentInfo& info) {
        info.fileSize = source_.Size();
        const PdfObject& trailer = table.Trailer();
        std::optional<SecurityHandler> security = Security(table);
        if (security)
            info.encryption = security->Facts();
        ObjectStore store(source_, table, budget_,
                          security && security->Opened() ? &*security : nullptr);
        // An object inside an object stream of a file the handler cannot open is hidden by the
        // encryption, not lost to damage: the catalog or the page tree there leaves nothing to
        // list.
        auto failIfHidden = [&](const PdfObject* ref) {
            const XrefEntry* entry = ref && ref->IsReference() ? table.Find(ref->integer) : nullptr;
            if (!security || security->Opened() || !entry ||
                entry->kind() != XrefEntry::Kind::Compressed)
                return;
            if (!security->UnknownMethod().empty())
                throw EReadError(ErrorKind::UnsupportedFilter, security->UnknownMethod());
            throw EReadError(ErrorKind::WrongPassword);
        };
        const PdfObject* root = trailer.Get("Root");
        failIfHidden(root);
        // Without the features, the catalog is read for what the list shows: its other entries
        // (a form's fields, name trees, outlines) may be large.
        static constexpr std::string_view kListedKeys[] = {"Pages", "Metadata"};
        const PdfObject catalog =
            root ? store.Resolve(*root, options_.features ? KeySet() : KeySet(kListedKeys))
                 : PdfObject();
        if (!catalog.IsDictionary())
            return false;
        if (const PdfObject* pages = catalog.Get("Pages")) {
            failIfHidden(pages);
            info.pageCount = PageCount(store, *pages, budget_);
        }
        // The page sizes, the form's structure and the signature blobs need no password.
        std::optional<ObjectStore> raw;
        if (options_.features) {
            if (security)
                raw.emplace(source_, table, budget_);
            info.features = ReadDocumentFeatures(
                {source_, table, store, raw ? &*raw : nullptr, budget_}, catalog, info.pageCount);
        }
        if (!info.encryption.TextReadable())
            return true;
        if (const PdfObject* entry = trailer.Get("Info"))
            ReadInformation(store, store.Resolve(*entry, kInformationKeys), info);
        ReadMetadata(store, catalog, info);
        return true;
    }

    // The handler of an encrypted file's table, from its /Encrypt dictionary (read as it
    // stands: it is never encrypted); nothing for a plain file.
    std::optional<SecurityHandler> Security(const XrefTable& table) {
        const PdfObject* encrypt = table.Trailer().Get("Encrypt");
        if (!encrypt || encrypt->IsNull())
            return std::nullopt;
        ObjectStore plain(source_, table, budget_);
        return SecurityHandler(
            plain.Resolve(*encrypt), [&plain](const PdfObject& v) { return plain.Resolve(v); },
            table.FileId(), options_.password, options_.lenientPassword);
    }

private:
    void ReadInformation(ObjectStore& store, const PdfObject& dict, DocumentInfo& info) {
        for (size_t i = 0; i < std::size(kTextFields); ++i)
            if (const PdfObject* v = dict.Get(kTextFields[i].key)) {
                info.*kTextFields[i].field = TextOf(store, *v);
                infoHas_[i] = true;
            }
        if (const PdfObject* v = dict.Get("CreationDate")) {
            info.creationDate = ParsePdfDate(TextOf(store, *v));
            infoHasDate_ = true;
        }
        if (const PdfObject* v = dict.Get("ModDate"))
            info.modificationDate = ParsePdfDate(TextOf(store, *v));
    }

    // The catalog's XMP packet fills the properties the Info dictionary has no entry for: the
    // Info dictionary wins where it has one (even an empty one). Files written for PDF 2.0
    // often have no Info dictionary at all. A packet that cannot be read is passed over: it
    // never fails the file.
    void ReadMetadata(ObjectStore& store, const PdfObject& catalog, DocumentInfo& info) {
        if (std::all_of(std::begin(infoHas_), std::end(infoHas_), [](bool b) { return b; }) &&
            infoHasDate_ && !options_.features)
            return;
        const PdfObject* metadata = catalog.Get("Metadata");
        if (!metadata || !metadata->IsReference())
            return;
        XmpProperties xmp;
        try {
            xmp = ParseXmp(store.StreamData(metadata->integer, kMaxXmpPacket));
        } catch (const EPagewickError&) {
            return;
        }
        for (size_t i = 0; i < std::size(kTextFields); ++i)
            if (!infoHas_[i] && xmp.*kTextFields[i].xmp)
                info.*kTextFields[i].field = *(xmp.*kTextFields[i].xmp);
        if (!infoHasDate_ && xmp.CreateDate)
            info.creationDate = ParsePdfDate(XmpDateToPdfDate(*xmp.CreateDate));
        if (options_.features) {
            if (xmp.PdfAPart)
                info.features.pdfA = *xmp.PdfAPart + xmp.PdfAConformance.value_or("");
            info.features.pdfUA = xmp.PdfUAPart.value_or("");
            info.features.xmp = std::move(xmp);
        }
    }

    // The Unicode text of a string value; a value of another type (null, a number, a name)
    // is no text.
    static std::string TextOf(ObjectStore& store, const PdfObject& value) {
        if (value.IsString()) // as most are: read where it stands, not copied first
            return TextStringToUtf8(value.text);
        const PdfObject v = store.Resolve(value);
        return v.IsString() ? TextStringToUtf8(v.text) : std::string();
    }

    const ByteSource& source_;
    ReadBudget& budget_;
    const ReadOptions& options_;
    bool infoHas_[std::size(kTextFields)] = {}; // which of kTextFields the Info dictionary has
    bool infoHasDate_ = false;
};

} // namespace

DocumentInfo ReadPdfInfo(const std::string& path, const ReadOptions& options) {
    return ReadPdfInfo(ByteSource(path), options);
}

DocumentInfo ReadPdfInfo(const ByteSource& source, const ReadOptions& options) {
    ReadBudget budget;
    const std::optional<std::string> version = HeaderVersion(source);
    DocumentInfo info;
    std::optional<XrefTable> chain;
    try {
        chain = ReadXrefChain(source, budget);
    } catch (const EReadError& e) {
        if (e.Kind() != ErrorKind::Damaged)
            throw;
    }
    if (chain && RootUsable(source, *chain)) {
        try {
            if (DocumentReader(source, budget, options).Read(*chain, info)) {
                info.pdfVersion = version.value_or("");
                return info;
            }
        } catch (const ObjectNotAtEntry&) {
        }
    }
    chain.reset();
    // The table as the file states it leads nowhere: it is recovered from the objects found.
    const FileScan scan = ScanFile(source, budget);
    XrefTable recovered = RecoverXrefTable(source, scan, nullptr, budget);
    // An encrypted file's object streams can only be listed with its key.
    if (!scan.objectStreams.empty())
        if (const std::optional<SecurityHandler> security =
                DocumentReader(source, budget, options).Security(recovered);
            security && security->Opened())
            recovered = RecoverXrefTable(source, scan, &*security, budget);
    info = DocumentInfo(); // nothing of what the stated table led to
    if (DocumentReader(source, budget, options).Read(recovered, info)) {
        info.pdfVersion = version.value_or("");
        return info;
    }
    if (!version)
        throw EReadError(ErrorKind::NotPdf);
    throw EReadError(ErrorKind::Damaged, "文書カタログが見つかりません");
}
