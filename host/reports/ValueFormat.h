#pragma once

#include "ReportLayout.h"
#include "reports_global.h"

#include <QByteArray>
#include <QLocale>
#include <QString>
#include <QVariant>

namespace Velmora::Reports {

// The locale reports are written in: the user's, or Brazilian Portuguese when the process
// runs under the bare C locale (batch runs, services).
VELMORA_REPORTS_EXPORT QLocale ReportLocale();

// Turns a column's values into text the way the column's format says. Reports format
// millions of values, so the common formats are written digit by digit instead of going
// through QLocale's general routines.
class VELMORA_REPORTS_EXPORT ValueFormatter
{
public:
    ValueFormatter() = default;
    ValueFormatter(ColumnType type, const QString &format, const QLocale &locale);

    // The value as the report shows it; empty for null.
    QString text(const QVariant &value) const;
    // The value as a spreadsheet-friendly field: numbers without grouping, dates in the
    // column's format; appended as UTF-8.
    void appendPlain(QByteArray &out, const QVariant &value) const;
    int decimals() const { return m_decimals; }

    static void appendNumber(QByteArray &out, double value, int decimals, char point, char group);

private:
    ColumnType m_type = ColumnType::Text;
    QString m_dateFormat;
    bool m_fastDate = false; // dd/MM/yyyy
    int m_decimals = 2;
    bool m_grouping = false;
    char m_point = ',';
    char m_group = '.';
};

// Reads a column's value from the database's answer as its type wants it: a double, a QDate
// (SQLite hands dates over as ISO texts) or a text; null stays null.
VELMORA_REPORTS_EXPORT QVariant TypedValue(ColumnType type, const QVariant &raw);

} // namespace Velmora::Reports
