#include "ReportHeading.h"

#include "ReportQuery.h"
#include "data/TParams.h"
#include "rtl/DateConvert.h"

#include <QRegularExpression>

namespace Velmora::Reports {

namespace {

QString valueText(const QVariant &value)
{
    if (value.isNull())
        return QString();
    if (value.metaType() == QMetaType::fromType<TDateTime>())
        return DateToStr(value.value<TDateTime>());
    return value.toString();
}

QString queryOf(const QMap<QString, QString> &texts, DatabaseKind kind)
{
    const QString own = texts.value(QueryKey(kind));
    return own.trimmed().isEmpty() ? texts.value(QStringLiteral("SQL")) : own;
}

// The first row of a lookup, field name (upper case) to text; empty when there is none.
QMap<QString, QString> firstRow(const QString &text, const ReportConnection &connection,
                                const TParams &params, const QString &report)
{
    QMap<QString, QString> row;
    if (text.trimmed().isEmpty())
        return row;
    Velmora::StreamingRead query = RunReportQuery(connection, report, text, params);
    bool found = false;
    try {
        found = query.next();
    } catch (const EDatabaseError &e) {
        throw ReportQueryFailure(report, e);
    }
    if (found) {
        const QStringList names = query.fieldNames();
        for (int i = 0; i < names.size(); ++i)
            row.insert(names.at(i).toUpper(), query.value(i).toString().trimmed());
    }
    return row;
}

// What remains of a template whose looked-up part is missing ("01 – ") ends in no dash.
QString tidy(QString text)
{
    static const QRegularExpression dangling(QStringLiteral("[\\s\\x{2013}\\-:·]+$"));
    return text.remove(dangling).trimmed();
}

QString textItem(const HeadingItem &item, const ReportConnection &connection, const TParams &params,
                 const QString &report)
{
    static const QRegularExpression placeholder(QStringLiteral("\\{([A-Za-z_][A-Za-z0-9_]*)\\}"));
    bool anyParameter = false, anyValue = false;
    for (auto it = placeholder.globalMatch(item.text); it.hasNext();) {
        const TParam *p = params.FindParam(it.next().captured(1));
        if (!p)
            continue;
        anyParameter = true;
        anyValue = anyValue || !valueText(p->Value()).trimmed().isEmpty();
    }
    if (anyParameter && !anyValue && !item.empty.isEmpty())
        return item.empty;
    const QMap<QString, QString> fields =
        firstRow(queryOf(item.lookup, connection.kind), connection, params, report);
    QString out;
    qsizetype from = 0;
    for (auto it = placeholder.globalMatch(item.text); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        out += item.text.mid(from, m.capturedStart() - from);
        const QString name = m.captured(1);
        if (const TParam *p = params.FindParam(name))
            out += valueText(p->Value());
        else
            out += fields.value(name.toUpper());
        from = m.capturedEnd();
    }
    out += item.text.mid(from);
    return tidy(out);
}

QString listItem(const HeadingItem &item, const ReportConnection &connection, const TParams &params,
                 const QString &report)
{
    const TParam *p = params.FindParam(item.list);
    const QStringList keys = SelectionKeys(p ? valueText(p->Value()) : QString());
    if (keys.isEmpty())
        return item.empty;
    const QString lookup = queryOf(item.lookup, connection.kind);
    QStringList shown;
    for (const QString &key : keys.mid(0, HeadingItem::ShownKeys)) {
        QString text = key;
        if (!lookup.trimmed().isEmpty()) {
            TParams keyParams;
            ParamsFromText(lookup, keyParams);
            for (int i = 0; i < keyParams.Count(); ++i) {
                TParam *target = keyParams.Items(i);
                if (target->Name().compare(QLatin1String("CODIGO"), Qt::CaseInsensitive) == 0)
                    target->SetAsString(key);
                else if (const TParam *source = params.FindParam(target->Name()))
                    target->SetAsVariant(source->Value());
            }
            const QMap<QString, QString> row = firstRow(lookup, connection, keyParams, report);
            if (!row.isEmpty()) {
                const QString kind = row.first();
                if (item.masks.contains(kind))
                    text = MaskedKey(key, item.masks.value(kind));
            }
        }
        shown << text;
    }
    const qsizetype n = keys.size();
    QString out = QString::number(n);
    if (!item.counted.isEmpty())
        out += QLatin1Char(' ') + (n == 1 ? item.counted.first() : item.counted.last());
    out += QStringLiteral(" – ") + shown.join(QStringLiteral(", "));
    if (n > shown.size())
        out += QStringLiteral(" e mais %1").arg(n - shown.size());
    return out;
}

} // namespace

Heading BuildHeading(const QList<HeadingItem> &items, const ReportConnection &connection,
                     const TParams &params, const QString &report)
{
    Heading heading;
    for (const HeadingItem &item : items) {
        HeadingLine line{item.caption, QString(), item.summary};
        line.text = item.list.isEmpty() ? textItem(item, connection, params, report)
                                        : listItem(item, connection, params, report);
        heading << line;
    }
    return heading;
}

QString SummaryLine(const Heading &heading)
{
    QStringList parts;
    for (const HeadingLine &line : heading)
        if (line.summary)
            parts << line.caption + QStringLiteral(": ") + line.text;
    return parts.join(QStringLiteral("  ·  "));
}

QStringList SelectionKeys(const QString &selection)
{
    QStringList keys;
    QString key;
    bool inside = false;
    for (qsizetype i = 0; i < selection.size(); ++i) {
        const QChar c = selection.at(i);
        if (!inside) {
            if (c == QLatin1Char('\'')) {
                inside = true;
                key.clear();
            }
            continue;
        }
        if (c == QLatin1Char('\'')) {
            if (i + 1 < selection.size() && selection.at(i + 1) == QLatin1Char('\'')) {
                key += c;
                ++i;
                continue;
            }
            inside = false;
            keys << key;
            continue;
        }
        key += c;
    }
    return keys;
}

QString MaskedKey(const QString &key, const QString &mask)
{
    if (key.size() != mask.count(QLatin1Char('9')))
        return key;
    QString out;
    qsizetype k = 0;
    for (const QChar m : mask) {
        if (m != QLatin1Char('9')) {
            out += m;
            continue;
        }
        const QChar d = key.at(k++);
        if (!d.isDigit())
            return key;
        out += d;
    }
    return out;
}

} // namespace Velmora::Reports
