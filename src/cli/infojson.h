// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The document properties of one file as a JSON object, for scripts and for checking the
// reader against other tools.

#include "common/errors.h"
#include "pdf/documentinfo.h"

#include <string>

// Dates are written as ISO 8601 local date-times (null when absent), byte strings (/O, /U, the
// file identifier) as hexadecimal digits. No key is written: whoever has the JSON of a
// protected file must still need its password.
std::string InfoToJson(const std::string& fileName, const DocumentInfo& info);
// {"file": ..., "error": message, "errorKind": kind} for a file the reader failed on; kind is
// ErrorKindName's, stable for scripts.
std::string ErrorToJson(const std::string& fileName, const std::string& message, ErrorKind kind);
// The fields that name a file (its path as bytes): "file" is the name as shown (the display
// rule of jtext/filename.h, always UTF-8); a path that is not UTF-8 also gets "path_bytes",
// its exact bytes as lower-case hexadecimal digits, from which the path can be made again.
std::string JsonFileFields(const std::string& path);
// The "path_bytes" field alone; empty for a UTF-8 path.
std::string PathBytesField(const std::string& path);
// A JSON string literal of UTF-8 text; bytes that are not UTF-8 become U+FFFD.
std::string JsonString(const std::string& utf8);
