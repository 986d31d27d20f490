#pragma once

#include "reports_global.h"

#include <QDate>
#include <QList>
#include <QString>

namespace Velmora::Reports {

// A period a saved parameter set names by its place in the calendar rather than by its dates,
// resolved against the day it is loaded.
enum class RelativePeriod {
    Fixed,              // the dates as they were typed
    PreviousMonth,      // "mês anterior"
    PreviousQuarter,    // "trimestre anterior"
    YearToDate,         // "ano corrente até hoje"
    SamePeriodLastYear, // "mesmo período do ano anterior": the typed days, a year before today's
};

VELMORA_REPORTS_EXPORT QList<RelativePeriod> RelativePeriods();
// The key a set stores ("mes_anterior", ...; empty for Fixed) and the words a clerk reads.
VELMORA_REPORTS_EXPORT QString RelativePeriodKey(RelativePeriod period);
VELMORA_REPORTS_EXPORT QString RelativePeriodLabel(RelativePeriod period);
// Fixed for an empty key; false for a key this version does not know.
VELMORA_REPORTS_EXPORT bool RelativePeriodFromKey(const QString &key, RelativePeriod &period);

struct DateRange
{
    QDate from, to;
};

// The dates of the period on `today`. `typed` is the period of the set as saved, which Fixed
// keeps and SamePeriodLastYear moves to the year before today's; a day the target month
// lacks (29 February) becomes its last day, and a typed month's last day stays its last.
VELMORA_REPORTS_EXPORT DateRange ResolvePeriod(RelativePeriod period, const QDate &today,
                                               const DateRange &typed);

} // namespace Velmora::Reports
