#pragma once

#include "rtl_global.h"

#include <QDate>
#include <QDateTime>

// A moment as the business system stores it: days since 30/12/1899, the time of day as the
// fraction. For days before that date the fraction still counts forward from midnight
// (-1.25 is 29/12/1899 06:00), so the date is the integral part and the time |fraction|.
class VELMORA_RTL_EXPORT TDateTime
{
public:
    constexpr TDateTime() = default;
    constexpr explicit TDateTime(double value) : m_value(value) {}

    static TDateTime fromDate(const QDate &date);
    static TDateTime fromDateTime(const QDateTime &dateTime);
    static QDate epoch() { return QDate(1899, 12, 30); }

    constexpr double value() const { return m_value; }
    // Whole days: the date without its time.
    TDateTime datePart() const;
    QDate toDate() const;
    QDateTime toDateTime() const;
    bool isValid() const;

    friend constexpr bool operator==(TDateTime a, TDateTime b) { return a.m_value == b.m_value; }
    friend constexpr auto operator<=>(TDateTime a, TDateTime b) { return a.m_value <=> b.m_value; }

private:
    double m_value = 0.0;
};
