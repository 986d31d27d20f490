#pragma once

#include "DatabaseKind.h"
#include "data_global.h"

#include <QObject>
#include <QSqlDatabase>
#include <QString>
#include <QVariantList>

#include <memory>

namespace Velmora {

struct Settings;

// Where a connection goes: the [Database] keys of the settings.
struct VELMORA_DATA_EXPORT ConnectionSettings
{
    QString driver = QStringLiteral("QSQLITE");
    QString database; // file path (SQLite, embedded Firebird) or database name on a server
    QString host;
    int port = 0;
    QString user;
    QString password;
    // A missing SQLite file is an error unless the caller means to create the database.
    bool createIfMissing = false;
    // SQLite: how long a statement waits for another connection's lock before it fails.
    int lockWaitMs = 5000;

    static ConnectionSettings fromSettings(const Settings &settings);
    Engine engine() const { return EngineOfDriver(driver); }
    // "'demo.sqlite' (SQLite)", "'velmora' em 127.0.0.1:5432 (PostgreSQL)": for messages.
    QString describe() const;
};

// One Qt SQL connection and its kind. It connects on first use, raises EDatabaseError with a
// Portuguese message on every failure, and registers the dialect routines that SQLite keeps
// per connection. Like every Qt SQL connection it belongs to the thread that made it.
class VELMORA_DATA_EXPORT DBConnection : public QObject
{
    Q_OBJECT

public:
    // What an engine keeps for one connect (Firebird: the read transaction of the queries);
    // dropped before the Qt connection closes.
    struct SessionState
    {
        virtual ~SessionState() = default;
    };

    explicit DBConnection(const ConnectionSettings &settings, QObject *parent = nullptr);
    ~DBConnection() override;

    const ConnectionSettings &Settings() const { return m_settings; }
    Engine engine() const { return m_settings.engine(); }
    DatabaseKind Kind() const { return KindOfEngine(engine()); }

    bool Connected() const;
    // Connects when not connected; raises EDatabaseError naming the database on failure.
    void Open();
    void Close();
    // Closes and connects again: the way back after the server dropped the connection.
    void Reconnect();
    // Whether the database still answers a trivial statement.
    bool Alive();
    // Counts successful connects: a statement prepared under an older generation is stale.
    quint64 Generation() const { return m_generation; }

    // The open Qt connection (connects first).
    QSqlDatabase Database();

    // Runs a statement that returns no rows, binding values to its placeholders in order.
    void Execute(const QString &sql, const QVariantList &values = {});

    SessionState *Session() const { return m_session.get(); }
    void SetSession(std::unique_ptr<SessionState> state) { m_session = std::move(state); }

    void StartTransaction();
    void Commit();
    void Rollback();
    bool InTransaction() const { return m_inTransaction; }

signals:
    // Emitted before the Qt connection closes, so statements prepared on it let go first.
    void AboutToClose();

private:
    void configure();
    void afterOpen();
    [[noreturn]] void fail(const QString &what, const QString &detail) const;

    ConnectionSettings m_settings;
    QString m_name;
    QSqlDatabase m_db;
    std::unique_ptr<SessionState> m_session;
    quint64 m_generation = 0;
    bool m_inTransaction = false;
};

// Points the Firebird client at the project's configuration folder (ServerMode SuperClassic,
// so the host, the application server and the tools share one embedded database) and at a
// lock folder of this user, unless FIREBIRD and FIREBIRD_LOCK already name them. Runs before
// the client library first starts; a connection calls it by itself.
VELMORA_DATA_EXPORT void PrepareFirebirdEnvironment();

// A value as the engine stores it: dates (TDateTime, QDate) become "YYYY-MM-DD" text on
// SQLite and QDate/QDateTime elsewhere; an invalid QVariant is NULL, while a QString is
// always a text (a null QString is the empty text, which the drivers would bind as NULL).
VELMORA_DATA_EXPORT QVariant ToEngineValue(const QVariant &value, Engine engine);

} // namespace Velmora
