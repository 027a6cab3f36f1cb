// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The security handler of one encrypted document: made once from its encryption dictionary and
// the password, it holds the key and the methods, and decrypts the data of each object with
// that object's own key. Nothing outside it sees the key.

#include "crypto/standardsecurity.h"
#include "pdf/documentinfo.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

struct PdfObject;

// The value a reference names (anything else is given back as it is).
using ResolveValue = std::function<PdfObject(const PdfObject&)>;

class SecurityHandler {
public:
    // dictionary: the /Encrypt dictionary, whose entries' references resolve follows; fileId:
    // the first string of the trailer's /ID. password is as typed (UTF-8; blanks are
    // characters); revisions 2 to 4 compare bytes, so its code page 932 form is tried first,
    // as Japanese writers encode it, then its UTF-8 bytes. lenientPassword: an empty typed
    // password that matches as the owner's or the user's opens the file as well.
    SecurityHandler(const PdfObject& dictionary, const ResolveValue& resolve,
                    const std::string& fileId, const std::string& password, bool lenientPassword);

    const EncryptionFacts& Facts() const { return facts_; }
    // Whether data can be decrypted: a handler this reader knows and a password that opens it.
    bool Opened() const { return opened_; }
    // What the reader lacks to open the file when the handler or a crypt filter is one it
    // does not know ("暗号化方式 /Adobe.PubSec"); empty when it knows them.
    const std::string& UnknownMethod() const { return unknownMethod_; }

    // The plain bytes of a string of object number n, generation g; empty when the data does
    // not decrypt (AES data whose padding is broken): that string is lost, nothing else.
    std::string DecryptString(std::string_view bytes, int64_t n, int32_t g) const;
    // The plain data of stream object n g with dictionary dict: a cross-reference stream, and
    // metadata the dictionary leaves in clear (/EncryptMetadata false), as they are.
    std::string DecryptStream(std::string data, int64_t n, int32_t g, const PdfObject& dict) const;

private:
    EncryptionParams params_;
    EncryptionFacts facts_;
    std::string unknownMethod_;
    bool opened_ = false;
    mutable StringDecryptor strings_, streams_;
};
