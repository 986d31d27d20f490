#include "DatabaseAccess.h"

#include "RequestLog.h"
#include "RpcError.h"
#include "SqliteStatement.h"
#include "rtl/Exceptions.h"

#include <QSqlError>

#include <sqlite3.h>

namespace AppServer {

namespace {
const char *const unavailable = "Banco de dados indisponível no momento; tente novamente.";
const char *const failed = "Falha ao consultar o banco de dados.";
thread_local bool mayWaitForLocks = true;

Velmora::ConnectionSettings connectionSettings(const Velmora::Settings &settings,
                                               bool waitsForLocks)
{
    Velmora::ConnectionSettings connection = Velmora::ConnectionSettings::fromSettings(settings);
    if (!waitsForLocks)
        connection.lockWaitMs = 0;
    return connection;
}

} // namespace

NoLockWaits::NoLockWaits() : m_before(mayWaitForLocks)
{
    mayWaitForLocks = false;
}

NoLockWaits::~NoLockWaits()
{
    mayWaitForLocks = m_before;
}

WorkerConnection::WorkerConnection(const Velmora::Settings &settings, bool waitsForLocks)
    : m_connection(connectionSettings(settings, waitsForLocks)), m_waitsForLocks(waitsForLocks)
{}

// Defined here, where SqliteStatement is complete; the members' order lets the statements go
// before the connection closes.
WorkerConnection::~WorkerConnection() = default;

void WorkerConnection::close()
{
    // Prepared on the old connection.
    m_sqliteStatements.clear();
    m_statements.clear();
    m_sqlite = nullptr;
    m_dataVersion.reset();
    m_connection.Close();
}

bool WorkerConnection::reopen(QString *failure)
{
    close();
    try {
        m_connection.Reconnect();
    } catch (const EDatabaseError &e) {
        if (failure)
            *failure = e.Message();
        return false;
    }
    if (m_connection.engine() == Velmora::Engine::SQLite) {
        m_sqlite = sqliteHandleOf(m_connection.Database());
        if (m_sqlite && !tuneForReading(m_sqlite))
            qCWarning(lcServer) << "a conexão SQLite recusou query_only";
    }
    return true;
}

SqliteStatement *WorkerConnection::sqlitePrepared(const std::string &sql)
{
    if (!m_sqlite)
        return nullptr;
    auto &statement = m_sqliteStatements[sql];
    if (!statement)
        statement = std::make_unique<SqliteStatement>(m_sqlite, sql);
    return statement.get();
}

namespace {

// The file change counter in the database header, when the file is in rollback-journal mode;
// empty otherwise (WAL leaves the counter alone). Every commit there raises the counter, at the
// latest as it commits, and SQLite itself reads these bytes to tell whether its cached pages
// still hold. Read without a lock: a value read before a commit's header write describes the
// file before that commit, one read after it makes the caller read again under a lock.
std::optional<long long> rollbackChangeCounter(sqlite3 *db)
{
    sqlite3_file *file = nullptr;
    if (sqlite3_file_control(db, "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK || !file ||
        !file->pMethods)
        return std::nullopt;
    unsigned char header[28];
    if (file->pMethods->xRead(file, header, sizeof header, 0) != SQLITE_OK)
        return std::nullopt;
    // Bytes 18 and 19, the write and read versions: 1 for rollback journals, 2 for WAL.
    if (header[18] != 1 || header[19] != 1)
        return std::nullopt;
    return static_cast<long long>(header[24]) << 24 | header[25] << 16 | header[26] << 8 |
           header[27];
}

} // namespace

std::optional<bool> WorkerConnection::sqliteChangedSinceAsked()
{
    if (!m_sqlite)
        return std::nullopt;
    // One read of the header instead of a read transaction (its locks and checks for a journal
    // cost a dozen system calls), where the file's mode allows.
    Version version;
    if (const std::optional<long long> counter = rollbackChangeCounter(m_sqlite)) {
        version = {Version::Source::ChangeCounter, *counter};
    } else {
        SqliteStatement *const query = sqlitePrepared("PRAGMA data_version");
        query->start();
        if (!query->step())
            throw DatabaseFailure("PRAGMA data_version sem resposta");
        version = {Version::Source::DataVersion, query->integer(0)};
        query->finish();
    }
    const bool changed = m_dataVersion != version;
    m_dataVersion = version;
    return changed;
}

QSqlQuery &WorkerConnection::prepared(const QString &sql)
{
    auto &statement = m_statements[sql];
    if (!statement) {
        std::unique_ptr<QSqlQuery> query;
        try {
            query = std::make_unique<QSqlQuery>(m_connection.Database());
        } catch (const EDatabaseError &e) {
            throw DatabaseFailure(e.Message().toStdString());
        }
        query->setForwardOnly(true);
        if (!query->prepare(sql))
            throw DatabaseFailure(query->lastError().text().toStdString());
        statement = std::move(query);
    }
    return *statement;
}

WorkerConnection::Writing::Writing(WorkerConnection &connection) : m_sqlite(connection.m_sqlite)
{
    if (m_sqlite &&
        sqlite3_exec(m_sqlite, "PRAGMA query_only = OFF", nullptr, nullptr, nullptr) != SQLITE_OK)
        throw DatabaseFailure(sqlite3_errmsg(m_sqlite));
}

WorkerConnection::Writing::~Writing()
{
    if (m_sqlite && !tuneForReading(m_sqlite))
        qCWarning(lcServer) << "a conexão SQLite recusou query_only";
}

WorkerConnection &DatabaseAccess::connectionOfThisThread()
{
    // Each thread keeps its connection until it ends. A thread either never waits for locks (a
    // connections' loop) or always may (a worker).
    thread_local std::unique_ptr<WorkerConnection> connection;
    if (!connection)
        connection = std::make_unique<WorkerConnection>(m_settings, mayWaitForLocks);
    return *connection;
}

// On a connections' loop only the plain case is answered: whatever fails there (a lock held by
// another program, a lost connection) is done again by a worker, which waits, reconnects and
// answers. The loop's connection is opened afresh at its next call.
DataPacket DatabaseAccess::runWithoutWaiting(WorkerConnection &connection, const Job &job)
{
    try {
        if (!connection.isOpen() && !connection.reopen(nullptr))
            throw WouldWait{};
        return job(connection);
    } catch (const DatabaseFailure &) {
        connection.close();
        throw WouldWait{};
    }
}

DataPacket DatabaseAccess::run(const Job &job)
{
    WorkerConnection &connection = connectionOfThisThread();
    if (!connection.waitsForLocks())
        return runWithoutWaiting(connection, job);
    QString failure;
    if (!connection.isOpen() && !connection.reopen(&failure))
        throw RpcError(RpcCode::DatabaseUnavailable, unavailable, failure.toStdString());
    try {
        return job(connection);
    } catch (const DatabaseFailure &first) {
        // The connection may have been lost under us (database restarted, network cut): reopen
        // it and repeat the job once. The jobs only read, so repeating one is harmless.
        if (!connection.reopen(&failure))
            throw RpcError(RpcCode::DatabaseUnavailable, unavailable,
                           std::string(first.what()) + " / " + failure.toStdString());
        qCInfo(lcServer).noquote() << "conexão ao banco reaberta após:" << first.what();
        try {
            return job(connection);
        } catch (const DatabaseFailure &again) {
            throw RpcError(RpcCode::DatabaseFailure, failed, again.what());
        }
    }
}

DataPacket DatabaseAccess::runWriting(const Job &job)
{
    if (!mayWaitForLocks)
        throw WouldWait{};
    WorkerConnection &connection = connectionOfThisThread();
    QString failure;
    if (!connection.isOpen() && !connection.reopen(&failure))
        throw RpcError(RpcCode::DatabaseUnavailable, unavailable, failure.toStdString());
    try {
        const WorkerConnection::Writing writing(connection);
        return job(connection);
    } catch (const DatabaseFailure &e) {
        connection.close();
        throw RpcError(RpcCode::DatabaseFailure, failed, e.what());
    }
}

} // namespace AppServer
