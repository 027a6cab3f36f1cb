#include "crypto/pdfenc.h"

#include "common/bytestream.h"
#include "crypto/PDFRC4.h"
#include "crypto/md5.h"

#include <algorithm>
#include <cstring>

const Bytes32 PasswordPad = {0x28, 0xBF, 0x4E, 0x5E, 0x4E, 0x75, 0x8A, 0x41, 0x64, 0x00, 0x4E,
                             0x56, 0xFF, 0xFA, 0x01, 0x08, 0x2E, 0x2E, 0x00, 0xB6, 0xD0, 0x68,
                             0x3E, 0x80, 0x2F, 0x0C, 0xA9, 0xFE, 0x64, 0x53, 0x69, 0x7A};

namespace {

bool Is40Bit(int32_t keyLength) {
    return keyLength == 40;
}

// Bytes of the file key that take part in hashing and encryption.
int FileKeyBytes(int32_t keyLength) {
    return Is40Bit(keyLength) ? 5 : 16;
}

void Rc4InPlace(const uint8_t* key, int keyLength, uint8_t* data, int64_t count) {
    Rc4State state;
    Rc4Setup(state, key, keyLength, 0);
    Rc4Apply(state, data, count);
}

// The 128-bit variant strengthens a digest by hashing it again fifty times.
Bytes16 Rehash50(Bytes16 digest) {
    for (int round = 0; round < 50; ++round) {
        const Bytes16 previous = digest;
        Md5OfString(std::string_view(reinterpret_cast<const char*>(previous.data()), 16), digest);
    }
    return digest;
}

Bytes16 XorEach(const Bytes16& key, int value) {
    Bytes16 result;
    for (size_t k = 0; k < key.size(); ++k)
        result[k] = uint8_t(key[k] ^ value);
    return result;
}

Bytes16 ComputeFileKey(const Bytes32& padded, const Bytes32& O, int32_t P, const Bytes16* id,
                       int32_t keyLength) {
    const uint32_t p = uint32_t(P) & ~uint32_t(3);
    const uint8_t pBytes[4] = {uint8_t(p), uint8_t(p >> 8), uint8_t(p >> 16), uint8_t(p >> 24)};
    Md5State state{};
    Md5Start(state);
    Md5Feed(state, padded.data(), padded.size());
    Md5Feed(state, O.data(), O.size());
    Md5Feed(state, pBytes, sizeof pBytes);
    if (id != nullptr)
        Md5Feed(state, id->data(), id->size());
    Bytes16 key;
    Md5Finish(state, key);
    return Is40Bit(keyLength) ? key : Rehash50(key);
}

std::string ComputeU40(const Bytes16& fileKey) {
    Bytes32 u = PasswordPad;
    Rc4InPlace(fileKey.data(), 5, u.data(), int64_t(u.size()));
    return std::string(u.begin(), u.end());
}

std::string ComputeU128(const Bytes16& fileKey, const Bytes16* id) {
    Md5State state{};
    Md5Start(state);
    Md5Feed(state, PasswordPad.data(), PasswordPad.size());
    if (id != nullptr)
        Md5Feed(state, id->data(), id->size());
    Bytes16 u;
    Md5Finish(state, u);
    for (int i = 0; i <= 19; ++i)
        Rc4InPlace(XorEach(fileKey, i).data(), 16, u.data(), int64_t(u.size()));
    return std::string(u.begin(), u.end());
}

// Compares as many bytes as the variant computes: 32, or the first 16 of the 128-bit U.
bool MatchesU(const std::string& computed, const Bytes32& U) {
    return std::memcmp(computed.data(), U.data(), computed.size()) == 0;
}

bool TryPaddedPassword(const Bytes32& padded, const Bytes32& O, const Bytes16& id, const Bytes32& U,
                       int32_t P, int32_t keyLength, Bytes16& fileKey) {
    const KeyAndU computed = ComputeKeyAndU(padded, O, P, &id, keyLength);
    if (!MatchesU(computed.u, U))
        return false;
    fileKey = computed.fileKey;
    return true;
}

} // namespace

Bytes32 PadPassword(const std::string& password) {
    const auto blank = [](char c) { return uint8_t(c) <= 0x20; };
    const auto first = std::find_if_not(password.begin(), password.end(), blank);
    const auto last = std::find_if_not(password.rbegin(), password.rend(), blank).base();
    const size_t length = first < last ? std::min<size_t>(size_t(last - first), 32) : 0;
    Bytes32 padded;
    std::copy_n(first, length, padded.begin());
    std::copy_n(PasswordPad.begin(), 32 - length, padded.begin() + length);
    return padded;
}

KeyAndU ComputeKeyAndU(const Bytes32& paddedPassword, const Bytes32& O, int32_t P,
                       const Bytes16* id, int32_t keyLength) {
    KeyAndU result;
    result.fileKey = ComputeFileKey(paddedPassword, O, P, id, keyLength);
    result.u = Is40Bit(keyLength) ? ComputeU40(result.fileKey) : ComputeU128(result.fileKey, id);
    return result;
}

Bytes32 DecryptOwnerEntry(const std::string& password, const Bytes32& O, int32_t keyLength) {
    const Bytes32 padded = PadPassword(password);
    Bytes16 digest;
    Md5OfString(std::string_view(reinterpret_cast<const char*>(padded.data()), 32), digest);
    Bytes32 user = O;
    if (Is40Bit(keyLength)) {
        Rc4InPlace(digest.data(), 5, user.data(), int64_t(user.size()));
        return user;
    }
    digest = Rehash50(digest);
    for (int i = 19; i >= 0; --i)
        Rc4InPlace(XorEach(digest, i).data(), 16, user.data(), int64_t(user.size()));
    return user;
}

bool CheckEmptyUserPassword(const Bytes32& O, const Bytes16& id, const Bytes32& U, int32_t P,
                            int32_t keyLength, Bytes16& fileKey) {
    return TryPaddedPassword(PasswordPad, O, id, U, P, keyLength, fileKey);
}

int CheckPassword(const std::string& password, const Bytes32& O, const Bytes16& id,
                  const Bytes32& U, int32_t P, int32_t keyLength, Bytes16& fileKey) {
    // The owner test comes first, so a password that is both counts as the owner's.
    const Bytes32 ownerCandidate = DecryptOwnerEntry(password, O, keyLength);
    if (TryPaddedPassword(ownerCandidate, O, id, U, P, keyLength, fileKey))
        return 1;
    if (TryPaddedPassword(PadPassword(password), O, id, U, P, keyLength, fileKey))
        return 2;
    return -1;
}

Bytes16 ComputeObjectKey(const Bytes16& fileKey, int32_t objectNumber, int32_t generation,
                         int32_t keyLength) {
    const uint32_t obj = uint32_t(objectNumber);
    const uint32_t gen = uint32_t(generation);
    const uint8_t ref[5] = {uint8_t(obj), uint8_t(obj >> 8), uint8_t(obj >> 16), uint8_t(gen),
                            uint8_t(gen >> 8)};
    Md5State state{};
    Md5Start(state);
    Md5Feed(state, fileKey.data(), size_t(FileKeyBytes(keyLength)));
    Md5Feed(state, ref, sizeof ref);
    Bytes16 digest;
    Md5Finish(state, digest);
    return digest;
}

void DecryptObjectData(const Bytes16& fileKey, int32_t objectNumber, int32_t generation,
                       ByteStream* source, ByteStream* destination, int32_t keyLength,
                       int64_t count, int64_t offset) {
    if (source != nullptr && count >= 0 && offset != 0)
        source->Seek(source->Position() + offset);
    // The strings of one dictionary are all decrypted with its object's key: the key and the
    // cipher state it starts from are kept for the thread's next call.
    struct Scheduled {
        Bytes16 fileKey{};
        int32_t objectNumber = 0, generation = 0, keyLength = -1;
        Rc4State start;
    };
    thread_local Scheduled last;
    if (last.keyLength != keyLength || last.objectNumber != objectNumber ||
        last.generation != generation || last.fileKey != fileKey) {
        const Bytes16 objectKey = ComputeObjectKey(fileKey, objectNumber, generation, keyLength);
        // The object key is the file key's length plus the five reference bytes, at most 16.
        const int rc4KeyLength = Is40Bit(keyLength) ? 10 : 16;
        Rc4Setup(last.start, objectKey.data(), rc4KeyLength, 0);
        last.fileKey = fileKey;
        last.objectNumber = objectNumber;
        last.generation = generation;
        last.keyLength = keyLength;
    }
    Rc4State state = last.start;
    Rc4ApplyStream(state, source, destination, count);
}
