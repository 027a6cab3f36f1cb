#pragma once
// PDF text strings to display text (code page 932 bytes).

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

// Four hexadecimal digits per UTF-16 unit (big-endian unless littleEndian), each unit converted
// on its own; a unit that cannot be shown becomes "?". White space between digits is skipped.
std::string HexToText(std::string_view hex, bool littleEndian = false);

// Literal content that starts with the escaped mark \376\377: its bytes, escapes resolved,
// are big-endian units, turned into text as HexToText turns them.
std::string Utf16LiteralToText(std::string_view content);

// The bytes of a string value to text: UTF-16 with a mark (the mark and a language escape
// dropped), UTF-8 converted to 932, anything else taken as 932 bytes already.
std::string DecodeStringBytes(std::string bytes);

// The value of key in text (see PdfReader::ExtractValueText) as display text.
std::string ReadInfoText(PdfReader& reader, std::string_view key, std::string_view text,
                         int minLength);

// The same for an encrypted document: the value's bytes are decrypted before they are decoded,
// with the key of the object that holds them: the dictionary's (objectNumber, generation), or
// for a value given by reference, that value's own object. A value that does not decrypt
// (AES data whose padding is broken) is empty.
std::string ReadEncryptedInfoText(PdfReader& reader, StringDecryptor& decryptor,
                                  int32_t objectNumber, int32_t generation, std::string_view key,
                                  std::string_view text, int minLength);

// A string value (as ValueText holds it) as display text; a value read from an object
// (value.object > 0) is decoded once per reader.
std::string StringValueText(PdfReader& reader, ValueText value);

// StringValueText for an encrypted document: the bytes are decrypted with the key of the object
// that holds the string (objectNumber, generation) before they are decoded; a string that does
// not decrypt (AES data whose padding is broken) is empty.
std::string DecryptedStringValueText(PdfReader& reader, ValueText value, StringDecryptor& decryptor,
                                     int32_t objectNumber, int32_t generation);
