// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/infojson.h"

#include "jtext/cp932.h"
#include "jtext/filename.h"

#include <cstdio>

namespace {

std::string Hex(std::string_view bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (const char c : bytes)
        out += {digits[uint8_t(c) >> 4], digits[uint8_t(c) & 15]};
    return out;
}

std::string Date(TDateTime value) {
    if (value == 0)
        return "null";
    const DateTimeParts p = DecodeDateTime(value);
    char text[40];
    std::snprintf(text, sizeof text, "\"%04d-%02d-%02dT%02d:%02d:%02d\"", p.year, p.month, p.day,
                  p.hour, p.minute, p.second);
    return text;
}

std::string Text(const std::string& cp932) {
    return JsonString(Cp932ToUtf8(cp932));
}
const char* Bool(bool b) {
    return b ? "true" : "false";
}

} // namespace

std::string PathBytesField(const std::string& path) {
    if (IsValidUtf8(path))
        return {};
    static const char digits[] = "0123456789abcdef";
    std::string field = "\"path_bytes\": \"";
    for (unsigned char c : path)
        field += {digits[c >> 4], digits[c & 15]};
    return field + '"';
}

std::string JsonFileFields(const std::string& path) {
    const std::string bytes = PathBytesField(path);
    return "\"file\": " + JsonString(FileNameForDisplay(path)) + (bytes.empty() ? "" : ", ") +
           bytes;
}

std::string JsonString(const std::string& utf8) {
    std::string out = "\"";
    for (size_t i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        if (c >= 0x80) {
            // Well-formed sequences as they are; any other byte would make the whole text
            // invalid JSON.
            if (const size_t n = Utf8SequenceAt(utf8, i)) {
                out.append(utf8, i, n);
                i += n - 1;
            } else {
                out += "\\ufffd";
            }
            continue;
        }
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20) {
                char esc[8];
                std::snprintf(esc, sizeof esc, "\\u%04x", c);
                out += esc;
            } else {
                out += char(c);
            }
        }
    }
    return out + "\"";
}

std::string InfoToJson(const std::string& fileName, const TpdfInfomation& i) {
    std::string j = "{" + JsonFileFields(fileName);
    auto add = [&](const char* name, const std::string& value) {
        j += ", \"";
        j += name;
        j += "\": " + value;
    };
    add("Version", Text(i.Version));
    add("Title", JsonString(i.TitleUtf8));
    add("Subject", JsonString(i.SubjectUtf8));
    add("Keywords", JsonString(i.KeywordsUtf8));
    add("Author", JsonString(i.AuthorUtf8));
    add("Producer", JsonString(i.ProducerUtf8));
    add("Creator", JsonString(i.CreatorUtf8));
    add("PageCount", std::to_string(i.PageCount));
    add("FileSize", std::to_string(i.FileSize));
    add("PasswordResult", std::to_string(i.PasswordResult));
    add("KeyLength", std::to_string(i.KeyLength));
    add("V", std::to_string(i.V));
    add("R", std::to_string(i.R));
    add("Filter", Text(i.Filter));
    add("Method", Text(i.Encrypted ? i.Method : std::string()));
    add("O", "\"" + Hex(i.Encryption.O) + "\"");
    add("U", "\"" + Hex(i.Encryption.U) + "\"");
    add("FileID", "\"" + Hex(i.Encryption.ID) + "\"");
    add("FileKey", "\"" + Hex(i.FileKey) + "\"");
    add("PermsAgree", Bool(i.PermsAgree));
    add("P", std::to_string(i.P));
    add("Encrypted", Bool(i.Encrypted));
    add("Protected", Bool(i.Protected));
    add("CanPrint", Bool(i.CanPrint));
    add("CanCopy", Bool(i.CanCopy));
    add("CanModify", Bool(i.CanModify));
    add("CanAnnotate", Bool(i.CanAnnotate));
    add("CreationDate", Date(i.CreationDate));
    add("ModDate", Date(i.ModDate));
    return j + "}";
}

std::string ErrorToJson(const std::string& fileName, const std::string& message) {
    return "{" + JsonFileFields(fileName) + ", \"error\": " + JsonString(message) + "}";
}
