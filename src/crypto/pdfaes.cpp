// SPDX-License-Identifier: GPL-3.0-or-later
#include "crypto/pdfaes.h"

#include <openssl/evp.h>

#include <memory>

namespace {

using CipherContext = std::unique_ptr<EVP_CIPHER_CTX, decltype(&EVP_CIPHER_CTX_free)>;
using DigestContext = std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)>;

// The algorithms are looked up once: the revision 6 hash runs a cipher and a digest at least
// 64 times per password tried, and each implicit look-up costs more than a short digest.
const EVP_MD* Sha(int bits) {
    static const EVP_MD* const sha256 = EVP_MD_fetch(nullptr, "SHA256", nullptr);
    static const EVP_MD* const sha384 = EVP_MD_fetch(nullptr, "SHA384", nullptr);
    static const EVP_MD* const sha512 = EVP_MD_fetch(nullptr, "SHA512", nullptr);
    return bits == 256 ? sha256 : bits == 384 ? sha384 : sha512;
}

const EVP_CIPHER* CbcCipher(size_t keyBytes) {
    static const EVP_CIPHER* const aes128 = EVP_CIPHER_fetch(nullptr, "AES-128-CBC", nullptr);
    static const EVP_CIPHER* const aes256 = EVP_CIPHER_fetch(nullptr, "AES-256-CBC", nullptr);
    return keyBytes == 16 ? aes128 : keyBytes == 32 ? aes256 : nullptr;
}

std::string Digest(EVP_MD_CTX* ctx, const EVP_MD* md, std::string_view data) {
    unsigned char out[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (md == nullptr || EVP_DigestInit_ex(ctx, md, nullptr) != 1 ||
        EVP_DigestUpdate(ctx, data.data(), data.size()) != 1 ||
        EVP_DigestFinal_ex(ctx, out, &length) != 1)
        return {};
    return std::string(reinterpret_cast<const char*>(out), length);
}

std::string Digest(const EVP_MD* md, std::string_view data) {
    DigestContext ctx(EVP_MD_CTX_new(), EVP_MD_CTX_free);
    return ctx ? Digest(ctx.get(), md, data) : std::string();
}

std::optional<std::string> AesCbc(EVP_CIPHER_CTX* ctx, bool encrypt, std::string_view key,
                                  std::string_view iv, std::string_view data) {
    const EVP_CIPHER* cipher = CbcCipher(key.size());
    if (cipher == nullptr || iv.size() != 16 || data.size() % 16 != 0)
        return std::nullopt;
    std::string out(data.size() + 16, '\0');
    int written = 0, last = 0;
    const auto* k = reinterpret_cast<const unsigned char*>(key.data());
    const auto* v = reinterpret_cast<const unsigned char*>(iv.data());
    auto* o = reinterpret_cast<unsigned char*>(out.data());
    if (ctx == nullptr || EVP_CipherInit_ex(ctx, cipher, nullptr, k, v, encrypt ? 1 : 0) != 1 ||
        EVP_CIPHER_CTX_set_padding(ctx, 0) != 1 ||
        EVP_CipherUpdate(ctx, o, &written, reinterpret_cast<const unsigned char*>(data.data()),
                         int(data.size())) != 1 ||
        EVP_CipherFinal_ex(ctx, o + written, &last) != 1)
        return std::nullopt;
    out.resize(size_t(written + last));
    return out;
}

std::optional<std::string> AesCbc(bool encrypt, std::string_view key, std::string_view iv,
                                  std::string_view data) {
    CipherContext ctx(EVP_CIPHER_CTX_new(), EVP_CIPHER_CTX_free);
    return AesCbc(ctx.get(), encrypt, key, iv, data);
}

} // namespace

std::string Sha256(std::string_view data) {
    return Digest(Sha(256), data);
}

std::optional<std::string> AesCbcDecrypt(std::string_view key, std::string_view iv,
                                         std::string_view data) {
    return AesCbc(false, key, iv, data);
}

std::optional<std::string> AesDecryptString(std::string_view key, std::string_view data) {
    // At least the IV and one block: even an empty string is written as one block of padding.
    if (data.size() < 32)
        return std::nullopt;
    std::optional<std::string> plain = AesCbcDecrypt(key, data.substr(0, 16), data.substr(16));
    if (!plain)
        return std::nullopt;
    const size_t pad = uint8_t(plain->back());
    if (pad < 1 || pad > 16)
        return std::nullopt;
    for (size_t k = plain->size() - pad; k < plain->size(); ++k)
        if (uint8_t((*plain)[k]) != pad)
            return std::nullopt;
    plain->resize(plain->size() - pad);
    return plain;
}

std::string HashR5(std::string_view password, std::string_view salt, std::string_view userKey) {
    return Sha256(std::string(password).append(salt).append(userKey));
}

std::string HashR6(std::string_view password, std::string_view salt, std::string_view userKey) {
    std::string k = HashR5(password, salt, userKey);
    std::string block, k1;
    CipherContext cipher(EVP_CIPHER_CTX_new(), EVP_CIPHER_CTX_free);
    DigestContext digest(EVP_MD_CTX_new(), EVP_MD_CTX_free);
    if (!cipher || !digest)
        return {};
    for (int round = 0;; ++round) {
        block.assign(password).append(k).append(userKey); // K whole: 32, 48 or 64 bytes
        k1.clear();
        k1.reserve(block.size() * 64);
        for (int copy = 0; copy < 64; ++copy)
            k1 += block;
        const std::optional<std::string> e =
            AesCbc(cipher.get(), true, std::string_view(k).substr(0, 16),
                   std::string_view(k).substr(16, 16), k1);
        if (!e)
            return {};
        // The first 16 bytes as a big number modulo 3: 256 is 1 modulo 3, so the sum of the
        // bytes has the same remainder.
        unsigned sum = 0;
        for (int i = 0; i < 16; ++i)
            sum += uint8_t((*e)[size_t(i)]);
        k = Digest(digest.get(), Sha(sum % 3 == 0 ? 256 : sum % 3 == 1 ? 384 : 512), *e);
        // At least 64 rounds; then until the last byte of E is no greater than the round
        // number (counted from one) less 32.
        if (round >= 63 && uint8_t(e->back()) <= round + 1 - 32)
            break;
    }
    k.resize(32);
    return k;
}
