// Pagewick: the PDF files of a folder with the properties stored inside them.

#include "app/Unit1.h"
#include "app/translations.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Pagewick"));
    LoadJapaneseQtTranslations(app);
    TForm1 window;
    window.show();
    return app.exec();
}
