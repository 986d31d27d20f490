#pragma once

#include "ReportLayout.h"
#include "reports_global.h"

#include <QList>
#include <QString>

namespace Velmora::Reports {

// The words the layout editor shows for a column's alignment and kind. The layout files keep
// their own keywords (AlignName, TypeName): these are for the clerk's eyes only.
struct AlignWord
{
    Align align;
    QString word;
};
struct TypeWord
{
    ColumnType type;
    QString word;
};

VELMORA_REPORTS_EXPORT const QList<AlignWord> &AlignWords();
VELMORA_REPORTS_EXPORT const QList<TypeWord> &TypeWords();

} // namespace Velmora::Reports
