// SPDX-License-Identifier: GPL-3.0-or-later
#include "crypto/standardsecurity.h"

#include "crypto/md5.h"
#include "crypto/pdfaes.h"
#include "crypto/rc4.h"
#include "crypto/saslprep.h"

#include <algorithm>
#include <optional>

const Bytes32 PasswordPad = {0x28, 0xBF, 0x4E, 0x5E, 0x4E, 0x75, 0x8A, 0x41, 0x64, 0x00, 0x4E,
                             0x56, 0xFF, 0xFA, 0x01, 0x08, 0x2E, 0x2E, 0x00, 0xB6, 0xD0, 0x68,
                             0x3E, 0x80, 0x2F, 0x0C, 0xA9, 0xFE, 0x64, 0x53, 0x69, 0x7A};

namespace {

std::string_view View(const Bytes32& bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

std::string LittleEndian32(uint32_t value) {
    return {char(value), char(value >> 8), char(value >> 16), char(value >> 24)};
}

std::string Md5(std::string_view bytes) {
    Md5Digest digest;
    Md5OfString(bytes, digest);
    return std::string(digest.begin(), digest.end());
}

void Rc4InPlace(std::string_view key, std::string& data) {
    Rc4State state;
    Rc4Setup(state, reinterpret_cast<const uint8_t*>(key.data()), int(key.size()));
    Rc4Apply(state, reinterpret_cast<uint8_t*>(data.data()), int64_t(data.size()));
}

// RC4 over data with each byte of key XORed with value, as revision 3 and later pass over
// their entries 19 more times. Only a key's first 256 bytes take part in RC4.
void Rc4WithXoredKey(std::string_view key, int value, std::string& data) {
    std::array<uint8_t, 256> xored;
    const size_t n = std::min(key.size(), xored.size());
    for (size_t i = 0; i < n; ++i)
        xored[i] = uint8_t(uint8_t(key[i]) ^ value);
    Rc4InPlace(std::string_view(reinterpret_cast<const char*>(xored.data()), n), data);
}

// The first n bytes of digest (n at most 16) as bytes to hash or to key RC4 with.
std::string_view Prefix(const Md5Digest& digest, size_t n) {
    return std::string_view(reinterpret_cast<const char*>(digest.data()), n);
}

// MD5 of the first n bytes of digest, 50 times over (revision 3 and later).
void Rehash50Times(Md5Digest& digest, size_t n) {
    for (int round = 0; round < 50; ++round) {
        const Md5Digest input = digest;
        Md5OfString(Prefix(input, n), digest);
    }
}

// The crypt filter a /StrF or /StmF entry names; nothing for a filter this handler does not
// know.
std::optional<CryptMethod> FilterMethod(const EncryptionParams& params, const std::string& name) {
    if (params.V < 4)
        return CryptMethod::RC4;
    if (name.empty() || name == "Identity")
        return CryptMethod::Identity;
    const auto filter = params.CryptFilters.find(name);
    if (filter == params.CryptFilters.end())
        return std::nullopt;
    const std::string& cfm = filter->second;
    if (cfm == "V2")
        return CryptMethod::RC4;
    if (cfm == "AESV2")
        return CryptMethod::AESV2;
    if (cfm == "AESV3")
        return CryptMethod::AESV3;
    if (cfm.empty() || cfm == "None")
        return CryptMethod::Identity;
    return std::nullopt;
}

bool IsAes256(const EncryptionParams& params) {
    return params.R >= 5;
}

// Revision 2 keeps to five-byte keys and a single RC4 pass. A dictionary without R is judged
// by its key length, as the only such files were written before R3 existed.
bool IsRevision2(const EncryptionParams& params) {
    return params.R == 2 || (params.R < 2 && params.Length == 40);
}

// The U value's first 16 bytes are all revisions 3 and 4 define; the rest is arbitrary.
bool MatchesU(const std::string& computed, const std::string& U) {
    return U.size() >= computed.size() && U.compare(0, computed.size(), computed) == 0;
}

bool TryPaddedPassword(const Bytes32& padded, const EncryptionParams& params,
                       std::string& fileKey) {
    std::string key = ComputeFileKey(padded, params);
    if (!MatchesU(ComputeU(key, params), params.U))
        return false;
    fileKey = std::move(key);
    return true;
}

// Revisions 5 and 6: validation salt at 32, key salt at 40 of U and O.
std::string AesHash(const EncryptionParams& params, std::string_view password,
                    std::string_view salt, std::string_view userKey) {
    return params.R == 5 ? HashR5(password, salt, userKey) : HashR6(password, salt, userKey);
}

bool TryAesPassword(const std::string& prepared, const EncryptionParams& params, bool owner,
                    std::string& fileKey) {
    const std::string_view entry = owner ? params.O : params.U;
    const std::string_view encryptedKey = owner ? params.OE : params.UE;
    if (entry.size() < 48 || params.U.size() < 48 || encryptedKey.size() < 32)
        return false;
    const std::string_view userKey = owner ? std::string_view(params.U).substr(0, 48) : "";
    if (AesHash(params, prepared, entry.substr(32, 8), userKey) != entry.substr(0, 32))
        return false;
    const std::string intermediate = AesHash(params, prepared, entry.substr(40, 8), userKey);
    std::optional<std::string> key =
        AesCbcDecrypt(intermediate, std::string(16, '\0'), encryptedKey.substr(0, 32));
    if (!key)
        return false;
    fileKey = std::move(*key);
    return true;
}

} // namespace

CryptMethod StringMethod(const EncryptionParams& params) {
    return FilterMethod(params, params.StrF).value_or(CryptMethod::Identity);
}

CryptMethod StreamMethod(const EncryptionParams& params) {
    return FilterMethod(params, params.StmF).value_or(CryptMethod::Identity);
}

const char* MethodName(CryptMethod method) {
    switch (method) {
    case CryptMethod::RC4:
        return "RC4";
    case CryptMethod::AESV2:
        return "AESV2";
    case CryptMethod::AESV3:
        return "AESV3";
    case CryptMethod::Identity:
        break;
    }
    return "Identity";
}

bool IsSupported(const EncryptionParams& params) {
    if (params.Filter != "Standard" || params.R < 2 || params.R > 6)
        return false;
    // Object streams and metadata are streams: both methods must be known.
    const std::optional<CryptMethod> strings = FilterMethod(params, params.StrF);
    if (!strings || !FilterMethod(params, params.StmF))
        return false;
    if (IsAes256(params))
        return params.V == 5 &&
               (*strings == CryptMethod::AESV3 || *strings == CryptMethod::Identity);
    return params.V <= 4 && *strings != CryptMethod::AESV3;
}

int FileKeyBytes(const EncryptionParams& params) {
    if (IsAes256(params))
        return 32;
    if (StringMethod(params) == CryptMethod::AESV2)
        return 16;
    if (IsRevision2(params))
        return 5;
    return std::clamp(params.Length / 8, 5, 16);
}

int32_t KeyLengthBits(const EncryptionParams& params) {
    return 8 * FileKeyBytes(params);
}

Bytes32 PadPassword(const std::string& password) {
    const size_t length = std::min<size_t>(password.size(), 32);
    Bytes32 padded;
    std::copy_n(password.begin(), length, padded.begin());
    std::copy_n(PasswordPad.begin(), 32 - length, padded.begin() + length);
    return padded;
}

std::string ComputeFileKey(const Bytes32& paddedPassword, const EncryptionParams& params) {
    const size_t n = size_t(FileKeyBytes(params));
    std::string input(View(paddedPassword));
    input += params.O.substr(0, 32);
    input += LittleEndian32(uint32_t(params.P));
    input += params.ID;
    if (params.R >= 4 && !params.EncryptMetadata)
        input += LittleEndian32(0xFFFFFFFF);
    Md5Digest key;
    Md5OfString(input, key);
    if (!IsRevision2(params))
        Rehash50Times(key, std::min(n, key.size()));
    std::string result(key.begin(), key.end());
    result.resize(n);
    return result;
}

std::string ComputeU(const std::string& fileKey, const EncryptionParams& params) {
    if (IsRevision2(params)) {
        std::string u(View(PasswordPad));
        Rc4InPlace(fileKey, u);
        return u;
    }
    std::string u = Md5(std::string(View(PasswordPad)) + params.ID);
    for (int i = 0; i <= 19; ++i)
        Rc4WithXoredKey(fileKey, i, u);
    return u;
}

Bytes32 DecryptOwnerEntry(const std::string& password, const EncryptionParams& params) {
    const size_t n = std::min(size_t(FileKeyBytes(params)), Md5Digest().size());
    Md5Digest digest;
    Md5OfString(View(PadPassword(password)), digest);
    std::string user = params.O.substr(0, 32);
    user.resize(32, '\0');
    if (IsRevision2(params)) {
        Rc4InPlace(Prefix(digest, 5), user);
    } else {
        // Each rehash takes the key's length only, as for the file key: with keys shorter than
        // 16 bytes this is what the writers do (Ghostscript's 40- and 96-bit revision 3 files).
        Rehash50Times(digest, n);
        for (int i = 19; i >= 0; --i)
            Rc4WithXoredKey(Prefix(digest, n), i, user);
    }
    Bytes32 result;
    std::copy_n(user.begin(), 32, result.begin());
    return result;
}

bool CheckEmptyUserPassword(const EncryptionParams& params, std::string& fileKey) {
    if (IsAes256(params))
        return TryAesPassword("", params, false, fileKey);
    return TryPaddedPassword(PasswordPad, params, fileKey);
}

int CheckPassword(const std::string& password, const EncryptionParams& params,
                  std::string& fileKey) {
    // The owner test comes first, so a password that is both counts as the owner's.
    if (IsAes256(params)) {
        const std::string prepared = PrepareAesPassword(password);
        if (TryAesPassword(prepared, params, true, fileKey))
            return 1;
        return TryAesPassword(prepared, params, false, fileKey) ? 2 : -1;
    }
    if (TryPaddedPassword(DecryptOwnerEntry(password, params), params, fileKey))
        return 1;
    if (TryPaddedPassword(PadPassword(password), params, fileKey))
        return 2;
    return -1;
}

bool PermsAgree(const EncryptionParams& params, const std::string& fileKey) {
    if (params.Perms.size() < 16 || fileKey.size() != 32)
        return false;
    // One block with a zero IV is the block alone.
    const std::optional<std::string> perms =
        AesCbcDecrypt(fileKey, std::string(16, '\0'), std::string_view(params.Perms).substr(0, 16));
    return perms && perms->compare(9, 3, "adb") == 0 &&
           perms->compare(0, 4, LittleEndian32(uint32_t(params.P))) == 0;
}

std::string DataKey(const EncryptionParams& params, const std::string& fileKey) {
    std::string key = fileKey;
    if (params.V == 4 && !key.empty() && key.size() < 16)
        key.resize(16, '\0');
    return key;
}

std::string ComputeObjectKey(const std::string& fileKey, int32_t objectNumber, int32_t generation,
                             CryptMethod method) {
    if (method == CryptMethod::AESV3)
        return fileKey;
    const uint32_t obj = uint32_t(objectNumber);
    const uint32_t gen = uint32_t(generation);
    std::string input = fileKey;
    input += {char(obj), char(obj >> 8), char(obj >> 16), char(gen), char(gen >> 8)};
    if (method == CryptMethod::AESV2)
        input += "sAlT";
    std::string key = Md5(input);
    key.resize(std::min<size_t>(fileKey.size() + 5, 16));
    return key;
}

StringDecryptor::StringDecryptor(CryptMethod method, std::string fileKey)
    : method_(method), fileKey_(std::move(fileKey)) {}

const std::string& StringDecryptor::ObjectKey(int32_t objectNumber, int32_t generation) {
    if (objectNumber != cachedObject_ || generation != cachedGeneration_ || cachedKey_.empty()) {
        cachedKey_ = ComputeObjectKey(fileKey_, objectNumber, generation, method_);
        cachedObject_ = objectNumber;
        cachedGeneration_ = generation;
        // The key schedule is most of RC4's cost for short strings: it is done once an object.
        if (method_ == CryptMethod::RC4)
            Rc4Setup(cachedSchedule_, reinterpret_cast<const uint8_t*>(cachedKey_.data()),
                     int(cachedKey_.size()));
    }
    return cachedKey_;
}

std::optional<std::string> StringDecryptor::Decrypt(std::string_view data, int32_t objectNumber,
                                                    int32_t generation) {
    switch (method_) {
    case CryptMethod::Identity:
        return std::string(data);
    case CryptMethod::RC4: {
        if (fileKey_.empty())
            return std::nullopt;
        ObjectKey(objectNumber, generation);
        Rc4State state = cachedSchedule_;
        std::string plain(data);
        Rc4Apply(state, reinterpret_cast<uint8_t*>(plain.data()), int64_t(plain.size()));
        return plain;
    }
    case CryptMethod::AESV2:
    case CryptMethod::AESV3:
        return AesDecryptString(ObjectKey(objectNumber, generation), data);
    }
    return std::nullopt;
}
