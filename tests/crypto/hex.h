// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Hexadecimal helpers for the crypto tests' tables.

#include <cstdint>
#include <string>

inline std::string FromHex(const std::string& hex) {
    std::string bytes;
    for (size_t k = 0; k + 1 < hex.size(); k += 2)
        bytes.push_back(char(std::stoi(hex.substr(k, 2), nullptr, 16)));
    return bytes;
}

inline std::string ToHex(const uint8_t* bytes, size_t count) {
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (size_t k = 0; k < count; ++k) {
        hex.push_back(digits[bytes[k] >> 4]);
        hex.push_back(digits[bytes[k] & 15]);
    }
    return hex;
}

template <class Container> std::string ToHex(const Container& bytes) {
    return ToHex(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}
