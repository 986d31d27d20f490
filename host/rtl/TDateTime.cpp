#include "TDateTime.h"

#include <cmath>
#include <limits>

namespace {
constexpr qint64 msPerDay = 86400000;

// Splits a value into whole days and milliseconds of the day, carrying a rounded-up
// midnight into the next day so that 0.99999999999 never reads as 24:00.
void split(double value, qint64 &days, qint64 &ms)
{
    const double whole = std::trunc(value);
    days = static_cast<qint64>(whole);
    ms = static_cast<qint64>(std::llround(std::fabs(value - whole) * msPerDay));
    if (ms >= msPerDay) {
        ms -= msPerDay;
        days += value < 0 ? -1 : 1;
    }
}
} // namespace

TDateTime TDateTime::fromDate(const QDate &date)
{
    return TDateTime(static_cast<double>(epoch().daysTo(date)));
}

TDateTime TDateTime::fromDateTime(const QDateTime &dateTime)
{
    const qint64 days = epoch().daysTo(dateTime.date());
    const double fraction =
        static_cast<double>(dateTime.time().msecsSinceStartOfDay()) / static_cast<double>(msPerDay);
    return TDateTime(days >= 0 ? static_cast<double>(days) + fraction
                               : static_cast<double>(days) - fraction);
}

TDateTime TDateTime::datePart() const
{
    return TDateTime(std::trunc(m_value));
}

bool TDateTime::isValid() const
{
    // QDate covers far more than this, but a value beyond year 9999 is no business date.
    return std::isfinite(m_value) && m_value > -693594.0 && m_value < 2958466.0;
}

QDate TDateTime::toDate() const
{
    if (!isValid())
        return {};
    qint64 days = 0, ms = 0;
    split(m_value, days, ms);
    return epoch().addDays(days);
}

QDateTime TDateTime::toDateTime() const
{
    if (!isValid())
        return {};
    qint64 days = 0, ms = 0;
    split(m_value, days, ms);
    return QDateTime(epoch().addDays(days), QTime::fromMSecsSinceStartOfDay(static_cast<int>(ms)));
}
