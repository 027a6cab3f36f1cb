// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The standard security handler as far as reading strings needs it: the password checks of
// every revision (2 to 6), the file key they unlock, and the per-object decryption of strings
// with RC4, AES-128 or AES-256. Nothing is ever encrypted or written.

#include "crypto/rc4.h"

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

using Bytes32 = std::array<uint8_t, 32>;

extern const Bytes32 PasswordPad;

// How the strings (or streams) of a document are encrypted.
enum class CryptMethod { Identity, RC4, AESV2, AESV3 };

// Everything the encryption dictionary and the trailer say about the encryption. Strings are
// counted byte strings of whatever length the file gives; nothing is cut or padded here.
struct EncryptionParams {
    std::string Filter;    // "Standard" for the standard security handler
    std::string SubFilter; // without the slash, as Filter
    int32_t V = 0;
    int32_t R = 0;
    int32_t Length = 40; // key length in bits; 40 when the dictionary has none
    int32_t P = 0;
    std::string O, U, OE, UE, Perms;
    // The crypt filters of /CF by name, each with its /CFM ("V2", "AESV2", "AESV3", "None").
    std::map<std::string, std::string> CryptFilters;
    std::string StrF, StmF; // the crypt filters named for strings and streams; empty: absent
    bool EncryptMetadata = true;
    std::string ID; // the first string of the trailer's /ID, whole; empty when there is none
};

// The method for strings, and for streams, that the parameters name. Versions 1 to 3 are RC4
// throughout; version 4 and 5 go through the crypt filters: an absent /StrF or /StmF, and
// /Identity, leave the data as it is. A filter that /CF does not define (or whose /CFM this
// handler does not know) names no method: IsSupported is then false, and these give Identity.
CryptMethod StringMethod(const EncryptionParams& params);
CryptMethod StreamMethod(const EncryptionParams& params);
// "RC4", "AESV2", "AESV3" or "Identity".
const char* MethodName(CryptMethod method);

// Whether the parameters describe something this handler can open: the standard filter,
// a revision from 2 to 6 that fits the version, and crypt filters it knows.
bool IsSupported(const EncryptionParams& params);

// The length of the file key in bytes: 5 for revision 2, Length/8 (5 to 16) for RC4 of
// revision 3 and 4, 16 for AES-128 and 32 for AES-256.
int FileKeyBytes(const EncryptionParams& params);
// The key length to show, in bits.
int32_t KeyLengthBits(const EncryptionParams& params);

// The password's bytes as typed (blanks are characters like any other), cut to 32 bytes or
// filled up from PasswordPad.
Bytes32 PadPassword(const std::string& password);

// Revisions 2 to 4: the file key a padded password gives, and the U value it implies (32
// bytes for revision 2, 16 for later ones, which only compare those).
std::string ComputeFileKey(const Bytes32& paddedPassword, const EncryptionParams& params);
std::string ComputeU(const std::string& fileKey, const EncryptionParams& params);

// Revisions 2 to 4: the candidate padded user password that the owner password unlocks from O.
Bytes32 DecryptOwnerEntry(const std::string& password, const EncryptionParams& params);

// On success the file key is written to fileKey; on failure fileKey is left untouched.
bool CheckEmptyUserPassword(const EncryptionParams& params, std::string& fileKey);

// -1 neither, 1 owner password, 2 user password. fileKey is written only on 1 or 2.
// Revisions 2 to 4 take the password's bytes as they are; revisions 5 and 6 take UTF-8 and
// prepare it (see PrepareAesPassword).
int CheckPassword(const std::string& password, const EncryptionParams& params,
                  std::string& fileKey);

// Revisions 5 and 6: whether /Perms, decrypted with the file key, confirms P. A file whose
// Perms disagree has been altered; it is still opened, as the strings decrypt all the same.
bool PermsAgree(const EncryptionParams& params, const std::string& fileKey);

// The key the data of objects is encrypted with, from the file key that a password check gave.
// A version 4 handler encrypts with 128 bits even when /Length asks for fewer: the file key,
// derived and checked against U at its own length (5 bytes for 40 bits), is extended with zero
// bytes to 16, so each object key is a whole MD5 digest. This is how the 40- and 48-bit RC4
// files of version 4 are written. Other versions use the file key as it is.
std::string DataKey(const EncryptionParams& params, const std::string& fileKey);

// The key for one object's data: MD5 of the file key, the object's reference and, for
// AES-128, "sAlT", cut to the file key's length plus five, at most 16 bytes. AES-256 uses the
// file key itself.
std::string ComputeObjectKey(const std::string& fileKey, int32_t objectNumber, int32_t generation,
                             CryptMethod method);

// Decrypts the strings of a document with one file key. The key of the object last asked for
// is kept, since a dictionary's strings come one after another.
class StringDecryptor {
public:
    StringDecryptor() = default;
    StringDecryptor(CryptMethod method, std::string fileKey);

    CryptMethod Method() const { return method_; }

    // The plain bytes of one string of the given object. AES data that is not whole blocks
    // after its IV, or whose padding is not valid, gives nothing: that string is unreadable,
    // the others are not affected.
    std::optional<std::string> Decrypt(std::string_view data, int32_t objectNumber,
                                       int32_t generation);

private:
    const std::string& ObjectKey(int32_t objectNumber, int32_t generation);

    CryptMethod method_ = CryptMethod::Identity;
    std::string fileKey_;
    int32_t cachedObject_ = -1, cachedGeneration_ = -1;
    std::string cachedKey_;
    Rc4State cachedSchedule_; // RC4 only: the cipher state right after the key schedule
};
