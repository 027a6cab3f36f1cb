#include "app/listlocale.h"

#include <QCollator>
#include <QLocale>
#include <QString>

int LocaleCompare(const std::string& a, const std::string& b) {
    static const QCollator collator = [] {
        QCollator c(QLocale::system());
        c.setCaseSensitivity(Qt::CaseSensitive);
        return c;
    }();
    return collator.compare(QString::fromUtf8(a.data(), qsizetype(a.size())),
                            QString::fromUtf8(b.data(), qsizetype(b.size())));
}

CellFormat LocaleCellFormat() {
    return {QLocale::system().groupSeparator().toStdString()};
}
