#include "pdf/pdfinfo.h"

#include "common/errors.h"
#include "jtext/cp932.h"
#include "pdf/encryptdict.h"
#include "pdf/pdffile.h"
#include "pdf/utilpdft.h"

#include <algorithm>
#include <optional>
#include <string_view>
#include <sys/stat.h>
#include <utility>
#include <vector>

namespace {

const std::string kObjectEnd = "\r\nendobj\r\n";

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

// The last line of text (every line ending CR LF) that holds the word key, with that word and
// the three after it; no words when no line holds it.
std::pair<std::string_view, Words> LastLineWith(std::string_view text, std::string_view key) {
    std::pair<std::string_view, Words> last;
    for (size_t start = 0, end; (end = text.find("\r\n", start)) != std::string_view::npos;
         start = end + 2) {
        const std::string_view line = text.substr(start, end - start);
        if (FindNoCase(line, key) == std::string_view::npos)
            continue;
        if (Words words = KeyAndNextWords(line, key); !words.empty())
            last = {line, std::move(words)};
    }
    return last;
}

class InfoReader {
public:
    InfoReader(PdfReader& reader, TpdfInfomation& info) : reader_(reader), info_(info) {}

    void Read(const std::string& password, bool lenientPassword, const std::string& passwordUtf8) {
        info_.FileSize = reader_.Size();
        info_.Version = reader_.HeaderLine();
        reader_.ReadXrefChain(reader_.FindStartXref());
        ReadTrailerEntries();
        if (info_.Encrypted && encryptOffset_ > 0)
            ReadEncryptionDictionary();
        if (catalogOffset_ > 0)
            ReadPageCount();
        if (PasswordOpens(password, lenientPassword, passwordUtf8) && infoOffset_ > 0)
            ReadInformationDictionary();
    }

private:
    void ReadTrailerEntries() {
        for (const std::string& line : reader_.TrailerLines()) {
            if (const Words info = KeyAndNextWords(line, "/info"); !info.empty())
                infoOffset_ = reader_.LookupObjectOffset(info, 0);
            if (const Words encrypt = KeyAndNextWords(line, "/encrypt"); !encrypt.empty()) {
                encryptOffset_ = reader_.LookupObjectOffset(encrypt, 0);
                info_.Encrypted = true;
            }
            if (const Words root = KeyAndNextWords(line, "/root"); !root.empty())
                catalogOffset_ = reader_.LookupObjectOffset(root, 0);
        }
    }

    // Everything about the encryption comes from here: the dictionary into the parameters,
    // and the facts the list shows from them.
    void ReadEncryptionDictionary() {
        const std::string text = reader_.ReadUntilKeyword(encryptOffset_, "endobj").bytes;
        const size_t open = text.find("<<");
        EncryptionParams& p = info_.Encryption;
        p = ReadEncryptDictionary(
            open == std::string::npos ? std::string_view() : std::string_view(text).substr(open),
            reader_.FileId(), [this](int32_t n) { return reader_.ReadObjectText(n); });
        info_.V = p.V;
        info_.R = p.R;
        info_.P = p.P;
        info_.Filter = p.Filter;
        info_.Method = MethodName(StringMethod(p));
        info_.KeyLength = IsSupported(p) ? KeyLengthBits(p) : p.Length;
        info_.CanPrint = (p.P & 4) != 0;
        info_.CanModify = (p.P & 8) != 0;
        info_.CanCopy = (p.P & 16) != 0;
        info_.CanAnnotate = (p.P & 32) != 0;
    }

    void ReadPageCount() {
        const std::string spaced =
            NormaliseUnbracketed(reader_.ReadUntilKeyword(catalogOffset_, "endobj").bytes, true);
        // The last /Pages line gives the count, so only that one is followed: a damaged catalog
        // repeating the entry on every line would otherwise read the page tree once a line.
        const auto [line, pages] = LastLineWith(spaced, "/pages");
        if (!pages.empty())
            info_.PageCount = PageCountOf(line, pages);
    }

    // The page count that the /Pages entry of a catalog line names (pages: that word and the
    // three after it). Only the page tree root's /Count is used; pages are never counted one
    // by one.
    int32_t PageCountOf(std::string_view line, const Words& pages) {
        int32_t v = StrToIntDef(WordAt(pages, 1), 0);
        if (const Words count = KeyAndNextWords(line, "/count"); !count.empty())
            v = reader_.ReadIntValue(count, 0); // a page tree written inline on the line
        if (WordAt(pages, 3) != "r")
            return v;
        const std::string text = NormaliseUnbracketed(
            reader_.ReadUntilKeyword(reader_.ObjectOffset(v), "endobj").bytes, true);
        // Likewise only the last /Count line is read.
        const Words count = LastLineWith(text, "/count").second;
        return count.empty() ? 0 : reader_.ReadIntValue(count, 0);
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
        decryptor_ = StringDecryptor(StringMethod(p), info_.FileKey);
        return true;
    }

    void ReadInformationDictionary() {
        std::string b = std::move(reader_.ReadUntilKeyword(infoOffset_, "endobj").bytes);
        b += kObjectEnd;
        ReadObjectHeader(b);
        std::string line, piece;
        line.reserve(256);
        piece.reserve(256);
        bool inPiece = false;
        for (size_t i = 0; i + 1 < b.size(); ++i) {
            const char c = b[i];
            // Bytes that change nothing go in by the run (the last byte is never looked at).
            auto runEnd = [&](auto stops) {
                size_t end = i + 1;
                while (end + 1 < b.size() && !stops(b[end]))
                    ++end;
                return end;
            };
            auto stopsPiece = [](char x) { return x == '(' || x == '<' || x == ')' || x == '>'; };
            auto stopsLine = [](char x) { return x == '/' || x == '\r' || x == '\n'; };
            if (inPiece && !stopsPiece(c)) {
                const size_t end = runEnd(stopsPiece);
                piece.append(b, i, end - i);
                i = end - 1;
                continue;
            }
            if (!inPiece && !stopsLine(c)) {
                const size_t end = runEnd(stopsLine);
                line.append(b, i, end - i);
                i = end - 1;
                continue;
            }
            if (inPiece) {
                piece += c;
                size_t end = std::string::npos; // where the piece ends, when it does
                if (c == '(') {
                    end = FindLiteralEnd(b, i + 1);
                } else if (c == '<' && b[i + 1] != '<') {
                    end = b.find('>', i + 1);
                } else if (c == '<') {
                    piece += b[++i]; // a dictionary opens; no string starts here
                    continue;
                } else if ((c == ')' || c == '>') &&
                           std::string_view(" \r\n/").find(b[i + 1]) != std::string_view::npos) {
                    end = i;
                }
                if (end == std::string::npos)
                    continue;
                if (end >= b.size() - 1) // the piece never closes before the end: dropped
                    break;
                piece.append(b, i + 1, end - i);
                i = end;
                ProcessPiece(piece);
                piece.clear();
                inPiece = false;
            } else if (c == '/') {
                piece.assign(1, '/');
                inPiece = true;
            } else if (c == '\r' || c == '\n') {
                // Brackets are removed before the line is looked at, so "end>>obj" ends it too.
                const bool ends = line.find_first_of("<>") == std::string::npos
                                      ? FindNoCase(line, "endobj") != std::string::npos
                                      : FindNoCase(RemoveAll(RemoveAll(line, "<<"), ">>"),
                                                   "endobj") != std::string::npos;
                if (ends)
                    break;
                line.clear();
            }
        }
    }

    // Object number and generation from the first "n g obj" line of the dictionary's object.
    void ReadObjectHeader(const std::string& bytes) {
        // Line by line, as the header is nearly always the first line: brackets never span a
        // line break, so removing them from one line is removing them from the text. The
        // lines are those SplitLines gives.
        std::string_view rest = std::string_view(bytes).substr(0, bytes.find('\0'));
        while (!rest.empty()) {
            size_t end = 0;
            while (end < rest.size() && rest[end] != '\r' && rest[end] != '\n')
                ++end;
            const std::string work =
                LowerCase(Trim(RemoveAll(RemoveAll(rest.substr(0, end), "<<"), ">>")));
            if (Contains(work, " obj")) {
                const Words words = SplitWords(work);
                objectNumber_ = StrToIntDef(WordAt(words, 0), 0);
                generation_ = StrToIntDef(WordAt(words, 1), 0);
                return;
            }
            if (end == rest.size())
                break;
            rest.remove_prefix(
                end +
                (rest[end] == '\r' && end + 1 < rest.size() && rest[end + 1] == '\n' ? 2 : 1));
        }
    }

    void ProcessPiece(const std::string& piece) {
        // Keys are looked for outside string values: a title that mentions "/Author" names
        // no author.
        static const char* const keys[] = {"/producer", "/creator", "/author",  "/creationdate",
                                           "/moddate",  "/title",   "/subject", "/keywords"};
        NamesOutsideStrings(piece, names_);
        for (const char* key : keys) {
            // A key stands whole: /CreatorVersion is no /Creator.
            if (std::none_of(names_.begin(), names_.end(),
                             [&](std::string_view name) { return EqualNoCase(name, key); }))
                continue;
            Store(key, info_.Encrypted ? ReadEncryptedInfoText(reader_, decryptor_, objectNumber_,
                                                               generation_, key, piece, -1)
                                       : ReadInfoText(reader_, key, piece, -1));
        }
    }

    void Store(std::string_view key, std::string value) {
        if (key == "/producer")
            info_.Producer = std::move(value);
        else if (key == "/creator")
            info_.Creator = std::move(value);
        else if (key == "/author")
            info_.Author = std::move(value);
        else if (key == "/title")
            info_.Title = std::move(value);
        else if (key == "/subject")
            info_.Subject = std::move(value);
        else if (key == "/keywords")
            info_.Keywords = std::move(value);
        else if (key == "/creationdate")
            info_.CreationDate = ParsePdfDate(value);
        else if (key == "/moddate")
            info_.ModDate = ParsePdfDate(value);
    }

    PdfReader& reader_;
    TpdfInfomation& info_;
    int64_t infoOffset_ = -1, encryptOffset_ = -1, catalogOffset_ = -1;
    int32_t objectNumber_ = 0, generation_ = 0;
    StringDecryptor decryptor_;
    std::vector<std::string_view> names_; // of the piece being looked at
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
