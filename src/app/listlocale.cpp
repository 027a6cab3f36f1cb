// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/listlocale.h"

#include "app/sorting.h"

#include <unicode/ucol.h>
#include <unicode/uloc.h>
#include <unicode/unum.h>
#include <unicode/ustring.h>

#include <cstdlib>
#include <memory>
#include <string_view>

// The collation comes from ICU itself rather than through Qt Core, so that the command-line
// lister need not load Qt: its start took 4.0 ms with Qt Core and its libraries, 1.9 ms without.

namespace {

// The locale named by the environment for category, as the C library would take it: LC_ALL,
// then the category's own variable, then LANG. The codeset and modifier are dropped
// ("de_DE.UTF-8" is "de_DE"). The C and POSIX locales, and languages ICU does not know, have
// no collation or numbers of their own; there the list goes as Japanese does, which orders
// Latin letters alphabetically and kana by their reading, and groups digits by commas.
std::string LocaleFor(const char* category) {
    std::string_view name;
    for (const char* variable : {"LC_ALL", category, "LANG"})
        if (const char* value = std::getenv(variable); value && *value) {
            name = value;
            break;
        }
    name = name.substr(0, name.find_first_of(".@"));
    const std::string id(name);
    if (id.empty() || id == "C" || id == "POSIX")
        return "ja_JP";
    char language[ULOC_LANG_CAPACITY] = {};
    UErrorCode status = U_ZERO_ERROR;
    uloc_getLanguage(id.c_str(), language, sizeof language, &status);
    if (U_FAILURE(status) || !*uloc_getISO3Language(language))
        return "ja_JP";
    return id;
}

// The collation follows the locale of the messages, the one Qt takes for the window.
const std::string& CollationLocale() {
    static const std::string locale = LocaleFor("LC_MESSAGES");
    return locale;
}

struct CollatorClose {
    void operator()(UCollator* c) const { ucol_close(c); }
};
using Collator = std::unique_ptr<UCollator, CollatorClose>;

Collator MakeCollator(const std::string& locale) {
    UErrorCode status = U_ZERO_ERROR;
    Collator c(ucol_open(locale.c_str(), &status));
    if (U_FAILURE(status))
        c.reset(ucol_open("", &(status = U_ZERO_ERROR))); // the root collation
    // Canonically equivalent texts (a letter and its accent apart or composed) collate alike.
    // Case is left to the locale's own strength: letters decide first, case only between texts
    // that are otherwise equal.
    ucol_setAttribute(c.get(), UCOL_NORMALIZATION_MODE, UCOL_ON, &status);
    return c;
}

int Compare(const UCollator* c, std::string_view a, std::string_view b) {
    UErrorCode status = U_ZERO_ERROR;
    return ucol_strcollUTF8(c, a.data(), int32_t(a.size()), b.data(), int32_t(b.size()),
                            &status);
}

} // namespace

std::vector<size_t> SortRowsByLocale(std::vector<ListRow>& rows, int sortColumn) {
    // The collator of the thread that sorts; a sort's helper thread makes its own.
    static const Collator collator = MakeCollator(CollationLocale());
    return SortRowsBy(
        rows, sortColumn, [](std::string_view text) { return text; },
        [c = collator.get()](std::string_view a, std::string_view b) { return Compare(c, a, b); },
        [] {
            return [own = MakeCollator(CollationLocale())](std::string_view a, std::string_view b) {
                return Compare(own.get(), a, b);
            };
        });
}

CellFormat LocaleCellFormat() {
    UErrorCode status = U_ZERO_ERROR;
    UNumberFormat* format =
        unum_open(UNUM_DECIMAL, nullptr, 0, LocaleFor("LC_NUMERIC").c_str(), nullptr, &status);
    UChar symbol[16] = {};
    const int32_t length =
        unum_getSymbol(format, UNUM_GROUPING_SEPARATOR_SYMBOL, symbol, 16, &status);
    unum_close(format);
    char utf8[64] = {};
    int32_t written = 0;
    u_strToUTF8(utf8, sizeof utf8, &written, symbol, length, &status);
    return {U_SUCCESS(status) ? std::string(utf8, size_t(written)) : std::string(",")};
}
