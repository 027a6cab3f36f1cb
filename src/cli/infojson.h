#pragma once
// The document properties of one file as a JSON object, for scripts and for checking the
// reader against other tools.

#include "pdf/pdfinfo.h"

#include <string>

// Text fields are converted from code page 932 to UTF-8, dates written as ISO 8601 local
// date-times (null when absent), byte arrays as hexadecimal digits.
std::string InfoToJson(const std::string& fileName, const TpdfInfomation& info);
// {"file": ..., "error": ...} for a file the reader failed on.
std::string ErrorToJson(const std::string& fileName, const std::string& message);
// A JSON string literal of UTF-8 text; bytes that are not UTF-8 are replaced.
std::string JsonString(const std::string& utf8);
