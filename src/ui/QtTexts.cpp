#include "QtTexts.h"

#include "TextTable.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

bool UseQtTexts(int shellLang) {
    static QTranslator* installed = nullptr;
    if (installed) {
        QCoreApplication::removeTranslator(installed);
        delete installed;
        installed = nullptr;
    }
    if (shellLang != LangRussian) return true;
    auto* translator = new QTranslator;
    if (!translator->load(QStringLiteral("qtbase_ru"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    QCoreApplication::installTranslator(translator);
    installed = translator;
    return true;
}
