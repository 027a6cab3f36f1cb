// SPDX-License-Identifier: GPL-3.0-or-later
#include "pdf/pdfinfo.h"

#include "common/errors.h"
#include "jtext/cp932.h"
#include "pdf/encryptdict.h"
#include "pdf/pdfpages.h"
#include "pdf/pdfstore.h"
#include "pdf/utilpdft.h"
#include "pdf/xmp.h"

#include <algorithm>
#include <iterator>
#include <optional>
#include <string_view>
#include <sys/stat.h>
#include <utility>
#include <vector>

namespace {

// A text property: its code page 932 field and its Unicode field.
struct TextField {
    std::string TpdfInfomation::*cp932;
    std::string TpdfInfomation::*utf8;
};

const std::pair<const char*, TextField> kTextFields[] = {
    {"Title", {&TpdfInfomation::Title, &TpdfInfomation::TitleUtf8}},
    {"Subject", {&TpdfInfomation::Subject, &TpdfInfomation::SubjectUtf8}},
    {"Author", {&TpdfInfomation::Author, &TpdfInfomation::AuthorUtf8}},
    {"Keywords", {&TpdfInfomation::Keywords, &TpdfInfomation::KeywordsUtf8}},
    {"Creator", {&TpdfInfomation::Creator, &TpdfInfomation::CreatorUtf8}},
    {"Producer", {&TpdfInfomation::Producer, &TpdfInfomation::ProducerUtf8}},
};

// The 932 field is always the code page 932 form of the Unicode one.
void SetText(TpdfInfomation& info, const TextField& field, std::string utf8) {
    info.*field.cp932 = Utf8ToCp932(utf8);
    info.*field.utf8 = std::move(utf8);
}

// A folder is no file; anything else that exists is opened and, when it is no regular file
// (a FIFO, a device), reported as a file that cannot be opened.
bool FileExists(const std::string& name) {
    struct stat st {};
    return ::stat(name.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool HasPdfExtension(const std::string& name) {
    const size_t slash = name.rfind('/');
    const size_t dot = name.rfind('.');
    return dot != std::string::npos && (slash == std::string::npos || dot > slash) &&
           LowerCase(std::string_view(name).substr(dot)) == ".pdf";
}

class InfoReader {
public:
    InfoReader(PdfReader& reader, TpdfInfomation& info) : reader_(reader), info_(info) {}

    void Read(const std::string& password, bool lenientPassword, const std::string& passwordUtf8) {
        info_.FileSize = reader_.Size();
        info_.Version = reader_.HeaderLine();
        ReadCrossReference(reader_);
        const PdfObject& trailer = reader_.Trailer();
        if (const PdfObject* encrypt = trailer.Get("Encrypt"); encrypt && !encrypt->IsNull()) {
            info_.Encrypted = true;
            // Some writers put the dictionary itself into the trailer.
            if (encrypt->IsReference() && encrypt->integer > 0)
                ReadEncryptionDictionary(reader_.ReadObject(int32_t(encrypt->integer)));
            else if (encrypt->IsDictionary())
                ReadEncryptionDictionary(*encrypt);
        }
        // The password is tried before the page tree is read: in an encrypted file, objects
        // inside object streams can only be read with the file key.
        const bool opens = PasswordOpens(password, lenientPassword, passwordUtf8);
        if (opens && info_.Encrypted)
            reader_.SetStreamDecryptor([this](std::string bytes, int32_t n, int32_t g) {
                // Stream data is written as strings are (AES: IV in front, padded).
                return streamDecryptor_.Decrypt(bytes, n, g).value_or(std::string());
            });
        if (const PdfObject* root = trailer.Get("Root"))
            ReadPageCount(*root);
        if (!opens)
            return;
        if (const PdfObject* infoEntry = trailer.Get("Info"))
            ReadInformationDictionary(*infoEntry);
        if (const PdfObject* root = trailer.Get("Root"))
            ReadMetadata(*root);
    }

private:
    // Everything about the encryption comes from here: the dictionary into the parameters,
    // and the facts the list shows from them.
    void ReadEncryptionDictionary(const PdfObject& dictionary) {
        EncryptionParams& p = info_.Encryption;
        p = ReadEncryptDictionary(dictionary, reader_.FileId(),
                                  [this](const PdfObject& v) { return reader_.Resolve(v); });
        info_.V = p.V;
        info_.R = p.R;
        info_.P = p.P;
        info_.Filter = p.Filter;
        // A dictionary this handler cannot open names no method it could tell.
        info_.Method = IsSupported(p) ? MethodName(StringMethod(p)) : "";
        info_.KeyLength = IsSupported(p) ? KeyLengthBits(p) : p.Length;
        info_.CanPrint = (p.P & 4) != 0;
        info_.CanModify = (p.P & 8) != 0;
        info_.CanCopy = (p.P & 16) != 0;
        info_.CanAnnotate = (p.P & 32) != 0;
    }

    void ReadPageCount(const PdfObject& root) {
        const PdfObject catalog = reader_.Resolve(root);
        const PdfObject* pages = catalog.Get("Pages");
        if (!pages)
            return;
        info_.PageCount = PageCount(reader_, *pages);
    }

    bool PasswordOpens(const std::string& password, bool lenientPassword,
                       const std::string& passwordUtf8) {
        if (!info_.Encrypted)
            return true;
        const EncryptionParams& p = info_.Encryption;
        if (!IsSupported(p)) {
            info_.Protected = true;
            info_.PasswordResult = -1;
            return false;
        }
        if (!CheckEmptyUserPassword(p, info_.FileKey)) {
            info_.Protected = true;
            // Passwords of revisions 5 and 6 are Unicode.
            const std::string unicode = passwordUtf8.empty() ? Cp932ToUtf8(password) : passwordUtf8;
            info_.PasswordResult = CheckPassword(p.R >= 5 ? unicode : password, p, info_.FileKey);
            if (info_.PasswordResult < 1 || (!lenientPassword && Trim(password).empty())) {
                info_.PasswordResult = -1;
                info_.FileKey.clear();
                return false;
            }
        }
        if (p.R >= 5)
            info_.PermsAgree = PermsAgree(p, info_.FileKey);
        const std::string dataKey = DataKey(p, info_.FileKey);
        stringDecryptor_ = StringDecryptor(StringMethod(p), dataKey);
        streamDecryptor_ = StringDecryptor(StreamMethod(p), dataKey);
        return true;
    }

    void ReadInformationDictionary(const PdfObject& entry) {
        int32_t holder = 0; // the object whose key decrypts the strings
        PdfObject dict = entry;
        if (entry.IsReference()) {
            holder = int32_t(entry.integer);
            dict = reader_.ReadObject(holder);
        }
        for (size_t i = 0; i < std::size(kTextFields); ++i)
            if (const PdfObject* v = dict.Get(kTextFields[i].first)) {
                SetText(info_, kTextFields[i].second, TextOf(*v, holder));
                infoHas_[i] = true;
            }
        if (const PdfObject* v = dict.Get("CreationDate")) {
            info_.CreationDate = ParsePdfDate(TextOf(*v, holder));
            infoHasDate_ = true;
        }
        if (const PdfObject* v = dict.Get("ModDate"))
            info_.ModDate = ParsePdfDate(TextOf(*v, holder));
    }

    // The catalog's XMP packet fills the properties the Info dictionary has no entry for: the
    // Info dictionary wins where it has one (even an empty one), so the list of a file with
    // both stays as it was. Files written for PDF 2.0 often have no Info dictionary at all. A
    // packet that cannot be read is passed over: it never fails the file.
    void ReadMetadata(const PdfObject& root) {
        if (std::all_of(std::begin(infoHas_), std::end(infoHas_), [](bool b) { return b; }) &&
            infoHasDate_)
            return;
        try {
            const PdfObject catalog = reader_.Resolve(root);
            const PdfObject* metadata = catalog.Get("Metadata");
            if (!metadata || !metadata->IsReference() || metadata->integer <= 0)
                return;
            const auto n = int32_t(metadata->integer);
            const XmpProperties xmp = ParseXmp(reader_.ReadStreamData(n, MetadataEncrypted()));
            const std::optional<std::string>* values[] = {
                &xmp.Title, &xmp.Subject, &xmp.Author, &xmp.Keywords, &xmp.Creator, &xmp.Producer};
            for (size_t i = 0; i < std::size(kTextFields); ++i)
                if (!infoHas_[i] && *values[i])
                    SetText(info_, kTextFields[i].second, **values[i]);
            if (!infoHasDate_ && xmp.CreateDate)
                info_.CreationDate = ParsePdfDate(XmpDateToPdfDate(*xmp.CreateDate));
        } catch (const EPagewickError&) {
        }
    }

    // Whether streams of metadata are encrypted: unless the encryption dictionary says
    // /EncryptMetadata false.
    bool MetadataEncrypted() const { return info_.Encryption.EncryptMetadata; }

    // The Unicode text of a string value found in object holder; a value of another type
    // (null, a number, a name) is no text.
    std::string TextOf(const PdfObject& value, int32_t holder) {
        PdfObject v = value;
        int32_t object = 0; // the string's own object, when it has one
        if (v.IsReference()) {
            holder = object = int32_t(v.integer);
            v = reader_.Resolve(v);
        }
        if (v.kind != PdfObject::Kind::String)
            return {};
        ValueText text{v.text, v.stringKind, object};
        // Strings of an object inside an object stream were decrypted with their stream.
        if (!info_.Encrypted || reader_.IsCompressed(holder))
            return StringValueUtf8(reader_, std::move(text));
        return DecryptedStringValueUtf8(reader_, std::move(text), stringDecryptor_, holder,
                                        GenerationOf(holder));
    }

    // The generation of object n, read once: every string of a dictionary needs it.
    int32_t GenerationOf(int32_t n) {
        if (n != generationOf_.first)
            generationOf_ = {n, reader_.ObjectGeneration(n)};
        return generationOf_.second;
    }

    PdfReader& reader_;
    TpdfInfomation& info_;
    bool infoHas_[std::size(kTextFields)] = {}; // which of kTextFields the Info dictionary has
    bool infoHasDate_ = false;
    StringDecryptor stringDecryptor_, streamDecryptor_;
    std::pair<int32_t, int32_t> generationOf_{-1, 0}; // object, generation
};

} // namespace

void ReadPdfInfo(const std::string& fileName, const std::string& password, TpdfInfomation& info,
                 bool lenientPassword, const std::string& passwordUtf8) {
    info = TpdfInfomation();
    if (!HasPdfExtension(fileName))
        return;
    // The file is opened before it is looked up: only when it cannot be opened does the look-up
    // tell a missing file (an empty record) from one that cannot be read.
    std::optional<PdfReader> reader;
    try {
        reader.emplace(fileName);
    } catch (const EFOpenError&) {
        if (!FileExists(fileName))
            return;
        throw;
    }
    InfoReader(*reader, info).Read(password, lenientPassword, passwordUtf8);
}

TDateTime ParsePdfDate(const std::string& text) {
    std::string_view s = text;
    while (!s.empty() && uint8_t(s.front()) <= 0x20)
        s.remove_prefix(1);
    if (s.substr(0, 2) == "D:")
        s.remove_prefix(2);
    size_t digits = 0;
    while (digits < s.size() && s[digits] >= '0' && s[digits] <= '9')
        ++digits;
    // Fields present must be whole; those missing at the end take their defaults. What may
    // follow the digits is the time zone.
    const bool wholeFields = digits >= 14 || (digits >= 4 && digits % 2 == 0);
    const bool zoneFollows = digits >= 14 || digits == s.size() ||
                             std::string_view("Z+-'").find(s[digits]) != std::string_view::npos;
    if (!wholeFields || !zoneFollows)
        return 0;
    auto field = [&](size_t at, size_t length, int def) {
        return at + length <= digits ? std::stoi(std::string(s.substr(at, length))) : def;
    };
    const DateTimeParts parts{field(0, 4, 0), field(4, 2, 1),  field(6, 2, 1),
                              field(8, 2, 0), field(10, 2, 0), field(12, 2, 0)};
    return TryEncodeDateTime(parts).value_or(0.0);
}
