// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/modernpdf.h"

#include <stdexcept>
#include <zlib.h>

std::string Deflate(std::string_view bytes) {
    uLongf size = compressBound(uLong(bytes.size()));
    std::string out(size, '\0');
    if (compress2(reinterpret_cast<Bytef*>(out.data()), &size,
                  reinterpret_cast<const Bytef*>(bytes.data()), uLong(bytes.size()), 9) != Z_OK)
        throw std::runtime_error("compress2 failed");
    out.resize(size);
    return out;
}

ModernPdf::ModernPdf() : bytes_("%PDF-1.5\n%\xE2\xE3\xCF\xD3\n") {}

ModernPdf& ModernPdf::Raw(std::string_view bytes) {
    bytes_ += bytes;
    return *this;
}

ModernPdf& ModernPdf::Object(int n, std::string_view body) {
    entries_[n] = pending_[n] = {1, int64_t(bytes_.size()), 0};
    bytes_ += std::to_string(n) + " 0 obj\n" + std::string(body) + "\nendobj\n";
    return *this;
}

ModernPdf& ModernPdf::ObjectStream(int n, const std::vector<std::pair<int, std::string>>& objects,
                                   bool flate, std::string_view extraEntries) {
    std::string header, body;
    int index = 0;
    for (const auto& [number, text] : objects) {
        header += std::to_string(number) + " " + std::to_string(body.size()) + " ";
        body += text + "\n";
        entries_[number] = pending_[number] = {2, n, index++};
    }
    std::string data = header + body;
    if (flate)
        data = Deflate(data);
    Object(n, "<< /Type /ObjStm /N " + std::to_string(objects.size()) + " /First " +
                  std::to_string(header.size()) + " /Length " + std::to_string(data.size()) +
                  (flate ? " /Filter /FlateDecode " : " ") + std::string(extraEntries) +
                  " >>\nstream\n" + data + "\nendstream");
    return *this;
}

namespace {

void Put(std::string& row, int64_t value, int width) {
    for (int k = width - 1; k >= 0; --k)
        row += char((value >> (8 * k)) & 0xFF);
}

} // namespace

ModernPdf& ModernPdf::XrefStream(int n, std::string_view trailerEntries, Rows rows, bool update) {
    const int64_t at = int64_t(bytes_.size());
    entries_[n] = pending_[n] = {1, at, 0};
    const std::map<int, Entry>& which = update ? pending_ : entries_;
    std::string data, index;
    constexpr int kWidths[3] = {1, 4, 2};
    const int rowSize = 7;
    std::string previous(rowSize, '\0');
    int run = -2, runStart = 0, runLength = 0;
    auto closeRun = [&] {
        if (runLength > 0)
            index += std::to_string(runStart) + " " + std::to_string(runLength) + " ";
    };
    std::map<int, Entry> all = which;
    if (!update)
        all[0] = {0, 0, 65535};
    for (const auto& [number, e] : all) {
        if (number != run + 1) {
            closeRun();
            runStart = number;
            runLength = 0;
        }
        run = number;
        ++runLength;
        std::string row;
        Put(row, e.type, kWidths[0]);
        Put(row, e.field2, kWidths[1]);
        Put(row, e.field3, kWidths[2]);
        if (rows == Rows::FlatePng) { // the Up filter, as most writers use
            std::string up(1, '\x02');
            for (int k = 0; k < rowSize; ++k)
                up += char(uint8_t(row[size_t(k)]) - uint8_t(previous[size_t(k)]));
            previous = row;
            row = up;
        } else if (rows == Rows::FlateTiff) {
            std::string diff = row;
            for (int k = rowSize - 1; k > 0; --k)
                diff[size_t(k)] = char(uint8_t(row[size_t(k)]) - uint8_t(row[size_t(k - 1)]));
            row = diff;
        }
        data += row;
    }
    closeRun();
    std::string parms;
    if (rows == Rows::FlatePng)
        parms = " /DecodeParms << /Predictor 12 /Columns 7 >>";
    else if (rows == Rows::FlateTiff)
        parms = " /DecodeParms << /Predictor 2 /Columns 7 /Colors 1 >>";
    if (rows != Rows::Plain)
        data = Deflate(data);
    std::string dict = "<< /Type /XRef /W [1 4 2] /Index [" + index + "] /Length " +
                       std::to_string(data.size()) +
                       (rows != Rows::Plain ? " /Filter /FlateDecode" : "") + parms + " " +
                       std::string(trailerEntries);
    if (lastSection_ >= 0)
        dict += " /Prev " + std::to_string(lastSection_);
    bytes_ += std::to_string(n) + " 0 obj\n" + dict + " >>\nstream\n" + data +
              "\nendstream\nendobj\nstartxref\n" + std::to_string(at) + "\n%%EOF\n";
    lastSection_ = at;
    pending_.clear();
    return *this;
}

ModernPdf& ModernPdf::ClassicUpdate(std::string_view trailerEntries, int64_t xrefStm) {
    const int64_t at = int64_t(bytes_.size());
    bytes_ += "xref\n";
    if (lastSection_ < 0)
        bytes_ += "0 1\n0000000000 65535 f\r\n";
    for (const auto& [number, e] : pending_) {
        if (e.type != 1)
            continue;
        char line[32];
        std::snprintf(line, sizeof line, "%010lld 00000 n\r\n", static_cast<long long>(e.field2));
        bytes_ += std::to_string(number) + " 1\n" + line;
    }
    bytes_ += "trailer\n<< " + std::string(trailerEntries);
    if (lastSection_ >= 0)
        bytes_ += " /Prev " + std::to_string(lastSection_);
    if (xrefStm >= 0)
        bytes_ += " /XRefStm " + std::to_string(xrefStm);
    bytes_ += " >>\nstartxref\n" + std::to_string(at) + "\n%%EOF\n";
    lastSection_ = at;
    pending_.clear();
    return *this;
}
