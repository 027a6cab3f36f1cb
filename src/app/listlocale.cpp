// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/listlocale.h"

#include "app/sorting.h"

#include <QCollator>
#include <QLocale>
#include <QString>

namespace {

// The locale the list collates by. The C and POSIX locales have no collation of their own
// (Qt then compares code points, so "B.pdf" would go before "a.pdf"); there the list collates
// as Japanese does, which orders Latin letters alphabetically and kana by their reading.
QLocale CollationLocale() {
    const QLocale system = QLocale::system();
    return system.language() == QLocale::C ? QLocale(QLocale::Japanese, QLocale::Japan) : system;
}

QCollator MakeCollator(const QLocale& locale) {
    QCollator c(locale);
    // Case sensitive at the collation's own strength: letters decide first, case only
    // between texts that are otherwise equal.
    c.setCaseSensitivity(Qt::CaseSensitive);
    return c;
}

// The collator of the thread that sorts and compares; a sort's helper thread makes its own.
const QCollator& Collator() {
    static const QCollator collator = MakeCollator(CollationLocale());
    return collator;
}

QString FromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

} // namespace

std::vector<size_t> SortRowsByLocale(std::vector<ListRow>& rows, int sortColumn) {
    const QCollator& collator = Collator();
    return SortRowsBy(
        rows, sortColumn, FromUtf8,
        [&collator](const QString& a, const QString& b) { return collator.compare(a, b); },
        // The helper's collator is made there, for the locale the caller's thread looked up.
        [locale = collator.locale()] {
            return [own = MakeCollator(locale)](const QString& a, const QString& b) {
                return own.compare(a, b);
            };
        });
}

int CompareByLocale(const std::string& a, const std::string& b) {
    return Collator().compare(FromUtf8(a), FromUtf8(b));
}

CellFormat LocaleCellFormat() {
    return {QLocale::system().groupSeparator().toStdString()};
}
