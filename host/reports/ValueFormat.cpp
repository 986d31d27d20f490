#include "ValueFormat.h"

#include "rtl/DateConvert.h"

#include <QDate>
#include <QDateTime>

#include <cmath>

namespace Velmora::Reports {

QLocale ReportLocale()
{
    const QLocale locale;
    if (locale.language() == QLocale::C)
        return QLocale(QLocale::Portuguese, QLocale::Brazil);
    return locale;
}

ValueFormatter::ValueFormatter(ColumnType type, const QString &format, const QLocale &locale)
    : m_type(type)
{
    m_point = locale.decimalPoint().at(0).toLatin1();
    m_group = locale.groupSeparator().at(0).toLatin1();
    if (m_group == 0 || m_group == m_point)
        m_group = m_point == ',' ? '.' : ',';
    if (type == ColumnType::Number) {
        const QString f = format.isEmpty() ? QStringLiteral("#,##0.00") : format;
        const qsizetype dot = f.indexOf(QLatin1Char('.'));
        m_decimals = dot < 0 ? 0 : static_cast<int>(f.size() - dot - 1);
        m_grouping = f.contains(QLatin1Char(','));
    } else if (type == ColumnType::Date) {
        m_dateFormat = format.isEmpty() ? FormatSettings::ShortDateFormat() : format;
        m_fastDate = m_dateFormat == QLatin1String("dd/MM/yyyy");
    }
}

void ValueFormatter::appendNumber(QByteArray &out, double value, int decimals, char point,
                                  char group)
{
    static const double scale[] = {1, 10, 100, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8};
    if (!std::isfinite(value) || decimals < 0 || decimals > 8 ||
        std::fabs(value) * scale[decimals] >= 9e15) {
        out += QByteArray::number(value, 'f', qBound(0, decimals, 15)).replace('.', point);
        return;
    }
    long long n = std::llround(value * scale[decimals]);
    // Written backwards into a local buffer and appended once: QByteArray's per-character
    // append shows in the profile of a million-row export.
    char text[48];
    char *at = text + sizeof text;
    const bool negative = n < 0;
    if (negative)
        n = -n;
    for (int i = 0; i < decimals; ++i) {
        *--at = static_cast<char>('0' + n % 10);
        n /= 10;
    }
    if (decimals > 0)
        *--at = point;
    int integerDigits = 0;
    do {
        if (group && integerDigits > 0 && integerDigits % 3 == 0)
            *--at = group;
        *--at = static_cast<char>('0' + n % 10);
        n /= 10;
        ++integerDigits;
    } while (n > 0);
    if (negative)
        *--at = '-';
    out.append(at, text + sizeof text - at);
}

namespace {
void putTwo(char *at, int v)
{
    at[0] = static_cast<char>('0' + v / 10);
    at[1] = static_cast<char>('0' + v % 10);
}
} // namespace

void ValueFormatter::appendPlain(QByteArray &out, const QVariant &value) const
{
    if (value.isNull())
        return;
    switch (m_type) {
    case ColumnType::Number:
        appendNumber(out, value.toDouble(), m_decimals, m_point, 0);
        return;
    case ColumnType::Date: {
        const QDate d = value.toDate();
        int dd = 0, mm = 0, yy = 0;
        if (m_fastDate && d.isValid())
            d.getDate(&yy, &mm, &dd);
        if (yy >= 1000 && yy <= 9999) {
            char text[10] = {0, 0, '/', 0, 0, '/'};
            putTwo(text, dd);
            putTwo(text + 3, mm);
            putTwo(text + 6, yy / 100);
            putTwo(text + 8, yy % 100);
            out.append(text, sizeof text);
        } else {
            out += d.toString(m_dateFormat).toUtf8();
        }
        return;
    }
    case ColumnType::Text:
        break;
    }
    out += value.toString().toUtf8();
}

QString ValueFormatter::text(const QVariant &value) const
{
    if (value.isNull())
        return QString();
    if (m_type == ColumnType::Number) {
        QByteArray out;
        appendNumber(out, value.toDouble(), m_decimals, m_point, m_grouping ? m_group : 0);
        return QString::fromLatin1(out);
    }
    if (m_type == ColumnType::Date) {
        QByteArray out;
        appendPlain(out, value);
        return QString::fromUtf8(out);
    }
    return value.toString();
}

QVariant TypedValue(ColumnType type, const QVariant &raw)
{
    if (raw.isNull())
        return QVariant();
    switch (type) {
    case ColumnType::Number:
        return raw.toDouble();
    case ColumnType::Date: {
        const int id = raw.metaType().id();
        if (id == QMetaType::QDate)
            return raw;
        if (id == QMetaType::QDateTime)
            return raw.toDateTime().date();
        // "YYYY-MM-DD", with or without a time after it.
        const QString s = raw.toString();
        auto digits = [&](qsizetype from, qsizetype count) {
            int v = 0;
            for (qsizetype i = from; i < from + count; ++i) {
                const char16_t c = s.at(i).unicode();
                if (c < u'0' || c > u'9')
                    return -1;
                v = v * 10 + (c - u'0');
            }
            return v;
        };
        if (s.size() >= 10 && s.at(4) == QLatin1Char('-') && s.at(7) == QLatin1Char('-')) {
            const QDate d(digits(0, 4), digits(5, 2), digits(8, 2));
            if (d.isValid())
                return d;
        }
        const QDate d = QDate::fromString(s.left(10), Qt::ISODate);
        return d.isValid() ? QVariant(d) : QVariant();
    }
    case ColumnType::Text:
        break;
    }
    if (raw.metaType().id() == QMetaType::QString)
        return raw;
    return raw.toString();
}

} // namespace Velmora::Reports
