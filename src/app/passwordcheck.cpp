// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/passwordcheck.h"

#include "jtext/compatform.h"
#include "jtext/cp932.h"
#include "jtext/junicode.h"

bool PasswordUsable(std::string_view password) {
    const auto code = DecodeUtf8(password);
    if (!code)
        return false;
    for (const char32_t c : *code)
        if ((c < 0x20 && c != '\r' && c != '\n') || (c >= 0x7F && c <= 0x9F))
            return false;
    return true;
}

std::string PasswordProblem(std::string_view password) {
    if (!PasswordUsable(password))
        return "Error:パスワードは英数字のみです。記号、日本語（２バイト文字は使えません。）";
    std::string outside;
    std::u32string seen;
    const std::u32string code = *DecodeUtf8(password); // well-formed: PasswordUsable says so
    for (const char32_t c : code) {
        std::string one;
        AppendUtf8(one, c);
        if (c == '?' || Utf8ToCp932(one) != "?" || seen.find(c) != std::u32string::npos)
            continue;
        seen.push_back(c);
        outside += one;
    }
    if (outside.empty())
        return {};
    return "パスワードの「" + outside +
           "」は、RC4 と AES-128 で暗号化された文書のパスワードには使えない文字です"
           "（AES-256 の文書には使えます）。";
}
