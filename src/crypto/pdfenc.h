#pragma once
// The standard security handler's RC4 algorithms, as far as reading information strings needs
// them. The variant is chosen by the key length alone: exactly 40 bits is the 40-bit variant,
// every other length the 128-bit variant with 16-byte keys.

#include <array>
#include <cstdint>
#include <string>

class ByteStream;

using Bytes32 = std::array<uint8_t, 32>;
using Bytes16 = std::array<uint8_t, 16>;

extern const Bytes32 PasswordPad;

// Trimmed of bytes <= 0x20 at both ends, cut to 32 bytes or filled up from PasswordPad.
Bytes32 PadPassword(const std::string& password);

struct KeyAndU {
    Bytes16 fileKey{};
    std::string u; // 32 bytes in the 40-bit variant, 16 in the 128-bit variant
};

// id may be null: then nothing is hashed for it.
KeyAndU ComputeKeyAndU(const Bytes32& paddedPassword, const Bytes32& O, int32_t P,
                       const Bytes16* id, int32_t keyLength);

// The candidate padded user password that the owner password unlocks from O.
Bytes32 DecryptOwnerEntry(const std::string& password, const Bytes32& O, int32_t keyLength);

// On success the file key is written to fileKey; on failure fileKey is left untouched.
bool CheckEmptyUserPassword(const Bytes32& O, const Bytes16& id, const Bytes32& U, int32_t P,
                            int32_t keyLength, Bytes16& fileKey);

// -1 neither, 1 owner password, 2 user password. fileKey is written only on 1 or 2.
int CheckPassword(const std::string& password, const Bytes32& O, const Bytes16& id,
                  const Bytes32& U, int32_t P, int32_t keyLength, Bytes16& fileKey);

Bytes16 ComputeObjectKey(const Bytes16& fileKey, int32_t objectNumber, int32_t generation,
                         int32_t keyLength);

// RC4 with the object key over stream data (see Rc4ApplyStream for source, destination and
// count). A non-zero offset with a non-negative count first advances the source by offset.
void DecryptObjectData(const Bytes16& fileKey, int32_t objectNumber, int32_t generation,
                       ByteStream* source, ByteStream* destination, int32_t keyLength,
                       int64_t count, int64_t offset);
