#include "BulkLoad.h"

#include "data/DBConnection.h"
#include "data/DriverHandle.h"
#include "data/FirebirdApi.h"
#include "rtl/Exceptions.h"

#include <QDate>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>

#include <cstdlib>
#include <cstring>
#include <libpq-fe.h>
#include <sqlite3.h>

namespace Velmora::Db {

namespace {

constexpr qint64 rowsBeforeWriting = 20000;

[[noreturn]] void failed(const QString &table, const QString &why)
{
    throw EDatabaseError(QStringLiteral("Erro ao gravar a tabela %1: %2").arg(table, why));
}

QString marks(int count)
{
    QStringList m;
    for (int i = 0; i < count; ++i)
        m << QStringLiteral("?");
    return m.join(QStringLiteral(", "));
}

QByteArray isoDate(const QDate &d)
{
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", d.year(), d.month(), d.day());
    return QByteArray(text);
}

// The engine's own handle under the Qt connection; the type names are the drivers' own.
template <class Handle>
Handle driverHandle(DBConnection &db, std::initializer_list<const char *> typeNames)
{
    if (const Handle h = DriverHandle<Handle>(db.Database(), typeNames))
        return h;
    throw EDatabaseError(QStringLiteral("O driver do banco de dados %1 não deu acesso à conexão.")
                             .arg(db.Settings().describe()));
}

} // namespace

// Writes the rows of one table.
class BulkLoad::Writer
{
public:
    virtual ~Writer() = default;
    virtual void write(const QVector<QVariantList> &rows) = 0;
};

// The transaction the writers run in.
class BulkLoad::Transaction
{
public:
    virtual ~Transaction() = default;
    virtual void commit() = 0;
    virtual void rollback() = 0;
};

namespace {

class QtTransaction : public BulkLoad::Transaction
{
public:
    explicit QtTransaction(DBConnection &db) : m_db(db) { m_db.StartTransaction(); }
    void commit() override { m_db.Commit(); }
    void rollback() override { m_db.Rollback(); }

private:
    DBConnection &m_db;
};

class SqliteWriter : public BulkLoad::Writer
{
public:
    SqliteWriter(sqlite3 *db, const QString &table, const QStringList &columns) : m_table(table)
    {
        const QByteArray sql =
            QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                .arg(table, columns.join(QStringLiteral(", ")), marks(int(columns.size())))
                .toUtf8();
        if (sqlite3_prepare_v2(db, sql.constData(), -1, &m_stmt, nullptr) != SQLITE_OK)
            failed(table, QString::fromUtf8(sqlite3_errmsg(db)));
    }
    ~SqliteWriter() override { sqlite3_finalize(m_stmt); }

    void write(const QVector<QVariantList> &rows) override
    {
        for (const QVariantList &row : rows) {
            for (int i = 0; i < row.size(); ++i)
                bind(i + 1, row.at(i));
            if (sqlite3_step(m_stmt) != SQLITE_DONE) {
                const QString why = QString::fromUtf8(sqlite3_errmsg(sqlite3_db_handle(m_stmt)));
                sqlite3_reset(m_stmt);
                failed(m_table, why);
            }
            sqlite3_reset(m_stmt);
        }
    }

private:
    void bind(int i, const QVariant &v)
    {
        switch (v.metaType().id()) {
        case QMetaType::UnknownType:
            sqlite3_bind_null(m_stmt, i);
            break;
        case QMetaType::QDate: {
            const QByteArray text = isoDate(v.toDate());
            sqlite3_bind_text(m_stmt, i, text.constData(), int(text.size()), SQLITE_TRANSIENT);
            break;
        }
        case QMetaType::Double:
            sqlite3_bind_double(m_stmt, i, v.toDouble());
            break;
        case QMetaType::Int:
        case QMetaType::LongLong:
            sqlite3_bind_int64(m_stmt, i, v.toLongLong());
            break;
        default: {
            // A null pointer would bind NULL: an empty text stays a text.
            const QByteArray text = v.toString().toUtf8();
            sqlite3_bind_text(m_stmt, i, text.isNull() ? "" : text.constData(), int(text.size()),
                              SQLITE_TRANSIENT);
        }
        }
    }

    QString m_table;
    sqlite3_stmt *m_stmt = nullptr;
};

// COPY ... FROM STDIN: the rows travel as data in COPY's text format.
class PostgresWriter : public BulkLoad::Writer
{
public:
    PostgresWriter(PGconn *conn, const QString &table, const QStringList &columns)
        : m_conn(conn), m_table(table), m_copy(QStringLiteral("COPY %1 (%2) FROM STDIN")
                                                   .arg(table, columns.join(QStringLiteral(", ")))
                                                   .toUtf8())
    {}

    void write(const QVector<QVariantList> &rows) override
    {
        if (rows.isEmpty())
            return;
        PGresult *start = PQexec(m_conn, m_copy.constData());
        const bool copying = PQresultStatus(start) == PGRES_COPY_IN;
        const QString why = QString::fromUtf8(PQerrorMessage(m_conn));
        PQclear(start);
        if (!copying)
            failed(m_table, why);
        QByteArray data;
        for (const QVariantList &row : rows) {
            for (int i = 0; i < row.size(); ++i) {
                if (i)
                    data += '\t';
                append(data, row.at(i));
            }
            data += '\n';
            if (data.size() > (1 << 20)) {
                send(data);
                data.clear();
            }
        }
        send(data);
        if (PQputCopyEnd(m_conn, nullptr) != 1)
            failed(m_table, QString::fromUtf8(PQerrorMessage(m_conn)));
        PGresult *end = PQgetResult(m_conn);
        const bool ok = PQresultStatus(end) == PGRES_COMMAND_OK;
        const QString result = QString::fromUtf8(PQresultErrorMessage(end));
        PQclear(end);
        while (PGresult *more = PQgetResult(m_conn))
            PQclear(more);
        if (!ok)
            failed(m_table, result.trimmed());
    }

private:
    void send(const QByteArray &data)
    {
        if (!data.isEmpty() && PQputCopyData(m_conn, data.constData(), int(data.size())) != 1)
            failed(m_table, QString::fromUtf8(PQerrorMessage(m_conn)));
    }

    static void append(QByteArray &out, const QVariant &v)
    {
        switch (v.metaType().id()) {
        case QMetaType::UnknownType:
            out += "\\N";
            return;
        case QMetaType::QDate:
            out += isoDate(v.toDate());
            return;
        case QMetaType::Double:
            out += QByteArray::number(v.toDouble(), 'g', 17);
            return;
        default:
            break;
        }
        const QByteArray text = v.toString().toUtf8();
        for (const char c : text) {
            switch (c) {
            case '\\':
                out += "\\\\";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            default:
                out += c;
            }
        }
    }

    PGconn *m_conn;
    QString m_table;
    QByteArray m_copy;
};

// Firebird: a write transaction of its own on the driver's attachment.
class FirebirdTransaction : public BulkLoad::Transaction
{
public:
    FirebirdTransaction(const FirebirdApi &fb, isc_db_handle db) : m_fb(fb), m_db(db) { start(); }
    ~FirebirdTransaction() override
    {
        if (m_tr)
            rollback();
    }
    void commit() override
    {
        ISC_STATUS_ARRAY status{};
        if (m_fb.commitTransaction(status, &m_tr))
            throw EDatabaseError(QStringLiteral("Não foi possível confirmar a gravação: %1")
                                     .arg(m_fb.message(status)));
        m_tr = 0;
    }
    void rollback() override
    {
        ISC_STATUS_ARRAY status{};
        m_fb.rollbackTransaction(status, &m_tr);
        m_tr = 0;
    }
    void start()
    {
        static const char tpb[] = {isc_tpb_version3, isc_tpb_write, isc_tpb_concurrency,
                                   isc_tpb_wait};
        ISC_STATUS_ARRAY status{};
        if (m_fb.startTransaction(status, &m_tr, 1, &m_db, int(sizeof tpb), tpb))
            throw EDatabaseError(QStringLiteral("Não foi possível iniciar a gravação: %1")
                                     .arg(m_fb.message(status)));
    }
    isc_db_handle *database() { return &m_db; }
    isc_tr_handle *transaction() { return &m_tr; }

private:
    const FirebirdApi &m_fb;
    isc_db_handle m_db;
    isc_tr_handle m_tr = 0;
};

class FirebirdWriter : public BulkLoad::Writer
{
public:
    FirebirdWriter(const FirebirdApi &fb, FirebirdTransaction &tr, const QString &table,
                   const QStringList &columns)
        : m_fb(fb), m_tr(tr), m_table(table), m_columns(int(columns.size()))
    {
        m_sql = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                    .arg(table, columns.join(QStringLiteral(", ")), marks(m_columns))
                    .toUtf8();
        m_in = static_cast<XSQLDA *>(std::calloc(1, XSQLDA_LENGTH(m_columns)));
        m_in->version = SQLDA_VERSION1;
        m_in->sqln = static_cast<ISC_SHORT>(m_columns);
        m_in->sqld = static_cast<ISC_SHORT>(m_columns);
    }
    ~FirebirdWriter() override
    {
        release();
        std::free(m_in);
    }

    // A statement belongs to the transaction it was prepared in.
    void release()
    {
        if (m_stmt) {
            ISC_STATUS_ARRAY status{};
            m_fb.freeStatement(status, &m_stmt, DSQL_drop);
            m_stmt = 0;
        }
    }

    void write(const QVector<QVariantList> &rows) override
    {
        ISC_STATUS_ARRAY status{};
        if (!m_stmt) {
            if (m_fb.allocateStatement(status, m_tr.database(), &m_stmt) ||
                m_fb.prepare(status, m_tr.transaction(), &m_stmt, 0, m_sql.constData(),
                             SQL_DIALECT_V6, nullptr))
                failed(m_table, m_fb.message(status));
        }
        std::vector<QByteArray> storage(static_cast<size_t>(m_columns));
        std::vector<ISC_SHORT> nulls(static_cast<size_t>(m_columns));
        for (const QVariantList &row : rows) {
            for (int i = 0; i < m_columns; ++i)
                FirebirdBind(m_in->sqlvar[i], row.at(i), storage[size_t(i)], nulls[size_t(i)]);
            if (m_fb.execute(status, m_tr.transaction(), &m_stmt, SQL_DIALECT_V6, m_in))
                failed(m_table, m_fb.message(status));
        }
    }

private:
    const FirebirdApi &m_fb;
    FirebirdTransaction &m_tr;
    QString m_table;
    int m_columns;
    QByteArray m_sql;
    XSQLDA *m_in = nullptr;
    isc_stmt_handle m_stmt = 0;
};

class QtWriter : public BulkLoad::Writer
{
public:
    QtWriter(DBConnection &db, const QString &table, const QStringList &columns)
        : m_query(db.Database()), m_table(table), m_engine(db.engine())
    {
        if (!m_query.prepare(
                QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                    .arg(table, columns.join(QStringLiteral(", ")), marks(int(columns.size())))))
            failed(table, m_query.lastError().text());
    }
    void write(const QVector<QVariantList> &rows) override
    {
        for (const QVariantList &row : rows) {
            for (int i = 0; i < row.size(); ++i)
                m_query.bindValue(i, ToEngineValue(row.at(i), m_engine));
            if (!m_query.exec())
                failed(m_table, m_query.lastError().text());
        }
    }

private:
    QSqlQuery m_query;
    QString m_table;
    Engine m_engine;
};

} // namespace

BulkLoad::BulkLoad(DBConnection &db) : m_db(db)
{
    m_db.Open();
    if (m_db.engine() == Engine::Firebird) {
        const isc_db_handle handle = driverHandle<isc_db_handle>(m_db, {"uint", "isc_db_handle"});
        m_transaction = std::make_unique<FirebirdTransaction>(FirebirdApi::get(), handle);
    } else {
        m_transaction = std::make_unique<QtTransaction>(m_db);
    }
    m_open = true;
}

BulkLoad::~BulkLoad()
{
    for (Table &t : m_tables)
        t.writer.reset();
    if (m_open) {
        try {
            m_transaction->rollback();
        } catch (const EDatabaseError &) {
            // Nothing more to undo than the rollback could.
        }
    }
}

int BulkLoad::AddTable(const QString &table, const QStringList &columns)
{
    Table t;
    t.name = table;
    t.columns = columns;
    switch (m_db.engine()) {
    case Engine::SQLite:
        t.writer = std::make_unique<SqliteWriter>(driverHandle<sqlite3 *>(m_db, {"sqlite3*"}),
                                                  table, columns);
        break;
    case Engine::PostgreSQL:
        t.writer = std::make_unique<PostgresWriter>(
            driverHandle<PGconn *>(m_db, {"PGconn*", "pg_conn*"}), table, columns);
        break;
    case Engine::Firebird:
        t.writer = std::make_unique<FirebirdWriter>(
            FirebirdApi::get(), static_cast<FirebirdTransaction &>(*m_transaction), table, columns);
        break;
    default:
        t.writer = std::make_unique<QtWriter>(m_db, table, columns);
    }
    m_tables.push_back(std::move(t));
    return int(m_tables.size()) - 1;
}

void BulkLoad::Add(int table, const QVariantList &row)
{
    m_tables[size_t(table)].pending << row;
    if (++m_waiting >= rowsBeforeWriting)
        writeAll();
}

void BulkLoad::writeAll()
{
    for (Table &t : m_tables) {
        t.writer->write(t.pending);
        t.written += t.pending.size();
        t.pending.clear();
    }
    m_waiting = 0;
}

void BulkLoad::Commit(bool last)
{
    writeAll();
    if (m_db.engine() == Engine::Firebird)
        for (Table &t : m_tables)
            static_cast<FirebirdWriter &>(*t.writer).release();
    m_transaction->commit();
    m_open = false;
    if (!last) {
        if (m_db.engine() == Engine::Firebird)
            static_cast<FirebirdTransaction &>(*m_transaction).start();
        else
            m_db.StartTransaction();
        m_open = true;
    }
}

qint64 BulkLoad::Written(int table) const
{
    return m_tables[size_t(table)].written;
}

} // namespace Velmora::Db
