// SPDX-License-Identifier: GPL-3.0-or-later
#include "pdf/encryptdict.h"

#include "pdf/pdfobject.h"

#include <optional>

namespace {

class EntryReader {
public:
    EntryReader(const PdfObject& dictionary, const ResolveValue& resolve)
        : dictionary_(dictionary), resolve_(resolve) {}

    // The value of key, references followed; null when absent.
    PdfObject Value(const char* key) const {
        const PdfObject* v = dictionary_.Get(key);
        if (!v)
            return {};
        return v->IsReference() && resolve_ ? resolve_(*v) : *v;
    }
    std::optional<int64_t> Integer(const char* key) const {
        const PdfObject v = Value(key);
        return v.IsInteger() ? std::optional<int64_t>(v.integer) : std::nullopt;
    }
    std::string Name(const char* key) const {
        const PdfObject v = Value(key);
        return v.kind == PdfObject::Kind::Name ? v.text : std::string();
    }
    std::string String(const char* key) const {
        const PdfObject v = Value(key);
        return v.kind == PdfObject::Kind::String ? v.StringBytes() : std::string();
    }

private:
    const PdfObject& dictionary_;
    const ResolveValue& resolve_;
};

} // namespace

EncryptionParams ReadEncryptDictionary(const PdfObject& dictionary, const std::string& id,
                                       const ResolveValue& resolve) {
    EncryptionParams p;
    p.ID = id;
    if (!dictionary.IsDictionary())
        return p;
    const EntryReader e(dictionary, resolve);
    p.Filter = e.Name("Filter");
    p.SubFilter = e.Name("SubFilter");
    p.V = int32_t(e.Integer("V").value_or(0));
    p.R = int32_t(e.Integer("R").value_or(0));
    // P is written signed or unsigned; either way it is 32 bits.
    p.P = int32_t(uint32_t(e.Integer("P").value_or(0)));
    p.O = e.String("O");
    p.U = e.String("U");
    p.OE = e.String("OE");
    p.UE = e.String("UE");
    p.Perms = e.String("Perms");
    p.StrF = e.Name("StrF");
    p.StmF = e.Name("StmF");
    if (const PdfObject v = e.Value("EncryptMetadata"); v.kind == PdfObject::Kind::Boolean)
        p.EncryptMetadata = v.integer != 0;
    std::optional<int64_t> filterLength;
    if (const PdfObject filters = e.Value("CF"); filters.IsDictionary()) {
        if (const PdfObject standard = EntryReader(filters, resolve).Value("StdCF");
            standard.IsDictionary()) {
            const EntryReader cf(standard, resolve);
            p.StdCFMethod = cf.Name("CFM");
            filterLength = cf.Integer("Length");
        }
    }
    if (const std::optional<int64_t> length = e.Integer("Length"))
        p.Length = int32_t(*length);
    else if (filterLength && p.V == 4)
        p.Length = int32_t(*filterLength);
    // Crypt filters give their /Length in bytes, and some writers copy it to the top.
    if (p.Length > 0 && p.Length < 40)
        p.Length *= 8;
    return p;
}
