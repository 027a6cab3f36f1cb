#include "pdf/pdfinfo.h"

#include "common/errors.h"
#include "jtext/cp932.h"
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

// Replaces the string value that starts after key at keyAt with a line break, so that its
// bytes cannot be read as keys afterwards. The same span is cut from raw and work.
void BlankStringValue(std::string& raw, std::string& work, size_t keyAt, size_t keyLength) {
    size_t end = raw.size();
    const size_t open = raw.find_first_of("(<", keyAt + keyLength);
    if (open != std::string::npos) {
        end = raw[open] == '(' ? FindLiteralEnd(raw, open + 1) : raw.find('>', open + 1);
        end = end == std::string::npos ? raw.size() : std::min(end + 1, raw.size());
    }
    raw.replace(keyAt, end - keyAt, "\r\n");
    work.replace(keyAt, end - keyAt, "\r\n");
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

// Copies the first bytes of value into a fixed array, the rest left zero.
template <size_t N> void CopyBytes(const std::string& value, std::array<uint8_t, N>& out) {
    out = {};
    std::copy_n(value.begin(), std::min(value.size(), N), out.begin());
}

class InfoReader {
public:
    InfoReader(PdfReader& reader, TpdfInfomation& info) : reader_(reader), info_(info) {}

    void Read(const std::string& password, bool lenientPassword) {
        info_.FileSize = reader_.Size();
        info_.Version = reader_.HeaderLine();
        reader_.ReadXrefChain(reader_.FindStartXref());
        info_.FileID = reader_.FileId();
        ReadTrailerEntries();
        if (info_.Encrypted && encryptOffset_ > 0)
            ReadEncryptionDictionary();
        if (catalogOffset_ > 0)
            ReadPageCount();
        // A crypt filter's /Length is in bytes (16 for 128 bits); when it is the one read, the
        // key length is told in bits like the others.
        if (info_.KeyLength > 0 && info_.KeyLength <= 16)
            info_.KeyLength *= 8;
        if (PasswordOpens(password, lenientPassword) && infoOffset_ > 0)
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

    void ReadEncryptionDictionary() {
        const std::string bytes =
            reader_.ReadUntilKeyword(encryptOffset_, "endobj").bytes + kObjectEnd;
        for (const std::string& line : SplitLines(bytes)) {
            std::string raw = RemoveAll(line, "<<");
            std::string work = LowerCase(raw); // same length as raw, so positions agree
            if (Trim(work).empty())
                continue;
            const bool last = Contains(work, "endobj");
            // AES strings cannot be decrypted with RC4; such a file is treated as unreadable.
            if (Contains(work, "/aesv2") || Contains(work, "/aesv3"))
                aes_ = true;
            if (const size_t p = FindNameOutsideStrings(work, "/o"); p != std::string::npos) {
                CopyBytes(reader_.ReadStringValue("/o", raw.substr(p), 32), info_.O);
                BlankStringValue(raw, work, p, 2);
            }
            if (const size_t p = FindNameOutsideStrings(work, "/u"); p != std::string::npos) {
                CopyBytes(reader_.ReadStringValue("/u", raw.substr(p), 32), info_.U);
                BlankStringValue(raw, work, p, 2);
            }
            ReadEncryptionKeys(work);
            if (last)
                break;
        }
    }

    void ReadEncryptionKeys(std::string work) {
        work = RemoveAll(work, ">>");
        for (const char* key : {"/V", "/R", "/Length", "/Filter", "/P"})
            work = ReplaceNoCase(work, key, std::string("\r\n") + key + " ");
        const Words words = SplitWords(work);
        if (const int i = IndexOf(words, "/v"); i >= 0)
            info_.V = reader_.ReadIntValue(words, i);
        if (const int i = IndexOf(words, "/r"); i >= 0)
            info_.R = reader_.ReadIntValue(words, i);
        if (const int i = IndexOf(words, "/length"); i >= 0)
            info_.KeyLength = reader_.ReadIntValue(words, i);
        if (IndexOf(words, "/filter") >= 0 && Contains(work, "/standard"))
            info_.Filter = "Standard";
        if (const int i = IndexOf(words, "/p"); i >= 0) {
            info_.P = reader_.ReadIntValue(words, i);
            info_.CanPrint |= (info_.P & 4) != 0;
            info_.CanModify |= (info_.P & 8) != 0;
            info_.CanCopy |= (info_.P & 16) != 0;
            info_.CanAnnotate |= (info_.P & 32) != 0;
        }
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

    bool PasswordOpens(const std::string& password, bool lenientPassword) {
        if (!info_.Encrypted)
            return true;
        if (info_.Filter != "Standard" || aes_ || info_.V >= 5) {
            info_.Protected = true;
            info_.PasswordResult = -1;
            return false;
        }
        if (CheckEmptyUserPassword(info_.O, info_.FileID, info_.U, info_.P, info_.KeyLength,
                                   info_.FileKey))
            return true;
        info_.Protected = true;
        info_.FileKey = {};
        info_.PasswordResult = CheckPassword(password, info_.O, info_.FileID, info_.U, info_.P,
                                             info_.KeyLength, info_.FileKey);
        if (info_.PasswordResult < 1)
            return false;
        if (lenientPassword || !Trim(password).empty())
            return true;
        info_.PasswordResult = -1;
        return false;
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
            Store(key, info_.Encrypted
                           ? ReadEncryptedInfoString(reader_, info_.FileKey, objectNumber_,
                                                     generation_, info_.KeyLength, key, piece, -1)
                           : ReadInfoString(reader_, key, piece, -1));
        }
    }

    // value is Unicode text; the 932 field is made from it.
    void Store(std::string_view key, std::string value) {
        auto set = [&](std::string& cp932, std::string& utf8) {
            cp932 = Utf8ToCp932(value);
            utf8 = std::move(value);
        };
        if (key == "/producer")
            set(info_.Producer, info_.ProducerUtf8);
        else if (key == "/creator")
            set(info_.Creator, info_.CreatorUtf8);
        else if (key == "/author")
            set(info_.Author, info_.AuthorUtf8);
        else if (key == "/title")
            set(info_.Title, info_.TitleUtf8);
        else if (key == "/subject")
            set(info_.Subject, info_.SubjectUtf8);
        else if (key == "/keywords")
            set(info_.Keywords, info_.KeywordsUtf8);
        else if (key == "/creationdate")
            info_.CreationDate = ParsePdfDate(value);
        else if (key == "/moddate")
            info_.ModDate = ParsePdfDate(value);
    }

    PdfReader& reader_;
    TpdfInfomation& info_;
    int64_t infoOffset_ = -1, encryptOffset_ = -1, catalogOffset_ = -1;
    int32_t objectNumber_ = 0, generation_ = 0;
    bool aes_ = false;
    std::vector<std::string_view> names_; // of the piece being looked at
};

} // namespace

void ReadPdfInfo(const std::string& fileName, const std::string& password, TpdfInfomation& info,
                 bool lenientPassword) {
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
    InfoReader(*reader, info).Read(password, lenientPassword);
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
