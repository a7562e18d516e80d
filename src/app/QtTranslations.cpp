#include "app/QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace talvesk {

bool installQtChineseTranslations(QCoreApplication &app)
{
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    bool allLoaded = true;
    // qtbase: dialogs and buttons; qtwebengine: the page's context menu.
    for (const QString &catalogue : {QStringLiteral("qtbase_zh_CN"), QStringLiteral("qtwebengine_zh_CN")}) {
        auto *translator = new QTranslator(&app);
        if (!translator->load(catalogue, folder) || !QCoreApplication::installTranslator(translator)) {
            delete translator;
            allLoaded = false;
        }
    }
    return allLoaded;
}

} // namespace talvesk
