#include "TParams.h"

#include "Placeholders_p.h"

#include "rtl/DateConvert.h"
#include "rtl/Exceptions.h"

QString TParam::AsString() const
{
    if (IsDate())
        return DateToStr(m_value.value<TDateTime>());
    return m_value.toString();
}

TDateTime TParam::AsDate() const
{
    if (IsDate())
        return m_value.value<TDateTime>();
    if (m_value.isNull())
        return TDateTime();
    return StrToDate(m_value.toString());
}

TParams::TParams(const TParams &other)
{
    *this = other;
}

TParams &TParams::operator=(const TParams &other)
{
    if (this == &other)
        return *this;
    Clear();
    for (const TParam *p : other.m_items)
        m_items << new TParam(*p);
    return *this;
}

TParams::~TParams()
{
    Clear();
}

TParam *TParams::FindParam(const QString &name) const
{
    for (TParam *p : m_items)
        if (p->Name() == name)
            return p;
    for (TParam *p : m_items)
        if (p->Name().compare(name, Qt::CaseInsensitive) == 0)
            return p;
    return nullptr;
}

TParam *TParams::ParamByName(const QString &name) const
{
    if (TParam *p = FindParam(name))
        return p;
    throw EDatabaseError(QStringLiteral("Parâmetro '%1' não encontrado.").arg(name));
}

TParam *TParams::Add(const QString &name)
{
    auto *p = new TParam(name);
    m_items << p;
    return p;
}

QStringList TParams::Names() const
{
    QStringList names;
    for (const TParam *p : m_items)
        names << p->Name();
    return names;
}

void TParams::Clear()
{
    qDeleteAll(m_items);
    m_items.clear();
}

namespace {
// The names after ':' outside quotes, each once in order of first use; "::" casts are passed
// over. Names count as the same without regard to letter case unless exact is asked for.
QStringList scanPlaceholders(const QString &sql, Qt::CaseSensitivity sameName)
{
    QStringList names;
    QChar quote;
    for (qsizetype i = 0; i < sql.size(); ++i) {
        const QChar c = sql.at(i);
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
            continue;
        }
        if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            quote = c;
            continue;
        }
        if (c != QLatin1Char(':'))
            continue;
        if (i + 1 < sql.size() && sql.at(i + 1) == QLatin1Char(':')) {
            ++i; // a PostgreSQL cast
            continue;
        }
        qsizetype end = i + 1;
        while (end < sql.size() &&
               (sql.at(end).isLetterOrNumber() || sql.at(end) == QLatin1Char('_')))
            ++end;
        if (end == i + 1)
            continue;
        const QString name = sql.mid(i + 1, end - i - 1);
        if (!names.contains(name, sameName))
            names << name;
        i = end - 1;
    }
    return names;
}
} // namespace

QStringList ParameterNames(const QString &sql)
{
    return scanPlaceholders(sql, Qt::CaseInsensitive);
}

namespace Velmora::Internal {
QStringList PlaceholderSpellings(const QString &sql)
{
    return scanPlaceholders(sql, Qt::CaseSensitive);
}
} // namespace Velmora::Internal

namespace Velmora::Internal {
QString ToPositional(const QString &sql, QStringList &names)
{
    QString out;
    out.reserve(sql.size());
    names.clear();
    const qsizetype n = sql.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = sql.at(i);
        if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            const qsizetype end = sql.indexOf(c, i + 1);
            const qsizetype stop = end < 0 ? n : end + 1;
            out += QStringView(sql).mid(i, stop - i);
            i = stop - 1;
        } else if (c == QLatin1Char('-') && i + 1 < n && sql.at(i + 1) == QLatin1Char('-')) {
            const qsizetype end = sql.indexOf(QLatin1Char('\n'), i);
            const qsizetype stop = end < 0 ? n : end;
            out += QStringView(sql).mid(i, stop - i);
            i = stop - 1;
        } else if (c == QLatin1Char('/') && i + 1 < n && sql.at(i + 1) == QLatin1Char('*')) {
            const qsizetype end = sql.indexOf(QLatin1String("*/"), i + 2);
            const qsizetype stop = end < 0 ? n : end + 2;
            out += QStringView(sql).mid(i, stop - i);
            i = stop - 1;
        } else if (c == QLatin1Char(':') && i + 1 < n && sql.at(i + 1) == QLatin1Char(':')) {
            out += QLatin1String("::"); // a PostgreSQL cast
            ++i;
        } else if (c == QLatin1Char(':') && i + 1 < n &&
                   (sql.at(i + 1).isLetterOrNumber() || sql.at(i + 1) == QLatin1Char('_'))) {
            qsizetype end = i + 1;
            while (end < n && (sql.at(end).isLetterOrNumber() || sql.at(end) == QLatin1Char('_')))
                ++end;
            names << sql.mid(i + 1, end - i - 1);
            out += QLatin1Char('?');
            i = end - 1;
        } else {
            out += c;
        }
    }
    return out;
}
} // namespace Velmora::Internal
