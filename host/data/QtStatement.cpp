// Statements through Qt SQL: SQLite, PostgreSQL and the kinds that are only mapped.
#include "DBConnection.h"
#include "Placeholders_p.h"
#include "Statement_p.h"
#include "rtl/TDateTime.h"

#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QSqlResult>

#include <sqlite3.h>

namespace Velmora::Internal {

namespace {

QString errorText(const QSqlError &error)
{
    QString text = error.databaseText().trimmed();
    if (text.isEmpty())
        text = error.driverText().trimmed();
    return text.isEmpty() ? QStringLiteral("erro desconhecido") : text;
}

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

sqlite3_stmt *sqliteStatement(const QSqlQuery &query)
{
    const QVariant handle = query.result()->handle();
    if (qstrcmp(handle.typeName(), "sqlite3_stmt*") != 0)
        return nullptr;
    return *static_cast<sqlite3_stmt *const *>(handle.constData());
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

// SQLite keeps dates as "YYYY-MM-DD" text.
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

class QtStatement : public Statement
{
public:
    QtStatement(DBConnection &connection, bool exactDecimals)
        : m_query(connection.Database()), m_engine(connection.engine())
    {
        m_query.setForwardOnly(true);
        m_query.setNumericalPrecisionPolicy(exactDecimals ? QSql::HighPrecision
                                                          : QSql::LowPrecisionDouble);
    }

    bool prepare(const QString &text, QString &error)
    {
        if (!m_query.prepare(text)) {
            error = errorText(m_query.lastError());
            return false;
        }
        m_placeholders = PlaceholderSpellings(text);
        for (const QString &name : std::as_const(m_placeholders))
            m_marks << QLatin1Char(':') + name;
        return true;
    }

    bool Writes() const override
    {
        sqlite3_stmt *stmt = m_engine == Engine::SQLite ? sqliteStatement(m_query) : nullptr;
        return stmt && !sqlite3_stmt_readonly(stmt);
    }

    bool Start(const QVector<QVariant> &values, QVector<TDataSet::Column> &columns,
               QString &error) override
    {
        for (int i = 0; i < m_marks.size(); ++i)
            m_query.bindValue(m_marks.at(i), values.at(i));
        if (!m_query.exec()) {
            error = errorText(m_query.lastError());
            return false;
        }
        if (!m_described)
            describe();
        columns = m_columns;
        return true;
    }

    bool Fetch(int maxRows, QVector<QVector<QVariant>> &rows, bool &done, QString &error) override
    {
        const int count = static_cast<int>(m_columns.size());
        done = false;
        for (int n = 0; maxRows <= 0 || n < maxRows; ++n) {
            if (!m_query.next()) {
                done = true;
                break;
            }
            QVector<QVariant> row(count);
            for (int i = 0; i < count; ++i) {
                const QVariant v = m_query.value(i);
                if (v.isNull())
                    continue;
                switch (v.metaType().id()) {
                case QMetaType::QDate:
                    row[i] = QVariant::fromValue(TDateTime::fromDate(v.toDate()));
                    break;
                case QMetaType::QDateTime:
                    row[i] = QVariant::fromValue(TDateTime::fromDateTime(v.toDateTime()));
                    break;
                default:
                    row[i] = m_textDates.at(i) ? sqliteDate(v) : v;
                }
            }
            rows << std::move(row);
        }
        if (done) {
            // A row read that failed ends the cursor as its end would: tell them apart.
            const QSqlError failure = m_query.lastError();
            // Lets the engine release the cursor (and SQLite its read lock) now.
            m_query.finish();
            if (failure.type() != QSqlError::NoError) {
                error = errorText(failure);
                return false;
            }
        }
        return true;
    }

    void Finish() override { m_query.finish(); }

private:
    // The answer's columns are the statement's: worked out once.
    void describe()
    {
        const QSqlRecord record = m_query.record();
        const int count = record.count();
        sqlite3_stmt *stmt = m_engine == Engine::SQLite ? sqliteStatement(m_query) : nullptr;
        m_textDates = QVector<bool>(count, false);
        for (int i = 0; i < count; ++i) {
            const QSqlField field = record.field(i);
            TDataSet::Column column;
            column.name = field.name();
            const int type = field.metaType().id();
            // SQLite reports the declared type of a column that comes straight from a table.
            if (const char *declared = stmt ? sqlite3_column_decltype(stmt, i) : nullptr) {
                const QByteArray d = QByteArray(declared).toUpper();
                m_textDates[i] = d == "DATE" || d == "DATETIME" || d == "TIMESTAMP";
            }
            if (type == QMetaType::QDate || type == QMetaType::QDateTime || m_textDates.at(i))
                column.kind = TField::Kind::DateTime;
            column.numeric = isNumeric(field.metaType());
            m_columns << column;
        }
        m_described = true;
    }

    QSqlQuery m_query;
    Engine m_engine;
    QStringList m_marks;
    QVector<TDataSet::Column> m_columns;
    QVector<bool> m_textDates;
    bool m_described = false;
};

} // namespace

std::unique_ptr<Statement> PrepareWithQt(DBConnection &connection, const QString &text,
                                         bool exactDecimals, QString &error)
{
    auto statement = std::make_unique<QtStatement>(connection, exactDecimals);
    if (!statement->prepare(text, error))
        return nullptr;
    return statement;
}

std::unique_ptr<Statement> Prepare(DBConnection &connection, const QString &text,
                                   bool exactDecimals, QString &error)
{
    if (connection.engine() == Engine::Firebird)
        return PrepareOnFirebird(connection, text, exactDecimals, error);
    return PrepareWithQt(connection, text, exactDecimals, error);
}

} // namespace Velmora::Internal
