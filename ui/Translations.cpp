#include "ui/Translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace chengfan::ui {

namespace {

bool install(QCoreApplication& app, const QString& name) {
    auto* translator = new QTranslator(&app);
    if (!translator->load(QLocale(QLocale::Chinese, QLocale::China), name, QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}

}  // namespace

bool installChineseTranslations(QCoreApplication& app) {
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    const bool base = install(app, QStringLiteral("qtbase"));
    install(app, QStringLiteral("qtwebengine"));
    return base;
}

}  // namespace chengfan::ui
