#include "ResultReader_p.h"

#include "rtl/TDateTime.h"

#include <QSqlField>
#include <QSqlRecord>
#include <QSqlResult>

#include <sqlite3.h>

namespace Velmora::Internal {

namespace {

bool isNumeric(QMetaType type)
{
    switch (type.id()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Short:
    case QMetaType::UShort:
        return true;
    default:
        return false;
    }
}

// SQLite reports the declared type of a column that comes straight from a table.
QVector<bool> sqliteDateColumns(const QSqlQuery &query, int count)
{
    QVector<bool> dates(count, false);
    const QVariant handle = query.result()->handle();
    if (qstrcmp(handle.typeName(), "sqlite3_stmt*") != 0)
        return dates;
    auto *stmt = *static_cast<sqlite3_stmt *const *>(handle.constData());
    if (!stmt)
        return dates;
    for (int i = 0; i < count; ++i) {
        const char *declared = sqlite3_column_decltype(stmt, i);
        if (!declared)
            continue;
        const QByteArray type = QByteArray(declared).toUpper();
        dates[i] = type == "DATE" || type == "DATETIME" || type == "TIMESTAMP";
    }
    return dates;
}

int digits(const QString &text, int from, int count)
{
    int n = 0;
    for (int i = from; i < from + count; ++i) {
        const QChar c = text.at(i);
        if (!c.isDigit())
            return -1;
        n = n * 10 + c.digitValue();
    }
    return n;
}

QVariant sqliteDate(const QVariant &value)
{
    const QString text = value.toString();
    if (text.size() >= 10 && text.at(4) == QLatin1Char('-') && text.at(7) == QLatin1Char('-')) {
        const QDate date(digits(text, 0, 4), digits(text, 5, 2), digits(text, 8, 2));
        if (date.isValid() && text.size() == 10)
            return QVariant::fromValue(TDateTime::fromDate(date));
        const QDateTime moment = QDateTime::fromString(text, Qt::ISODate);
        if (moment.isValid())
            return QVariant::fromValue(TDateTime::fromDateTime(moment));
    }
    return value; // not a date after all: keep what is stored
}

} // namespace

void ReadResult(QSqlQuery &query, Engine engine, int maxRows, QVector<TDataSet::Column> &columns,
                QVector<QVector<QVariant>> &rows)
{
    const QSqlRecord record = query.record();
    const int count = record.count();
    columns.clear();
    columns.reserve(count);
    QVector<bool> textDates(count, false);
    if (engine == Engine::SQLite)
        textDates = sqliteDateColumns(query, count);
    // The InterBase driver reads a CHAR column of a UTF8 connection as its whole buffer,
    // four bytes a character, padded with blanks (a literal in the select list is one).
    QVector<int> paddedBytes(count, -1);
    if (engine == Engine::Firebird)
        for (int i = 0; i < count; ++i)
            if (record.field(i).metaType().id() == QMetaType::QString)
                paddedBytes[i] = record.field(i).length();
    for (int i = 0; i < count; ++i) {
        const QSqlField field = record.field(i);
        TDataSet::Column column;
        column.name = field.name();
        const int type = field.metaType().id();
        if (type == QMetaType::QDate || type == QMetaType::QDateTime || textDates.at(i))
            column.kind = TField::Kind::DateTime;
        column.numeric = isNumeric(field.metaType());
        columns << column;
    }

    rows.clear();
    while ((maxRows <= 0 || rows.size() < maxRows) && query.next()) {
        QVector<QVariant> row(count);
        for (int i = 0; i < count; ++i) {
            const QVariant v = query.value(i);
            if (v.isNull())
                continue;
            switch (v.metaType().id()) {
            case QMetaType::QDate:
                row[i] = QVariant::fromValue(TDateTime::fromDate(v.toDate()));
                break;
            case QMetaType::QDateTime:
                row[i] = QVariant::fromValue(TDateTime::fromDateTime(v.toDateTime()));
                break;
            case QMetaType::QString:
                if (textDates.at(i)) {
                    row[i] = sqliteDate(v);
                } else if (paddedBytes.at(i) > 0 && v.toString().endsWith(QLatin1Char(' ')) &&
                           v.toString().toUtf8().size() == paddedBytes.at(i)) {
                    QString text = v.toString();
                    while (text.endsWith(QLatin1Char(' ')))
                        text.chop(1);
                    row[i] = text;
                } else {
                    row[i] = v;
                }
                break;
            default:
                row[i] = v;
            }
        }
        rows << std::move(row);
    }
    // Lets the engine release the statement's cursor (and SQLite its read lock) now.
    query.finish();
}

} // namespace Velmora::Internal
