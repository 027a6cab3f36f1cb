// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the file list shows for each entry, as plain values: the file-type filter and the text
// of every cell. The window and the command-line lister both build their rows here.

#include "common/datetime.h"
#include "common/filestatus.h"
#include "pdf/documentinfo.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

constexpr int kCellCount = 13; // columns 1 to 13; column 0 is the row's caption

using RowCells = std::array<std::string, kCellCount>;

// A row's cells as it keeps them: the texts one after another in one string, so that a row
// of a large folder costs one allocation and a few dozen bytes besides its text, not thirteen
// strings. Made from the cells as they are built.
class PackedCells {
public:
    PackedCells() = default;
    PackedCells(const RowCells& cells); // implicit: rows take their cells as they are built
    // const, so that assigning to a cell does not compile (it would change nothing).
    const std::string_view operator[](size_t i) const {
        return std::string_view(text_).substr(i ? ends_[i - 1] : 0,
                                              ends_[i] - (i ? ends_[i - 1] : 0));
    }
    static constexpr size_t size() { return kCellCount; }
    // All the cells' text, one after another.
    std::string_view Text() const { return text_; }
    bool operator==(const PackedCells&) const = default;

private:
    std::string text_;
    std::array<uint32_t, kCellCount> ends_{};
};

// The cells of the optional columns (columns.h, in their order), and what the paper column
// sorts by: made only when the scan reads the documents' features.
constexpr int kFeatureCellCount = 20;
struct FeatureCells {
    std::array<std::string, kFeatureCellCount> cells;
    double paperAreaMm2 = -1; // the first page's; -1 when there is none
};

// One row of the list. Text is UTF-8.
struct ListRow {
    std::string caption; // the entry's name
    int imageIndex = -1;
    // Added for a folder entry (".." included). Rows remember this rather than being told
    // apart by their icon, which a file without extension may share with folders.
    bool isFolder = false;
    PackedCells cells;
    // The name as the file system has it (from the listed folder, in a recursive list): the
    // caption is only how it is shown, and cannot always name the file again.
    std::string nameBytes;
    // When the file was last written, for sorting by 更新日時, whose cell has a two-digit year.
    TDateTime modified = 0;
    // The file's size in bytes (0 for a folder), for the totals of the rows shown.
    int64_t size = 0;
    // The optional columns' cells of a PDF read with its features; null otherwise. Shared, as
    // rows are copied and the cells never change.
    std::shared_ptr<const FeatureCells> features;
};

// The few facts of a folder entry that the cells show.
struct EntryFacts {
    std::string name;
    int64_t size = 0;
    TDateTime lastWriteTime = 0;
};

struct CellFormat {
    std::string groupSeparator = ","; // the user's thousands separator
    bool operator==(const CellFormat&) const = default;
};

// The mask of the file-type filter for the item index of the type list.
std::string FileMaskForIndex(int index);
// From the last "." to the end, dot included; empty when the name has none.
std::string ExtensionOf(std::string_view name);
// Whether a file of this name gets a row under mask ("*.*" or a blank mask: every file).
bool PassesFileFilter(std::string_view mask, std::string_view name);
// Whether the file is handed to the PDF reader: its extension occurs in "*.pdf".
bool IsPdfName(std::string_view name);

std::string Grouped(int64_t value, const CellFormat& format);
// "YYYY/MM/DD HH:MM:SS", any year from 0000 (writers put year 0000 for "no date", and readers
// show it); empty for 0, the absent date.
std::string LongDateCell(TDateTime value);
// "YY/MM/DD HH:MM:SS".
std::string ShortDateCell(TDateTime value);
// The size in KiB rounded up, grouped, followed by "KB".
std::string SizeCell(int64_t bytes, const CellFormat& format);

RowCells FolderCells();
RowCells PlainFileCells(const EntryFacts& entry, const CellFormat& format);
// The cells a PDF's information fills, columns 1 to 10, of a readable PDF or one whose strings
// the password does not open; the others are left empty.
RowCells PdfInfoCells(const DocumentInfo& info, const CellFormat& format);
// Those with the entry's own cells (size, type, date) added.
void AddEntryCells(RowCells& cells, const EntryFacts& entry, const CellFormat& format);
RowCells PdfCells(const DocumentInfo& info, const EntryFacts& entry, const CellFormat& format);
// The optional columns' cells of a PDF read with its features.
FeatureCells PdfFeatureCells(const DocumentInfo& info, const CellFormat& format);
// The permissions an encrypted file withholds, in words ("印刷× コピー×"); empty when none.
std::string PermissionsCell(const EncryptionFacts& encryption);
// The first page's paper ("A4 縦", "B5 (JIS) 横", "182×250 縦"), with " 混在" when pages differ
// and " …" when more pages follow than were compared; empty without a first page.
std::string PaperCell(const PageFacts& page);
// A /PageLayout name as viewers offer it ("見開き（右）"); a name it does not know as it is.
std::string_view PageLayoutName(std::string_view layout);

// What a scan needs besides the entries: the filter's mask, the password (UTF-8, as typed:
// blanks are characters) and the lenient-password option, and the number format.
struct ScanSettings {
    std::string fileMask = "*.pdf";
    std::string password;
    bool lenientPassword = false;
    CellFormat format;
    // More passwords (typed earlier), tried in turn on a file that password does not open.
    std::vector<std::string> otherPasswords;
    bool readFeatures = false; // for the optional columns
    bool operator==(const ScanSettings&) const = default;
};

// A file the reader failed on, and why.
struct ReadFailure {
    std::string name;
    std::string message;
};

// What the reader gave for one PDF file: the cells of its information (PdfInfoCells), or the
// message it failed with. The cells are made where the file is read, so that a file read on
// another thread reaches the scan as texts it only has to move into the row.
struct PdfRead {
    RowCells cells;
    std::shared_ptr<const FeatureCells> features; // when the settings ask for them
    std::optional<std::string> error;
    // The file's status as the reader opened it, so that the scan need not ask for it again;
    // nothing when it could not be opened.
    std::optional<FileStatus> status;
};

// Whether RowForEntry hands this entry to the PDF reader.
bool ReadsPdf(std::string_view name, bool isFolder, const ScanSettings& settings);
// Reads the file at fullPath with the scan's password and option and makes its cells. A file
// the password does not open is read again with each of the other passwords in turn, until
// one opens it; the reader tries the empty password first every time. Only the reader's own
// errors are caught. opened, when given, is called once the file is open, before it is read.
// folder, when given, is the open folder that holds the file (ByteSource).
PdfRead ReadPdf(const std::string& fullPath, const ScanSettings& settings,
                const std::function<void()>& opened = {}, int folder = -1);

// The row for one entry of a listed folder, or nothing when the filter leaves a file out.
// fullPath is where the reader finds the file; preRead, when given, is what ReadPdf already
// gave for it (its cells are moved into the row). A PDF the reader fails on gets the cells of
// a plain file, and failure tells why; the listing goes on.
std::optional<ListRow> RowForEntry(const EntryFacts& entry, bool isFolder, int imageIndex,
                                   const std::string& fullPath, const ScanSettings& settings,
                                   std::optional<ReadFailure>& failure, PdfRead* preRead = nullptr);

// path followed by "/" unless it already ends in one; "/" for an empty path.
std::string AppendBackslash(std::string path);
// Every byte in 0x20-0x7E, CR or LF; true for an empty text.
bool IsPrintableAscii(std::string_view text);

// Text from outside (titles, names) as it may reach a terminal or a table without acting
// there: a C0 control character or DEL becomes \xHH, a C1 control character or a
// bidirectional override or isolate (U+202A-U+202E, U+2066-U+2069) \uHHHH, and a byte that is
// not part of well-formed UTF-8 \xHH (lower-case hex). Tab, line feed and carriage return stay
// when keepBreaks: the format at hand quotes or replaces them itself. Returns text itself when
// nothing in it changes, else the changed text, made in scratch. Every writer of text for
// people (the lists, the tables, the window's cells, messages) puts its text through this.
std::string_view InertText(std::string_view text, bool keepBreaks, std::string& scratch);
