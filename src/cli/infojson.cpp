// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/infojson.h"

#include "jtext/filename.h"
#include "pdf/papersize.h"

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

const char* Bool(bool b) {
    return b ? "true" : "false";
}

std::string Millimetres(double mm) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", mm);
    return text;
}

const char* FormName(FormKind kind) {
    switch (kind) {
    case FormKind::AcroForm:
        return "AcroForm";
    case FormKind::Xfa:
        return "XFA";
    case FormKind::None:
        break;
    }
    return "";
}

std::string SignaturesJson(const std::vector<SignatureFacts>& signatures) {
    std::string out = "[";
    for (const SignatureFacts& s : signatures)
        out += std::string(out.size() > 1 ? ", " : "") + "{\"Signer\": " + JsonString(s.signer) +
               ", \"SigningTime\": " + Date(s.signingTime) +
               ", \"SubFilter\": " + JsonString(s.subFilter) +
               ", \"Timestamp\": " + Bool(s.timestamp) +
               ", \"ChangedAfterSigning\": " + Bool(s.changedAfterSigning) + "}";
    return out + "]";
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

std::string InfoToJson(const std::string& fileName, const DocumentInfo& i) {
    std::string j = "{" + JsonFileFields(fileName);
    auto add = [&](const char* name, const std::string& value) {
        j += ", \"";
        j += name;
        j += "\": " + value;
    };
    const EncryptionFacts& e = i.encryption;
    // "Version" is the header as earlier releases printed it, kept for the scripts that read it.
    add("Version", JsonString(i.pdfVersion.empty() ? "" : "%PDF-" + i.pdfVersion));
    add("PdfVersion", JsonString(i.pdfVersion));
    add("Title", JsonString(i.title));
    add("Subject", JsonString(i.subject));
    add("Keywords", JsonString(i.keywords));
    add("Author", JsonString(i.author));
    add("Producer", JsonString(i.producer));
    add("Creator", JsonString(i.creator));
    add("PageCount", std::to_string(i.pageCount));
    add("FileSize", std::to_string(i.fileSize));
    add("PasswordResult", std::to_string(int(e.password)));
    add("KeyLength", std::to_string(e.keyLengthBits));
    add("V", std::to_string(e.version));
    add("R", std::to_string(e.revision));
    add("Filter", JsonString(e.handler));
    add("Method", JsonString(e.method));
    add("O", "\"" + Hex(e.ownerEntry) + "\"");
    add("U", "\"" + Hex(e.userEntry) + "\"");
    add("FileID", "\"" + Hex(e.fileId) + "\"");
    add("PermsAgree", Bool(e.permissionsConfirmed));
    add("P", std::to_string(e.permissions));
    add("Encrypted", Bool(e.encrypted));
    add("Protected", Bool(e.needsPassword));
    add("CanPrint", Bool(e.CanPrint()));
    add("CanCopy", Bool(e.CanCopy()));
    add("CanModify", Bool(e.CanModify()));
    add("CanAnnotate", Bool(e.CanAnnotate()));
    add("CanPrintHighQuality", Bool(e.CanPrintHighQuality()));
    add("CanFillForms", Bool(e.CanFillForms()));
    add("CanExtractForAccessibility", Bool(e.CanExtractForAccessibility()));
    add("CanAssemble", Bool(e.CanAssemble()));
    add("CreationDate", Date(i.creationDate));
    add("ModDate", Date(i.modificationDate));
    const DocumentFeatures& f = i.features;
    if (!f.read)
        return j + "}";
    const PageFacts& page = f.firstPage;
    add("PageWidthMm", page.found ? Millimetres(page.widthMm) : "null");
    add("PageHeightMm", page.found ? Millimetres(page.heightMm) : "null");
    add("PageRotate", std::to_string(page.rotate));
    add("PaperName", JsonString(std::string(page.found ? PaperName(page.widthMm, page.heightMm)
                                                       : std::string_view())));
    add("MixedPageSizes", page.mixedSizes ? Bool(*page.mixedSizes) : "null");
    add("Signatures", SignaturesJson(f.signatures));
    add("PdfA", JsonString(f.pdfA));
    add("PdfUA", JsonString(f.pdfUA));
    add("Tagged", Bool(f.tagged));
    add("Direction", JsonString(f.direction));
    add("PageLayout", JsonString(f.pageLayout));
    add("Linearized", Bool(f.linearized));
    add("Forms", JsonString(FormName(f.forms)));
    add("JavaScript", Bool(f.javaScript));
    add("Attachments", std::to_string(f.attachments));
    add("Outlines", Bool(f.outlines));
    add("Updates", std::to_string(f.updates));
    return j + "}";
}

std::string ErrorToJson(const std::string& fileName, const std::string& message, ErrorKind kind) {
    return "{" + JsonFileFields(fileName) + ", \"error\": " + JsonString(message) +
           ", \"errorKind\": \"" + ErrorKindName(kind) + "\"}";
}
