#include "app/Language.h"

#include <QCoreApplication>
#include <QLocale>
#include <QTranslator>

namespace wizard {

void installLanguage() {
    static QTranslator translator;
    QCoreApplication::removeTranslator(&translator);
    if (translator.load(QLocale(), QStringLiteral("font-reviser"), QStringLiteral("_"),
                        QStringLiteral(":/translations")))
        QCoreApplication::installTranslator(&translator);
}

}  // namespace wizard
