#include "RelativePeriod.h"

namespace Velmora::Reports {

namespace {

struct Named
{
    RelativePeriod period;
    const char *key;
    const char *label;
};

const Named names[] = {
    {RelativePeriod::Fixed, "", "datas digitadas"},
    {RelativePeriod::PreviousMonth, "mes_anterior", "mês anterior"},
    {RelativePeriod::PreviousQuarter, "trimestre_anterior", "trimestre anterior"},
    {RelativePeriod::YearToDate, "ano_corrente", "ano corrente até hoje"},
    {RelativePeriod::SamePeriodLastYear, "mesmo_periodo_ano_anterior",
     "mesmo período do ano anterior"},
};

const Named &named(RelativePeriod period)
{
    for (const Named &n : names)
        if (n.period == period)
            return n;
    return names[0];
}

// The same day and month in another year; the month's last day stays its last.
QDate inYear(const QDate &day, int year)
{
    const QDate first(year, day.month(), 1);
    if (day.day() == day.daysInMonth())
        return first.addDays(first.daysInMonth() - 1);
    return QDate(year, day.month(), qMin(day.day(), first.daysInMonth()));
}

} // namespace

QList<RelativePeriod> RelativePeriods()
{
    QList<RelativePeriod> all;
    for (const Named &n : names)
        all << n.period;
    return all;
}

QString RelativePeriodKey(RelativePeriod period)
{
    return QString::fromLatin1(named(period).key);
}

QString RelativePeriodLabel(RelativePeriod period)
{
    return QString::fromUtf8(named(period).label);
}

bool RelativePeriodFromKey(const QString &key, RelativePeriod &period)
{
    for (const Named &n : names)
        if (key == QLatin1String(n.key)) {
            period = n.period;
            return true;
        }
    return false;
}

DateRange ResolvePeriod(RelativePeriod period, const QDate &today, const DateRange &typed)
{
    const QDate month(today.year(), today.month(), 1);
    switch (period) {
    case RelativePeriod::Fixed:
        return typed;
    case RelativePeriod::PreviousMonth:
        return {month.addMonths(-1), month.addDays(-1)};
    case RelativePeriod::PreviousQuarter: {
        const QDate quarter(today.year(), (today.month() - 1) / 3 * 3 + 1, 1);
        return {quarter.addMonths(-3), quarter.addDays(-1)};
    }
    case RelativePeriod::YearToDate:
        return {QDate(today.year(), 1, 1), today};
    case RelativePeriod::SamePeriodLastYear: {
        if (!typed.from.isValid() || !typed.to.isValid())
            return typed;
        const int year = today.year() - 1;
        return {inYear(typed.from, year),
                inYear(typed.to, year + typed.to.year() - typed.from.year())};
    }
    }
    return typed;
}

} // namespace Velmora::Reports
