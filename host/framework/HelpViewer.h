#pragma once

#include "framework_global.h"

#include <QString>

// Help pages ship with the packages as HTML in their resources, one page per context:
// ":/help/<help file name without extension>/<context>.html".
namespace HelpViewer {

VELMORA_FRAMEWORK_EXPORT QString PagePath(const QString &helpFile, int context);
// Shows the page in a help window, or a message when the package ships none for it.
// The window is named after the screen whose help it is ("Ajuda – Documentos por
// Fornecedor").
VELMORA_FRAMEWORK_EXPORT void show(const QString &helpFile, int context,
                                   const QString &screenCaption = QString());
// That window's title.
VELMORA_FRAMEWORK_EXPORT QString WindowTitle(const QString &screenCaption);

} // namespace HelpViewer
