// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace talvesk {

namespace {

// The kinds the file dialog's list shows. Qt 6 asks for them under a context that its shipped
// Chinese catalogue does not have yet, so they stayed English.
class FileKindTranslator final : public QTranslator
{
public:
    using QTranslator::QTranslator;

    bool isEmpty() const override { return false; }

    QString translate(const char *context, const char *sourceText, const char * /*disambiguation*/,
                      int /*n*/) const override
    {
        if (qstrcmp(context, "QAbstractFileIconProvider") != 0)
            return {};
        const struct
        {
            const char *english;
            const char *chinese;
        } kinds[] = {{"Folder", "文件夹"}, {"Drive", "驱动器"}, {"Unknown", "未知"}};
        for (const auto &kind : kinds) {
            if (qstrcmp(sourceText, kind.english) == 0)
                return QString::fromUtf8(kind.chinese);
        }
        return {};
    }
};

} // namespace

bool installQtChineseTranslations(QCoreApplication &app)
{
    // Dates and numbers Qt writes for the user (the file dialog's list) read as the words do.
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    QCoreApplication::installTranslator(new FileKindTranslator(&app));

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
