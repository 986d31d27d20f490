#include "StreamingRead.h"

#include "DatabaseKind.h"
#include "DriverHandle.h"
#include "StreamingRead_p.h"
#include "TParams.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QSqlResult>

#include <libpq-fe.h>
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

// Whether the engine refused the statement because it would write: PostgreSQL inside a
// read-only transaction, SQLite on a connection in query_only (any extended code of
// SQLITE_READONLY).
bool engineRefusedWrite(const QSqlError &error, Velmora::Engine engine)
{
    const QString code = error.nativeErrorCode();
    switch (engine) {
    case Velmora::Engine::PostgreSQL:
        return code == QLatin1String("25006");
    case Velmora::Engine::SQLite: {
        bool number = false;
        const int n = code.toInt(&number);
        return number && (n & 0xff) == SQLITE_READONLY;
    }
    default:
        return false;
    }
}

[[noreturn]] void raise(const QSqlError &error, Velmora::Engine engine)
{
    if (engineRefusedWrite(error, engine))
        throw Velmora::EWriteRefused(engineText(error));
    throw EDatabaseError(engineText(error));
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

// The read-only transaction of a read on PostgreSQL. Outside a transaction the read has one
// of its own; inside one (a caller's open transaction on a shared connection) a savepoint is
// made read-only, and rolling back to it gives the caller's transaction its mode back.
class PostgresReadOnly
{
public:
    explicit PostgresReadOnly(const QSqlDatabase &db) : m_db(db)
    {
        PGconn *pg = Velmora::DriverHandle<PGconn *>(db, {"PGconn*", "pg_conn*"});
        m_nested = pg && PQtransactionStatus(pg) != PQTRANS_IDLE;
        if (m_nested) {
            run("SAVEPOINT velmora_leitura");
            m_open = true;
            run("SET TRANSACTION READ ONLY");
        } else {
            run("BEGIN READ ONLY");
            m_open = true;
        }
    }
    ~PostgresReadOnly() { end(); }
    PostgresReadOnly(const PostgresReadOnly &) = delete;
    PostgresReadOnly &operator=(const PostgresReadOnly &) = delete;

    // Nothing was written: rolled back either way, which also clears a failed state.
    void end() noexcept
    {
        if (!m_open)
            return;
        m_open = false;
        QSqlQuery q(m_db);
        if (m_nested) {
            q.exec(QStringLiteral("ROLLBACK TO SAVEPOINT velmora_leitura"));
            q.exec(QStringLiteral("RELEASE SAVEPOINT velmora_leitura"));
        } else {
            q.exec(QStringLiteral("ROLLBACK"));
        }
    }

private:
    void run(const char *sql)
    {
        QSqlQuery q(m_db);
        if (!q.exec(QLatin1String(sql))) {
            const QSqlError error = q.lastError();
            end();
            throw EDatabaseError(engineText(error));
        }
    }

    QSqlDatabase m_db;
    bool m_nested = false;
    bool m_open = false;
};

// A read through Qt SQL (SQLite, PostgreSQL), with PostgreSQL's read-only transaction ended
// once the rows are let go.
class QtCursor : public Velmora::StreamingRead::Cursor
{
public:
    QtCursor(const QSqlDatabase &db, Velmora::Engine engine) : m_query(db), m_engine(engine)
    {
        if (engine == Velmora::Engine::PostgreSQL)
            m_transaction = std::make_unique<PostgresReadOnly>(db);
        m_query.setForwardOnly(true);
        // Numeric columns come back as doubles on every driver, not as texts.
        m_query.setNumericalPrecisionPolicy(QSql::LowPrecisionDouble);
    }
    ~QtCursor() override
    {
        // The rows go first, then the transaction ends, then the statement is let go (which
        // an aborted transaction would refuse).
        m_query.finish();
        if (m_transaction)
            m_transaction->end();
        m_query.clear();
    }

    void open(const QString &text, const std::function<QVariant(const QString &name)> &valueOf)
    {
        if (!m_query.prepare(text))
            raise(m_query.lastError(), m_engine);
        if (sqliteWrites(m_query))
            throw Velmora::EWriteRefused(
                QStringLiteral("o SQLite diz que o comando altera dados."));
        // The colon belongs to the name: without it the drivers silently leave the value null.
        for (const QString &name : ParameterNames(text))
            m_query.bindValue(QLatin1Char(':') + name, valueOf(name));
        if (!m_query.exec())
            raise(m_query.lastError(), m_engine);
        const QSqlRecord record = m_query.record();
        for (int i = 0; i < record.count(); ++i)
            m_names << record.fieldName(i);
    }

    QStringList fieldNames() const override { return m_names; }

    bool next() override
    {
        if (m_query.next())
            return true;
        if (m_query.lastError().isValid())
            raise(m_query.lastError(), m_engine);
        return false;
    }

    QVariant value(int column) const override { return m_query.value(column); }

private:
    // Declared first, so that it ends after the query let its rows go.
    std::unique_ptr<PostgresReadOnly> m_transaction;
    QSqlQuery m_query;
    Velmora::Engine m_engine;
    QStringList m_names;
};

} // namespace

namespace Velmora {

EWriteRefused::~EWriteRefused() = default;

bool IsReadOnlyText(const QString &text)
{
    const QString verb = firstWord(text);
    return (verb == QLatin1String("SELECT") || verb == QLatin1String("WITH")) &&
           !mentionsWrite(text);
}

StreamingRead OpenStreamingRead(const QSqlDatabase &db, const QString &text,
                                const std::function<QVariant(const QString &name)> &valueOf)
{
    if (!IsReadOnlyText(text))
        throw EWriteRefused(
            QStringLiteral("o texto deve ser um SELECT que não altere o banco de dados."));
    const Engine engine = EngineOfDriver(db.driverName());
    if (engine == Engine::Firebird)
        return StreamingRead(Internal::OpenFirebirdRead(db, text, valueOf));
    auto cursor = std::make_unique<QtCursor>(db, engine);
    cursor->open(text, valueOf);
    return StreamingRead(std::move(cursor));
}

} // namespace Velmora
