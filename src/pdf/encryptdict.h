#pragma once
// The encryption dictionary read into the security handler's parameters.

#include "crypto/pdfenc.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

// The body of object n (what follows "n g obj"), for entries given by reference.
using ObjectTextSource = std::function<std::string(int32_t)>;

// Reads the dictionary that text starts with (anything after its closing ">>" is ignored):
// /Filter, /SubFilter, /V, /R, /Length, /P, /O, /U, /OE, /UE, /Perms, /StrF, /StmF,
// /EncryptMetadata and the /CFM and /Length of /CF's /StdCF. A /Length under 40 is taken as
// bytes (crypt filters write it so). id is the trailer's first /ID string. Entries that are
// missing or malformed keep their defaults; nothing raises.
EncryptionParams ReadEncryptDictionary(std::string_view text, const std::string& id,
                                       const ObjectTextSource& objectText = {});
