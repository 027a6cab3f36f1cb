// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The interactive form's fields: its signed signature fields, and whether a field runs
// JavaScript.

#include "pdf/documentinfo.h"
#include "pdf/pdfobject.h"

#include <cstdint>
#include <vector>

class ByteSource;
class ObjectStore;

// Fields looked at, all levels together: real forms have a few hundred.
constexpr int64_t kMaxFormFields = 10000;

struct FormFacts {
    std::vector<SignatureFacts> signatures; // in the order of the field tree
    bool javaScript = false;                // a field's own or its widgets' actions run scripts
};

// The fields of acroForm (the catalog's /AcroForm, resolved) up to kMaxFormFields. store gives
// the objects as the document is read; rawStore, for an encrypted file, as the file stands: the
// signature blobs are left in clear there. source is the file the signatures cover.
FormFacts ReadFormFields(ObjectStore& store, ObjectStore* rawStore, const ByteSource& source,
                         const PdfObject& acroForm);

// The facts of one signature dictionary (a field's /V, resolved); contents is its /Contents
// as the file holds it.
SignatureFacts ReadSignature(const PdfObject& signature, const std::string& contents,
                             const ByteSource& source);
