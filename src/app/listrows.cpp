// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/listrows.h"

#include "common/errors.h"
#include "jtext/cp932.h"
#include "jtext/junicode.h"
#include "pdf/bytesource.h"
#include "pdf/documentreader.h"
#include "pdf/papersize.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

std::string DateCell(TDateTime value, bool fourDigitYear) {
    const DateTimeParts p = DecodeDateTime(value);
    const int year = fourDigitYear ? p.year : p.year % 100;
    const bool usual = year >= 0 && year <= 9999 && p.month >= 0 && p.month <= 99 && p.day >= 0 &&
                       p.day <= 99 && p.hour >= 0 && p.hour <= 99 && p.minute >= 0 &&
                       p.minute <= 99 && p.second >= 0 && p.second <= 99;
    if (usual) { // as the format below writes it, without its cost on every row
        std::string out;
        out.reserve(19);
        auto two = [&](int v) {
            out += char('0' + v / 10);
            out += char('0' + v % 10);
        };
        if (fourDigitYear)
            two(year / 100);
        two(year % 100);
        out += '/';
        two(p.month);
        out += '/';
        two(p.day);
        out += ' ';
        two(p.hour);
        out += ':';
        two(p.minute);
        out += ':';
        two(p.second);
        return out;
    }
    char text[40];
    std::snprintf(text, sizeof text, "%0*d/%02d/%02d %02d:%02d:%02d", fourDigitYear ? 4 : 2,
                  fourDigitYear ? p.year : p.year % 100, p.month, p.day, p.hour, p.minute,
                  p.second);
    return text;
}

} // namespace

std::string FileMaskForIndex(int index) {
    switch (index) {
    case 1:
        return "*.pdf;*.jpeg;*.jpg;*.bmp;*.png;*.emf;*.wmf";
    case 2:
        return "*.*";
    default:
        return "*.pdf";
    }
}

std::string ExtensionOf(std::string_view name) {
    const size_t dot = name.rfind('.');
    return dot == std::string_view::npos ? std::string() : std::string(name.substr(dot));
}

namespace {

// Whether part stands in text, ASCII letters of either case taken as the same.
bool ContainsNoCase(std::string_view text, std::string_view part) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c + 32) : c; };
    return std::search(text.begin(), text.end(), part.begin(), part.end(),
                       [&](char a, char b) { return lower(a) == lower(b); }) != text.end();
}

} // namespace

bool PassesFileFilter(std::string_view mask, std::string_view name) {
    if (mask == "*.*" || mask.find_first_not_of(' ') == std::string_view::npos)
        return true;
    // The extension, from its dot; a name without one passes no mask.
    const size_t dot = name.rfind('.');
    return dot != std::string_view::npos && ContainsNoCase(mask, name.substr(dot));
}

bool IsPdfName(std::string_view name) {
    const size_t dot = name.rfind('.');
    return dot != std::string_view::npos && ContainsNoCase("*.pdf", name.substr(dot));
}

std::string Grouped(int64_t value, const CellFormat& format) {
    const bool negative = value < 0;
    const std::string digits = std::to_string(negative ? 0 - uint64_t(value) : uint64_t(value));
    std::string out;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            out += format.groupSeparator;
        out += digits[i];
    }
    return negative ? "-" + out : out;
}

std::string LongDateCell(TDateTime value) {
    return value == 0 ? std::string() : DateCell(value, true);
}

std::string ShortDateCell(TDateTime value) {
    return DateCell(value, false);
}

std::string SizeCell(int64_t bytes, const CellFormat& format) {
    const int64_t kib = bytes <= 0 ? 0 : (bytes - 1) / 1024 + 1;
    return Grouped(kib, format) + "KB";
}

PackedCells::PackedCells(const RowCells& cells) {
    size_t size = 0;
    for (const std::string& cell : cells)
        size += cell.size();
    text_.reserve(size);
    for (size_t i = 0; i < cells.size(); ++i) {
        text_ += cells[i];
        ends_[i] = uint32_t(text_.size());
    }
}

RowCells FolderCells() {
    return {};
}

void AddEntryCells(RowCells& cells, const EntryFacts& entry, const CellFormat& format) {
    cells[10] = SizeCell(entry.size, format);
    std::string type = ExtensionOf(entry.name);
    for (char& c : type)
        if (c >= 'a' && c <= 'z')
            c = char(c - 32);
    cells[11] = std::move(type);
    cells[12] = ShortDateCell(entry.lastWriteTime);
}

RowCells PlainFileCells(const EntryFacts& entry, const CellFormat& format) {
    RowCells cells;
    AddEntryCells(cells, entry, format);
    return cells;
}

RowCells PdfInfoCells(const DocumentInfo& info, const CellFormat& format) {
    RowCells cells;
    if (info.encryption.TextReadable()) {
        cells[0] = info.title;
        cells[1] = info.subject;
        cells[2] = info.author;
        cells[3] = info.keywords;
        cells[4] = info.producer;
        cells[5] = LongDateCell(info.creationDate);
    } else {
        cells[0] = cells[2] = cells[4] = "***crypt***";
    }
    cells[6] = info.encryption.encrypted ? std::to_string(info.encryption.keyLengthBits) : "無し";
    cells[7] = Grouped(info.pageCount, format);
    cells[8] = Grouped(info.fileSize, format);
    cells[9] = info.pdfVersion;
    return cells;
}

RowCells PdfCells(const DocumentInfo& info, const EntryFacts& entry, const CellFormat& format) {
    RowCells cells = PdfInfoCells(info, format);
    AddEntryCells(cells, entry, format);
    return cells;
}

std::string PermissionsCell(const EncryptionFacts& e) {
    // High-quality printing is told apart only where printing is allowed at all.
    const std::pair<bool, const char*> withheld[] = {
        {!e.CanPrint(), "印刷×"},
        {e.CanPrint() && !e.CanPrintHighQuality(), "高品質印刷×"},
        {!e.CanCopy(), "コピー×"},
        {!e.CanModify(), "変更×"},
        {!e.CanAnnotate(), "注釈×"},
        {!e.CanFillForms(), "フォーム入力×"},
        {!e.CanAssemble(), "ページ組立て×"},
        {!e.CanExtractForAccessibility(), "アクセシビリティ×"},
    };
    std::string out;
    for (const auto& [denied, word] : withheld)
        if (denied)
            out.append(out.empty() ? "" : " ").append(word);
    return out;
}

std::string PaperCell(const PageFacts& page) {
    if (!page.found)
        return {};
    std::string out(PaperName(page.widthMm, page.heightMm));
    if (out.empty()) {
        char size[48];
        std::snprintf(size, sizeof size, "%.0f×%.0f", page.widthMm, page.heightMm);
        out = size;
    }
    if (std::lround(page.widthMm) != std::lround(page.heightMm))
        out += page.widthMm < page.heightMm ? " 縦" : " 横";
    if (!page.mixedSizes)
        out += " …";
    else if (*page.mixedSizes)
        out += " 混在";
    return out;
}

std::string_view PageLayoutName(std::string_view layout) {
    static constexpr std::pair<std::string_view, std::string_view> kNames[] = {
        {"SinglePage", "単一ページ"},          {"OneColumn", "連続ページ"},
        {"TwoColumnLeft", "見開き連続（左）"}, {"TwoColumnRight", "見開き連続（右）"},
        {"TwoPageLeft", "見開き（左）"},       {"TwoPageRight", "見開き（右）"},
    };
    for (const auto& [name, words] : kNames)
        if (layout == name)
            return words;
    return layout;
}

namespace {

std::string CountCell(int64_t n, const CellFormat& format) {
    return n > 0 ? Grouped(n, format) : std::string();
}

std::string Mark(bool yes) {
    return yes ? "あり" : "";
}

} // namespace

FeatureCells PdfFeatureCells(const DocumentInfo& info, const CellFormat& format) {
    const DocumentFeatures& f = info.features;
    const std::vector<SignatureFacts>& signatures = f.signatures;
    std::string signers;
    TDateTime lastSigned = 0;
    // The file is as signed when some signature covers it whole: the earlier ones are then
    // covered by the later signatures' updates.
    bool coveredWhole = false, timestamp = false;
    for (const SignatureFacts& s : signatures) {
        if (!s.signer.empty() &&
            ("; " + signers + "; ").find("; " + s.signer + "; ") == std::string::npos)
            signers.append(signers.empty() ? "" : "; ").append(s.signer);
        lastSigned = std::max(lastSigned, s.signingTime);
        coveredWhole = coveredWhole || !s.changedAfterSigning;
        timestamp = timestamp || s.timestamp;
    }
    const bool readable = info.encryption.TextReadable();
    FeatureCells out;
    out.cells = {
        PaperCell(f.firstPage),
        PermissionsCell(info.encryption),
        CountCell(int64_t(signatures.size()), format),
        signers,
        LongDateCell(lastSigned),
        Mark(!signatures.empty() && !coveredWhole),
        Mark(timestamp),
        f.pdfA,
        f.pdfUA,
        Mark(f.tagged),
        f.direction == "R2L"   ? "右綴じ"
        : f.direction == "L2R" ? "左綴じ"
                               : "",
        std::string(PageLayoutName(f.pageLayout)),
        Mark(f.linearized),
        f.forms == FormKind::Xfa        ? "XFA"
        : f.forms == FormKind::AcroForm ? "AcroForm"
                                        : "",
        Mark(f.javaScript),
        CountCell(f.attachments, format),
        Mark(f.outlines),
        CountCell(f.updates, format),
        readable ? info.creator : std::string(),
        readable ? LongDateCell(info.modificationDate) : std::string(),
    };
    if (f.firstPage.found)
        out.paperAreaMm2 = f.firstPage.widthMm * f.firstPage.heightMm;
    return out;
}

bool ReadsPdf(std::string_view name, bool isFolder, const ScanSettings& settings) {
    return !isFolder && PassesFileFilter(settings.fileMask, name) && IsPdfName(name);
}

PdfRead ReadPdf(const std::string& fullPath, const ScanSettings& settings,
                const std::function<void()>& opened, int folder) {
    PdfRead read;
    std::optional<ByteSource> source;
    try {
        source.emplace(fullPath, folder);
        read.status = source->Status();
    } catch (const EPagewickError& e) {
        read.error = e.what();
        return read;
    }
    if (opened)
        opened();
    for (size_t next = 0;; ++next) {
        const std::string& password =
            next == 0 ? settings.password : settings.otherPasswords[next - 1];
        const bool last = next == settings.otherPasswords.size();
        try {
            const DocumentInfo info =
                ReadPdfInfo(*source, {password, settings.lenientPassword, settings.readFeatures});
            // Only a password the file asks for and refuses is worth another one.
            if (!last && !info.encryption.TextReadable() && info.encryption.needsPassword &&
                !info.encryption.method.empty())
                continue;
            read.cells = PdfInfoCells(info, settings.format);
            read.features =
                settings.readFeatures
                    ? std::make_shared<const FeatureCells>(PdfFeatureCells(info, settings.format))
                    : nullptr;
            read.error.reset();
        } catch (const EPagewickError& e) {
            read.error = e.what();
            read.features = nullptr;
            if (!last && e.Kind() == ErrorKind::WrongPassword)
                continue;
        }
        return read;
    }
}

std::optional<ListRow> RowForEntry(const EntryFacts& entry, bool isFolder, int imageIndex,
                                   const std::string& fullPath, const ScanSettings& settings,
                                   std::optional<ReadFailure>& failure, PdfRead* preRead) {
    failure.reset();
    if (isFolder)
        return ListRow{entry.name, imageIndex, true, FolderCells(), {}}; // whatever the filter
    if (!PassesFileFilter(settings.fileMask, entry.name))
        return std::nullopt;
    ListRow row{entry.name, imageIndex, false, {}, {}, entry.lastWriteTime, entry.size};
    if (IsPdfName(entry.name)) {
        PdfRead own;
        PdfRead& read = preRead ? *preRead : (own = ReadPdf(fullPath, settings));
        if (!read.error) {
            AddEntryCells(read.cells, entry, settings.format);
            row.cells = read.cells;
            row.features = std::move(read.features);
            return row;
        }
        failure = ReadFailure{entry.name, *read.error};
    }
    row.cells = PlainFileCells(entry, settings.format);
    return row;
}

std::string AppendBackslash(std::string path) {
    if (path.empty() || path.back() != '/')
        path += '/';
    return path;
}

bool IsPrintableAscii(std::string_view text) {
    for (unsigned char c : text)
        if (!((c >= 0x20 && c <= 0x7E) || c == '\r' || c == '\n'))
            return false;
    return true;
}

namespace {

// The code point of the well-formed sequence of n bytes at text[i] when it is a C1 control or
// a bidirectional override or isolate, else 0.
char32_t ActingCharacterAt(std::string_view text, size_t i, size_t n) {
    const auto b = [&](size_t k) { return static_cast<unsigned char>(text[i + k]); };
    if (n == 2 && b(0) == 0xC2 && b(1) <= 0x9F)
        return b(1);
    if (n == 3 && b(0) == 0xE2 &&
        ((b(1) == 0x80 && b(2) >= 0xAA && b(2) <= 0xAE) ||
         (b(1) == 0x81 && b(2) >= 0xA6 && b(2) <= 0xA9)))
        return 0x2000 + ((b(1) & 0x3Fu) << 6) + (b(2) & 0x3Fu);
    return 0;
}

} // namespace

std::string_view InertText(std::string_view text, bool keepBreaks, std::string& scratch) {
    static const char digits[] = "0123456789abcdef";
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    size_t copied = 0; // text before this is in scratch already, when anything changed
    bool changed = false;
    for (size_t i = 0; i < text.size();) {
        const unsigned c = bytes[i];
        if (c >= 0x20 && c < 0x7F) {
            ++i;
            continue;
        }
        // Most of a Japanese text: three bytes of a character that never acts, checked here
        // rather than by the general rule, which lists and tables would otherwise spend their
        // time in.
        if (c >= 0xE3 && c <= 0xEF && c != 0xED && i + 2 < text.size() &&
            (bytes[i + 1] & 0xC0) == 0x80 && (bytes[i + 2] & 0xC0) == 0x80) {
            i += 3;
            continue;
        }
        size_t length = 1;
        char32_t acting = c; // a C0 control, DEL or a byte that is not UTF-8, unless below
        bool wide = false;   // written as \uHHHH rather than \xHH
        if (c < 0x80) {
            if (keepBreaks && (c == '\t' || c == '\n' || c == '\r')) {
                ++i;
                continue;
            }
        } else if ((length = Utf8SequenceAt(text, i)) == 0) {
            length = 1;
        } else {
            acting = ActingCharacterAt(text, i, length);
            wide = true;
            if (!acting) {
                i += length;
                continue;
            }
        }
        if (!changed)
            scratch.clear();
        changed = true;
        scratch.append(text.substr(copied, i - copied)).append(wide ? "\\u" : "\\x");
        for (int shift = wide ? 12 : 4; shift >= 0; shift -= 4)
            scratch += digits[(acting >> shift) & 15];
        i += length;
        copied = i;
    }
    if (!changed)
        return text;
    scratch.append(text.substr(copied));
    return scratch;
}
