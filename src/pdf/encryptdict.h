// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The encryption dictionary read into the security handler's parameters.

#include "crypto/pdfenc.h"

#include <functional>
#include <string>

struct PdfObject;

// The value a reference names (anything else is given back as it is).
using ResolveValue = std::function<PdfObject(const PdfObject&)>;

// Reads /Filter, /SubFilter, /V, /R, /Length, /P, /O, /U, /OE, /UE, /Perms, /StrF, /StmF,
// /EncryptMetadata and the /CFM and /Length of /CF's /StdCF. A /Length under 40 is taken as
// bytes (crypt filters write it so). id is the trailer's first /ID string. Entries that are
// missing or of the wrong type keep their defaults; nothing raises.
EncryptionParams ReadEncryptDictionary(const PdfObject& dictionary, const std::string& id,
                                       const ResolveValue& resolve);
