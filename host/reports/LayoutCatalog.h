#pragma once

#include "reports_global.h"

#include <QList>
#include <QString>

namespace Velmora::Reports {

// A layout file found for a report code. A file that cannot be read is still listed, under
// its file name, so the user sees it and gets its problem when choosing it.
struct VELMORA_REPORTS_EXPORT LayoutEntry
{
    QString path;
    QString title;
    QString error; // empty when the layout is sound
};

// The layouts of a report code in a directory: files named after the code ("FIS014.json",
// "FIS014-2.json", "FIS014_anual.json"), in any letter case, ordered by title.
VELMORA_REPORTS_EXPORT QList<LayoutEntry> FindLayouts(const QString &code,
                                                      const QString &directory);

// A file name for a new layout of the code in the directory that no file holds yet.
VELMORA_REPORTS_EXPORT QString NewLayoutPath(const QString &code, const QString &directory);

} // namespace Velmora::Reports
