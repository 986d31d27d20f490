#pragma once

#include "framework_global.h"

#include <QString>
#include <QStringList>

class QTranslator;

namespace Velmora {

// The language of Qt's own words (file and print dialogs, message box buttons, edit menus)
// and of numbers: a name such as "pt_BR", as in the settings' [Locale] Language.
class VELMORA_FRAMEWORK_EXPORT Language
{
public:
    struct Installed
    {
        QStringList catalogs; // the translation files loaded
        QStringList missing;  // the ones that were looked for and not found
    };

    // Sets the default locale and installs Qt's translations of that language on the running
    // application, replacing those installed before. A missing translation leaves Qt's words
    // in English and logs a warning: the program goes on.
    static Installed install(const QString &name);
    // Where Qt's translation files are looked for.
    static QString translationsPath();

private:
    static QList<QTranslator *> &installed();
};

} // namespace Velmora
