#include "DateConvert.h"

#include "Exceptions.h"

#include <QMutex>
#include <QStringList>

namespace {
QMutex formatLock;
QString shortDateFormat = QStringLiteral("dd/MM/yyyy");

QString qtNotation(QString format)
{
    if (!format.contains(QLatin1Char('M')))
        format.replace(QLatin1Char('m'), QLatin1Char('M'));
    return format;
}

struct DateOrder
{
    int day = 0, month = 1, year = 2; // position of each part in the text
    QChar separator = QLatin1Char('/');
};

// The order of day, month and year in the format, each taken where it first appears (a format
// may name one twice: "dd/MM/yyyy (ddd)"). A format that lacks one of them cannot order a
// typed date: the default order then applies, with the format's separator.
DateOrder orderOf(const QString &format)
{
    DateOrder order;
    int position[3] = {-1, -1, -1}; // day, month, year
    int next = 0;
    bool separatorFound = false;
    for (const QChar c : format) {
        const int part = c == QLatin1Char('d')   ? 0
                         : c == QLatin1Char('M') ? 1
                         : c == QLatin1Char('y') ? 2
                                                 : -1;
        if (part >= 0) {
            if (position[part] < 0)
                position[part] = next++;
        } else if (!separatorFound && !c.isLetterOrNumber() && !c.isSpace()) {
            order.separator = c;
            separatorFound = true;
        }
    }
    if (position[0] >= 0 && position[1] >= 0 && position[2] >= 0) {
        order.day = position[0];
        order.month = position[1];
        order.year = position[2];
    }
    return order;
}

bool toNumber(const QString &part, int maxDigits, int &value)
{
    if (part.isEmpty() || part.size() > maxDigits)
        return false;
    for (const QChar c : part)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    value = part.toInt();
    return true;
}

int expandYear(int twoDigits)
{
    const int current = QDate::currentDate().year();
    int year = current - current % 100 + twoDigits;
    if (year > current + 50)
        year -= 100;
    else if (year <= current - 50)
        year += 100;
    return year;
}
} // namespace

QString FormatSettings::ShortDateFormat()
{
    QMutexLocker lock(&formatLock);
    return shortDateFormat;
}

void FormatSettings::SetShortDateFormat(const QString &format)
{
    QMutexLocker lock(&formatLock);
    shortDateFormat =
        format.trimmed().isEmpty() ? QStringLiteral("dd/MM/yyyy") : qtNotation(format.trimmed());
}

bool TryStrToDate(const QString &text, TDateTime &date)
{
    const DateOrder order = orderOf(FormatSettings::ShortDateFormat());
    const QStringList parts = text.trimmed().split(order.separator);
    if (parts.size() < 2 || parts.size() > 3)
        return false;

    int values[3] = {0, 0, 0};
    int fields[3] = {-1, -1, -1}; // which part holds day, month, year
    fields[order.day] = 0;
    fields[order.month] = 1;
    fields[order.year] = 2;
    bool yearGiven = parts.size() == 3;
    int yearDigits = 4;
    int partIndex = 0;
    for (int slot = 0; slot < 3; ++slot) {
        const int field = fields[slot];
        if (field == 2 && !yearGiven)
            continue;
        if (partIndex >= parts.size())
            return false;
        const QString part = parts.at(partIndex++).trimmed();
        if (!toNumber(part, field == 2 ? 4 : 2, values[field]))
            return false;
        if (field == 2)
            yearDigits = static_cast<int>(part.size());
    }
    int year = yearGiven ? values[2] : QDate::currentDate().year();
    if (yearGiven && yearDigits <= 2)
        year = expandYear(year);
    const QDate result(year, values[1], values[0]);
    if (!result.isValid() || year < 1)
        return false;
    date = TDateTime::fromDate(result);
    return true;
}

TDateTime StrToDate(const QString &text)
{
    TDateTime date;
    if (!TryStrToDate(text, date))
        throw EConvertError(QStringLiteral("'%1' não é uma data válida.").arg(text));
    return date;
}

QString DateToStr(TDateTime date)
{
    return date.toDate().toString(FormatSettings::ShortDateFormat());
}
