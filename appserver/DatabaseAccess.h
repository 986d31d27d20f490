#pragma once

#include "DataPacket.h"
#include "data/DBConnection.h"
#include "rtl/Settings.h"

#include <QSqlQuery>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <unordered_map>

struct sqlite3;

namespace AppServer {

class SqliteStatement;

// Raised by a job when a statement fails; the text is the driver's, for the log only.
class DatabaseFailure : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// Raised by DatabaseAccess::run on a thread that must not wait (see NoLockWaits), in place of
// waiting for another connection's lock, reconnecting or failing. Not an std::exception, so
// that the handlers turning failures into answers let it pass: the caller hands the call to a
// worker, which may wait.
struct WouldWait
{
};

// While alive, the jobs run on this thread raise WouldWait instead of waiting for a lock or
// failing.
class NoLockWaits
{
public:
    NoLockWaits();
    ~NoLockWaits();
    NoLockWaits(const NoLockWaits &) = delete;
    NoLockWaits &operator=(const NoLockWaits &) = delete;

private:
    bool m_before;
};

// The database connection of one worker thread (a Qt SQL connection belongs to the thread that
// opened it), with its statements prepared once and reused.
class WorkerConnection
{
public:
    // A connection that does not wait for locks fails at once where another connection holds
    // one.
    WorkerConnection(const Velmora::Settings &settings, bool waitsForLocks);
    ~WorkerConnection();

    bool isOpen() const { return m_connection.Connected(); }
    // Opens the connection afresh; false with the reason in *failure.
    bool reopen(QString *failure);
    Velmora::Engine engine() const { return m_connection.engine(); }
    // The statement prepared on this connection; raises DatabaseFailure when it does not prepare.
    QSqlQuery &prepared(const QString &sql);

    // On SQLite, the statement prepared on the library's own handle (see SqliteStatement);
    // null on other engines, which go through prepared().
    SqliteStatement *sqlitePrepared(const std::string &sql);

    // On SQLite, whether any other connection, of this process or another, committed since this
    // one last asked; true at the first question after the connection (re)opened. Empty on other
    // engines. Raises DatabaseFailure.
    std::optional<bool> sqliteChangedSinceAsked();

    bool waitsForLocks() const { return m_waitsForLocks; }
    void close();

    // The framework's connection under this one, for the stores that go through it (the report
    // queue). On SQLite it refuses writes unless a Writing is alive.
    Velmora::DBConnection &database() { return m_connection; }

    // While alive, the connection may write: SQLite's query_only is lifted, and set again after.
    class Writing
    {
    public:
        explicit Writing(WorkerConnection &connection);
        ~Writing();
        Writing(const Writing &) = delete;
        Writing &operator=(const Writing &) = delete;

    private:
        sqlite3 *m_sqlite;
    };

private:
    Velmora::DBConnection m_connection;
    sqlite3 *m_sqlite = nullptr; // the handle under m_connection while it is open on SQLite
    // What says whether the database changed, as last read on this connection.
    struct Version
    {
        enum class Source { ChangeCounter, DataVersion } source;
        long long value;
        bool operator==(const Version &) const = default;
    };
    std::optional<Version> m_dataVersion;
    bool m_waitsForLocks;
    // Declared after the connection: the statements let go of it before it closes.
    std::unordered_map<QString, std::unique_ptr<QSqlQuery>> m_statements;
    std::unordered_map<std::string, std::unique_ptr<SqliteStatement>> m_sqliteStatements;
};

// Runs database jobs on the calling worker thread, over that thread's own connection, opened
// at its first job. A connection that was lost is reopened at the next job, so the server
// recovers by itself once the database is back.
class DatabaseAccess
{
public:
    using Job = std::function<DataPacket(WorkerConnection &)>;

    explicit DatabaseAccess(const Velmora::Settings &settings) : m_settings(settings) {}

    // Raises RpcError when the database is unavailable, when the job's statements fail even
    // after a reconnect, or whatever RpcError the job raises; under NoLockWaits, WouldWait
    // where the statements fail.
    DataPacket run(const Job &job);
    // Runs a job that writes. Never on a connections' loop: there it raises WouldWait at once,
    // so the call goes to a worker. Not repeated after a failure, as the write may have been
    // made: the connection is closed instead, and opened afresh at the next job. A failure the
    // job does not turn into an RpcError itself is DatabaseFailure's answer.
    DataPacket runWriting(const Job &job);

private:
    WorkerConnection &connectionOfThisThread();
    static DataPacket runWithoutWaiting(WorkerConnection &connection, const Job &job);

    Velmora::Settings m_settings;
};

} // namespace AppServer
