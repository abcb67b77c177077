#include "app/base/QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace vorlith {

void installQtChineseTranslations()
{
    static const bool installed = [] {
        auto* translator = new QTranslator(QCoreApplication::instance());
        if (!translator->load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
            delete translator;
            return false;
        }
        return QCoreApplication::installTranslator(translator);
    }();
    Q_UNUSED(installed);
}

} // namespace vorlith
