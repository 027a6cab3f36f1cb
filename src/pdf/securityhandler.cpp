// SPDX-License-Identifier: GPL-3.0-or-later
#include "pdf/securityhandler.h"

#include "jtext/cp932.h"
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
        return v.IsString() ? v.text : std::string();
    }

private:
    const PdfObject& dictionary_;
    const ResolveValue& resolve_;
};

// /Filter, /SubFilter, /V, /R, /Length, /P, /O, /U, /OE, /UE, /Perms, /StrF, /StmF,
// /EncryptMetadata and the /CFM of each crypt filter of /CF. A /Length under 40 is taken as
// bytes (crypt filters write it so). Entries that are missing or of the wrong type keep their
// defaults.
EncryptionParams ReadParams(const PdfObject& dictionary, const ResolveValue& resolve,
                            const std::string& id) {
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
        for (const PdfEntry& entry : filters.entries) {
            const PdfObject filter =
                entry.value.IsReference() && resolve ? resolve(entry.value) : entry.value;
            if (!filter.IsDictionary())
                continue;
            const EntryReader cf(filter, resolve);
            p.CryptFilters[entry.key] = cf.Name("CFM");
            // The strings' filter gives the length; without one, the standard filter's name.
            if (entry.key == (p.StrF.empty() ? "StdCF" : p.StrF))
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

// What the reader does not know of the parameters, named for the user.
std::string UnknownMethodOf(const EncryptionParams& p) {
    if (p.Filter != "Standard")
        return "暗号化方式 /" + p.Filter;
    for (const std::string* name : {&p.StrF, &p.StmF})
        if (p.V >= 4 && !name->empty() && *name != "Identity") {
            const auto filter = p.CryptFilters.find(*name);
            if (filter == p.CryptFilters.end())
                return "暗号フィルタ /" + *name;
            if (!filter->second.empty() && filter->second != "None" && filter->second != "V2" &&
                filter->second != "AESV2" && filter->second != "AESV3")
                return "暗号フィルタの方式 /" + filter->second;
        }
    return "暗号化の版 V " + std::to_string(p.V) + "・R " + std::to_string(p.R);
}

} // namespace

SecurityHandler::SecurityHandler(const PdfObject& dictionary, const ResolveValue& resolve,
                                 const std::string& fileId, const std::string& password,
                                 bool lenientPassword)
    : params_(ReadParams(dictionary, resolve, fileId)) {
    const EncryptionParams& p = params_;
    facts_.encrypted = true;
    facts_.handler = p.Filter;
    facts_.version = p.V;
    facts_.revision = p.R;
    facts_.permissions = p.P;
    facts_.ownerEntry = p.O;
    facts_.userEntry = p.U;
    facts_.fileId = fileId;
    if (!IsSupported(p)) {
        // A handler or method this reader cannot open names no method it could tell.
        unknownMethod_ = UnknownMethodOf(p);
        facts_.keyLengthBits = p.Length;
        facts_.needsPassword = true;
        facts_.password = PasswordOutcome::Refused;
        return;
    }
    facts_.method = MethodName(StringMethod(p));
    facts_.keyLengthBits = KeyLengthBits(p);
    std::string fileKey;
    if (!CheckEmptyUserPassword(p, fileKey)) {
        facts_.needsPassword = true;
        int result = -1;
        if (p.R >= 5) {
            result = CheckPassword(password, p, fileKey); // prepared as UTF-8 there
        } else {
            result = CheckPassword(Utf8ToCp932(password), p, fileKey);
            if (result < 1 && Utf8ToCp932(password) != password)
                result = CheckPassword(password, p, fileKey);
        }
        if (result < 1 || (!lenientPassword && password.empty())) {
            facts_.password = PasswordOutcome::Refused;
            return;
        }
        facts_.password = result == 1 ? PasswordOutcome::Owner : PasswordOutcome::User;
    }
    if (p.R >= 5)
        facts_.permissionsConfirmed = PermsAgree(p, fileKey);
    const std::string dataKey = DataKey(p, fileKey);
    strings_ = StringDecryptor(StringMethod(p), dataKey);
    streams_ = StringDecryptor(StreamMethod(p), dataKey);
    opened_ = true;
}

std::string SecurityHandler::DecryptString(std::string_view bytes, int64_t n, int32_t g) const {
    return strings_.Decrypt(bytes, int32_t(n), g).value_or(std::string());
}

std::string SecurityHandler::DecryptStream(std::string data, int64_t n, int32_t g,
                                           const PdfObject& dict) const {
    const PdfObject* type = dict.Get("Type");
    if (type && (type->IsName("XRef") || (type->IsName("Metadata") && !params_.EncryptMetadata)))
        return data;
    // A stream's own /Crypt filter without a name (or named /Identity) leaves it in clear.
    if (const PdfObject* filter = dict.Get("Filter");
        filter && (filter->IsName("Crypt") || (filter->IsArray() && !filter->items.empty() &&
                                               filter->items[0].IsName("Crypt")))) {
        const PdfObject* parms = dict.Get("DecodeParms");
        if (parms && parms->IsArray())
            parms = parms->items.empty() ? nullptr : &parms->items[0];
        const PdfObject* name = parms ? parms->Get("Name") : nullptr;
        if (!name || name->IsName("Identity"))
            return data;
    }
    return streams_.Decrypt(data, int32_t(n), g).value_or(std::string());
}
