#include "app/listlocale.h"

#include "app/sorting.h"

#include <QCollator>
#include <QLocale>
#include <QString>

namespace {

const QCollator& Collator() {
    static const QCollator collator = [] {
        QCollator c(QLocale::system());
        c.setCaseSensitivity(Qt::CaseSensitive);
        return c;
    }();
    return collator;
}

QString FromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

} // namespace

std::vector<size_t> SortRowsByLocale(std::vector<ListRow>& rows, int sortColumn) {
    const QCollator& collator = Collator();
    return SortRowsBy(rows, sortColumn, FromUtf8,
                      [&](const QString& a, const QString& b) { return collator.compare(a, b); });
}

CellFormat LocaleCellFormat() {
    return {QLocale::system().groupSeparator().toStdString()};
}
