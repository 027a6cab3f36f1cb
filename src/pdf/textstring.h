// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// PDF text strings (the bytes of a string value, such as an Info entry) to Unicode text (UTF-8).

#include <string>
#include <string_view>

// The bytes of a text string as Unicode text: UTF-16 with its mark (either byte order; the mark
// and a language escape dropped), else as BytesToUtf8 reads them. A control character other
// than CR and LF becomes U+FFFD; zero units are dropped.
std::string TextStringToUtf8(std::string_view bytes);

// How the bytes of a string without a UTF-16 mark are read (ChooseByteReading tells why).
enum class ByteReading { PdfDoc, Utf8, ShiftJis, EucJp, Jis };
ByteReading ChooseByteReading(std::string_view bytes);
// PDFDocEncoding to UTF-8; bytes that stand for no character become U+FFFD.
std::string PdfDocToUtf8(std::string_view bytes);
// bytes read as ChooseByteReading says, to UTF-8.
std::string BytesToUtf8(std::string_view bytes);
