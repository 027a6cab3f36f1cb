// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// PDF text strings to Unicode text (UTF-8) and to display text in code page 932, which is
// always the code page 932 form of the Unicode text (characters it lacks become "?").

#include "crypto/pdfenc.h"

#include <cstdint>
#include <string>
#include <string_view>

class PdfReader;
struct ValueText;

// One to three digits "0"-"9" (each counting with its decimal value) as an octal number,
// modulo 256, written as two upper-case hexadecimal digits.
std::string OctalEscapeToHex(std::string_view digits);

// Whether the 932 bytes one code unit converted to can be shown: LF, CR, 0x20-0x7E, half-width
// katakana, or a double-byte character.
bool IsDisplayableChar(std::string_view converted);

// Four hexadecimal digits per UTF-16 unit (big-endian unless littleEndian) to UTF-8. A
// surrogate pair is one character; a unit whose code page 932 form shows nothing (a control
// character other than CR and LF) becomes U+FFFD; zero units are dropped. White space between
// digits is skipped.
std::string HexToUtf8(std::string_view hex, bool littleEndian = false);
// The same in code page 932: a unit that cannot be shown becomes "?", one per character.
std::string HexToText(std::string_view hex, bool littleEndian = false);

// Literal content that starts with the escaped mark \376\377: its bytes, escapes resolved,
// are big-endian units, turned into text as HexToUtf8 turns them.
std::string Utf16LiteralToUtf8(std::string_view content);
std::string Utf16LiteralToText(std::string_view content);

// How the bytes of a string without a UTF-16 mark are read (ChooseByteReading tells why).
enum class ByteReading { PdfDoc, Utf8, ShiftJis, EucJp, Jis };
ByteReading ChooseByteReading(std::string_view bytes);
// PDFDocEncoding to UTF-8; bytes that stand for no character become U+FFFD.
std::string PdfDocToUtf8(std::string_view bytes);
// bytes read as ChooseByteReading says, to UTF-8.
std::string BytesToUtf8(std::string_view bytes);

// The bytes of a string value to Unicode text: UTF-16 with a mark (the mark and a language
// escape dropped, the text ending at a zero unit), else as BytesToUtf8 reads them.
std::string DecodeStringUtf8(std::string_view bytes);
// The same in code page 932.
std::string DecodeStringBytes(std::string bytes);

// The value of key in text (see PdfReader::ExtractValueText) as Unicode text.
std::string ReadInfoString(PdfReader& reader, std::string_view key, std::string_view text,
                           int minLength);
// The same for an encrypted document: the value's bytes are decrypted before they are decoded,
// with the key of the object that holds them: the dictionary's (objectNumber, generation), or
// for a value given by reference, that value's own object. A value that does not decrypt
// (AES data whose padding is broken) is empty.
std::string ReadEncryptedInfoString(PdfReader& reader, StringDecryptor& decryptor,
                                    int32_t objectNumber, int32_t generation, std::string_view key,
                                    std::string_view text, int minLength);

// Those two in code page 932.
std::string ReadInfoText(PdfReader& reader, std::string_view key, std::string_view text,
                         int minLength);
std::string ReadEncryptedInfoText(PdfReader& reader, StringDecryptor& decryptor,
                                  int32_t objectNumber, int32_t generation, std::string_view key,
                                  std::string_view text, int minLength);

// A string value (as ValueText holds it) as Unicode text; a value read from an object
// (value.object > 0) is decoded once per reader.
std::string StringValueUtf8(PdfReader& reader, ValueText value);
// The same as display text (code page 932).
std::string StringValueText(PdfReader& reader, ValueText value);

// StringValueUtf8 and StringValueText for an encrypted document: the bytes are decrypted with
// the key of the object that holds the string (objectNumber, generation) before they are
// decoded; a string that does not decrypt (AES data whose padding is broken) is empty.
std::string DecryptedStringValueUtf8(PdfReader& reader, ValueText value, StringDecryptor& decryptor,
                                     int32_t objectNumber, int32_t generation);
std::string DecryptedStringValueText(PdfReader& reader, ValueText value, StringDecryptor& decryptor,
                                     int32_t objectNumber, int32_t generation);
