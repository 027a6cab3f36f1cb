// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// AES and SHA-2 for the standard security handler, on OpenSSL's libcrypto, and the password
// hashes of revisions 5 and 6 built from them.

#include <optional>
#include <string>
#include <string_view>

// SHA-256 of data.
std::string Sha256(std::string_view data);

// AES-CBC with a 16- or 32-byte key over whole blocks, without padding. Data that is not whole
// blocks, or a key of another length, gives nothing.
std::optional<std::string> AesCbcDecrypt(std::string_view key, std::string_view iv,
                                         std::string_view data);

// A string as PDF writes it with AES: the 16-byte IV, then whole blocks whose plain text ends
// in PKCS#7 padding. Gives the plain text without the padding, or nothing when the data is
// too short, not whole blocks, or its padding is not valid.
std::optional<std::string> AesDecryptString(std::string_view key, std::string_view data);

// The password hash of revision 5 (one SHA-256) and of revision 6 (the SHA-256/384/512
// rounds), both 32 bytes. password is at most 127 bytes of prepared UTF-8; userKey is the 48
// bytes of U when the owner password is hashed, else empty.
std::string HashR5(std::string_view password, std::string_view salt, std::string_view userKey);
std::string HashR6(std::string_view password, std::string_view salt, std::string_view userKey);
