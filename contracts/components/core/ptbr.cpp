#include "ptbr.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

QLocale brazilianLocale()
{
    return QLocale(QLocale::Portuguese, QLocale::Brazil);
}

void installBrazilianLocale()
{
    QLocale::setDefault(brazilianLocale());
    const QString dir = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    for (const char *name : {"qtbase_pt_BR", "qt_pt_BR"}) {
        auto *translator = new QTranslator(QCoreApplication::instance());
        if (translator->load(QString::fromLatin1(name), dir))
            QCoreApplication::installTranslator(translator);
        else
            delete translator;
    }
}
