#include "QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace dialogs {

bool installChineseQtTexts(QCoreApplication& application)
{
    auto* translator = new QTranslator(&application);
    if (!translator->load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    // Dates, sizes and the names of file types in the file dialog follow the locale.
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    return QCoreApplication::installTranslator(translator);
}

}  // namespace dialogs
