// SPDX-License-Identifier: GPL-3.0-or-later
#include "pdf/signaturefields.h"

#include "crypto/cmssignature.h"
#include "pdf/bytesource.h"
#include "pdf/objectstore.h"
#include "pdf/pdfdate.h"
#include "pdf/scriptactions.h"
#include "pdf/textstring.h"

#include <unordered_set>

namespace {

// Fields nest a few levels; deeper trees are damaged or made to exhaust.
constexpr int kMaxFieldDepth = 32;

std::string NameOf(const PdfObject* value) {
    return value && value->kind == PdfObject::Kind::Name ? value->text : std::string();
}

// Whether /ByteRange covers the whole file but the signature: two ranges, from the first byte
// to the "<" of the /Contents string and from its ">" to the last byte.
bool CoversWholeFile(const PdfObject* range, const ByteSource& source) {
    if (!range || !range->IsArray() || range->items.size() != 4)
        return false;
    for (const PdfObject& n : range->items)
        if (!n.IsInteger() || n.integer < 0 || n.integer > source.Size())
            return false;
    const int64_t gapStart = range->items[1].integer, gapEnd = range->items[2].integer;
    return range->items[0].integer == 0 && gapStart < gapEnd &&
           range->items[3].integer == source.Size() - gapEnd && source.Read(gapStart, 1) == "<" &&
           source.Read(gapEnd - 1, 1) == ">";
}

class FieldWalk {
public:
    FieldWalk(ObjectStore& store, ObjectStore* rawStore, const ByteSource& source)
        : store_(store), rawStore_(rawStore), source_(source) {}

    void Walk(const PdfObject& fields, const std::string& inheritedType, int depth) {
        const PdfObject list = store_.Resolve(fields);
        if (!list.IsArray() || depth > kMaxFieldDepth)
            return;
        for (const PdfObject& item : list.items) {
            if (++visited_ > kMaxFormFields)
                return;
            if (item.IsReference() && !seen_.insert(item.integer).second)
                continue;
            const PdfObject field = store_.Resolve(item);
            if (!field.IsDictionary())
                continue;
            std::string type = NameOf(field.Get("FT"));
            if (type.empty())
                type = inheritedType;
            if (!facts_.javaScript)
                for (const char* key : {"A", "AA"})
                    if (const PdfObject* action = field.Get(key))
                        facts_.javaScript = facts_.javaScript || RunsJavaScript(store_, *action);
            if (const PdfObject* value = field.Get("V"); value && type == "Sig")
                Signature(*value);
            if (const PdfObject* kids = field.Get("Kids"))
                Walk(*kids, type, depth + 1);
        }
    }

    FormFacts Facts() { return std::move(facts_); }

private:
    void Signature(const PdfObject& value) {
        const PdfObject signature = store_.Resolve(value);
        if (!signature.IsDictionary())
            return; // an unsigned field
        // The blob as the file holds it: an encrypted file's strings are decrypted, but the
        // signature's own is never encrypted (inside an object stream no string is).
        const PdfObject* contents = nullptr;
        PdfObject raw;
        if (rawStore_ && value.IsReference())
            if (raw = rawStore_->Object(value.integer); raw.IsDictionary())
                contents = raw.Get("Contents");
        if (!contents || !contents->IsString())
            contents = signature.Get("Contents");
        const std::string blob = contents && contents->IsString() ? contents->text : std::string();
        facts_.signatures.push_back(ReadSignature(signature, blob, source_));
    }

    ObjectStore& store_;
    ObjectStore* rawStore_;
    const ByteSource& source_;
    int64_t visited_ = 0;
    std::unordered_set<int64_t> seen_; // fields visited, against kids that lead back up
    FormFacts facts_;
};

} // namespace

SignatureFacts ReadSignature(const PdfObject& signature, const std::string& contents,
                             const ByteSource& source) {
    SignatureFacts facts;
    facts.subFilter = NameOf(signature.Get("SubFilter"));
    facts.changedAfterSigning = !CoversWholeFile(signature.Get("ByteRange"), source);
    if (const PdfObject* m = signature.Get("M"); m && m->IsString())
        facts.signingTime = ParsePdfDate(TextStringToUtf8(m->text));
    if (facts.subFilter == "adbe.x509.rsa_sha1") {
        // The blob is a bare RSA signature; the certificate stands beside it, the signer's
        // first.
        const PdfObject* cert = signature.Get("Cert");
        if (cert && cert->IsArray() && !cert->items.empty())
            cert = &cert->items[0];
        if (cert && cert->IsString())
            facts.signer = CertificateSubjectName(cert->text);
        return facts;
    }
    const CmsSignatureFacts cms = ReadCmsSignature(contents);
    facts.signer = cms.signer;
    facts.timestamp = cms.timestamp || facts.subFilter == "ETSI.RFC3161";
    if (cms.signedAt != 0)
        facts.signingTime = UnixToLocalDateTime(cms.signedAt);
    return facts;
}

FormFacts ReadFormFields(ObjectStore& store, ObjectStore* rawStore, const ByteSource& source,
                         const PdfObject& acroForm) {
    FieldWalk walk(store, rawStore, source);
    if (const PdfObject* fields = acroForm.Get("Fields"))
        walk.Walk(*fields, {}, 0);
    return walk.Facts();
}
