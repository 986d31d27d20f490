#include "Language.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QLoggingCategory>
#include <QTranslator>

Q_LOGGING_CATEGORY(lcLanguage, "velmora.language")

namespace Velmora {

namespace {
// Qt's widgets, print dialogs and message boxes all take their words from qtbase.
const char *const catalogs[] = {"qtbase"};
} // namespace

QString Language::translationsPath()
{
    return QLibraryInfo::path(QLibraryInfo::TranslationsPath);
}

QList<QTranslator *> &Language::installed()
{
    static QList<QTranslator *> translators;
    return translators;
}

Language::Installed Language::install(const QString &name)
{
    Installed result;
    const QLocale locale(name);
    QLocale::setDefault(locale);
    for (QTranslator *old : installed()) {
        QCoreApplication::removeTranslator(old);
        delete old;
    }
    installed().clear();
    if (locale.language() == QLocale::C && name != QLatin1String("C")) {
        result.missing << name;
        qCWarning(lcLanguage, "O idioma '%s' não é conhecido: as janelas do Qt ficam em inglês.",
                  qUtf8Printable(name));
        return result;
    }
    // Qt speaks English by itself: there is nothing to load for it.
    if (locale.language() == QLocale::English || locale.language() == QLocale::C)
        return result;

    for (const char *catalog : catalogs) {
        // Owned by the application, so it goes with it.
        auto *translator = new QTranslator(QCoreApplication::instance());
        if (translator->load(locale, QLatin1String(catalog), QStringLiteral("_"),
                             translationsPath())) {
            QCoreApplication::installTranslator(translator);
            installed() << translator;
            result.catalogs << translator->filePath();
            continue;
        }
        delete translator;
        const QString file = QStringLiteral("%1_%2.qm").arg(QLatin1String(catalog), name);
        result.missing << file;
        qCWarning(lcLanguage,
                  "A tradução '%s' não foi encontrada em '%s': as janelas do Qt ficam em inglês.",
                  qUtf8Printable(file), qUtf8Printable(translationsPath()));
    }
    return result;
}

} // namespace Velmora
