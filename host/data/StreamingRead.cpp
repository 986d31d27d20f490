#include "StreamingRead.h"

#include "TParams.h"
#include "rtl/Exceptions.h"

#include <QSqlError>
#include <QSqlResult>

#include <sqlite3.h>

namespace {

// Where the comment starting at i ends ("--" to the line's end, "/* */"); i when none starts.
qsizetype pastComment(const QString &sql, qsizetype i)
{
    if (sql.mid(i, 2) == QLatin1String("--")) {
        const qsizetype end = sql.indexOf(QLatin1Char('\n'), i);
        return end < 0 ? sql.size() : end;
    }
    if (sql.mid(i, 2) == QLatin1String("/*")) {
        const qsizetype end = sql.indexOf(QLatin1String("*/"), i + 2);
        return end < 0 ? sql.size() : end + 2;
    }
    return i;
}

// The first word of the statement, past blanks, comments and opening parentheses.
QString firstWord(const QString &sql)
{
    qsizetype i = 0;
    const qsizetype n = sql.size();
    while (i < n) {
        const QChar c = sql.at(i);
        if (c.isSpace() || c == QLatin1Char('(')) {
            ++i;
        } else if (const qsizetype past = pastComment(sql, i); past != i) {
            i = past;
        } else {
            break;
        }
    }
    qsizetype end = i;
    while (end < n && sql.at(end).isLetter())
        ++end;
    return sql.mid(i, end - i).toUpper();
}

// Words of statements that change data or definitions, outside quotes and comments: a
// read-only query refuses a text that holds one (PostgreSQL would run a DELETE inside WITH).
bool mentionsWrite(const QString &sql)
{
    static const QStringList writes{"INSERT", "UPDATE", "DELETE", "MERGE",  "TRUNCATE", "ALTER",
                                    "CREATE", "DROP",   "GRANT",  "REVOKE", "EXECUTE",  "CALL"};
    QChar quote;
    qsizetype i = 0;
    const qsizetype n = sql.size();
    while (i < n) {
        const QChar c = sql.at(i);
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
            ++i;
        } else if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            quote = c;
            ++i;
        } else if (const qsizetype past = pastComment(sql, i); past != i) {
            i = past;
        } else if (c.isLetter() || c == QLatin1Char('_')) {
            qsizetype end = i;
            while (end < n && (sql.at(end).isLetterOrNumber() || sql.at(end) == QLatin1Char('_')))
                ++end;
            const bool parameter = i > 0 && sql.at(i - 1) == QLatin1Char(':');
            if (!parameter && writes.contains(sql.mid(i, end - i).toUpper()))
                return true;
            i = end;
        } else {
            ++i;
        }
    }
    return false;
}

QString engineText(const QSqlError &error)
{
    const QString text = error.text().trimmed();
    return text.isEmpty() ? QStringLiteral("erro desconhecido do banco de dados.") : text;
}

// SQLite says of a prepared statement whether it writes, whatever its first word.
bool sqliteWrites(const QSqlQuery &query)
{
    const QVariant handle = query.result()->handle();
    if (qstrcmp(handle.typeName(), "sqlite3_stmt*") != 0)
        return false;
    sqlite3_stmt *stmt = *static_cast<sqlite3_stmt *const *>(handle.constData());
    return stmt && !sqlite3_stmt_readonly(stmt);
}

} // namespace

namespace Velmora {

bool IsReadOnlyText(const QString &text)
{
    const QString verb = firstWord(text);
    return (verb == QLatin1String("SELECT") || verb == QLatin1String("WITH")) &&
           !mentionsWrite(text);
}

QSqlQuery OpenStreamingRead(const QSqlDatabase &db, const QString &text,
                            const std::function<QVariant(const QString &name)> &valueOf)
{
    static const QString refusal =
        QStringLiteral("o texto deve ser um SELECT que não altere o banco de dados.");
    if (!IsReadOnlyText(text))
        throw EDatabaseError(refusal);
    QSqlQuery query(db);
    query.setForwardOnly(true);
    // Numeric columns come back as doubles on every driver, not as texts.
    query.setNumericalPrecisionPolicy(QSql::LowPrecisionDouble);
    if (!query.prepare(text))
        throw EDatabaseError(engineText(query.lastError()));
    if (sqliteWrites(query))
        throw EDatabaseError(refusal);
    // The colon belongs to the name: without it the drivers silently leave the value null.
    for (const QString &name : ParameterNames(text))
        query.bindValue(QLatin1Char(':') + name, valueOf(name));
    if (!query.exec())
        throw EDatabaseError(engineText(query.lastError()));
    return query;
}

} // namespace Velmora
