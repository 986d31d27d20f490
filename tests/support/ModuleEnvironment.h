#pragma once

#include "TestDatabases.h"

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

// The module a test runs: its package (the host loads it by name), the folder of its report
// layouts, and the name of its data module on the application server.
struct ModuleSpec
{
    QString package;
    QString layouts;
    QString dataModule;
};

// What a module's screen needs to run for real: a fresh database holding a fixture, the
// module's report layouts, an application server over that database on a free loopback port,
// and the settings file that names them all. Every failure raises std::runtime_error with the
// tool's own output (an engine whose service is missing raises EDatabaseError).
class ModuleEnvironment
{
public:
    // Creates the database on the engine (one of Velmora::Test::EngineNames()) with
    // velmora-db create, then load fixture, and starts the server over it.
    ModuleEnvironment(const ModuleSpec &module, const QString &fixture,
                      const QString &engine = QStringLiteral("sqlite"));
    ~ModuleEnvironment();
    ModuleEnvironment(const ModuleEnvironment &) = delete;
    ModuleEnvironment &operator=(const ModuleEnvironment &) = delete;

    QString settingsFile() const;
    QString folder() const { return m_dir.path(); }
    QString engine() const { return m_engine; }
    int serverPort() const { return m_port; }

    // On a free port, or on the port given (a restart where the screen expects it).
    void startServer(int port = 0);
    void stopServer();
    // Ends the server at once, as a crash or kill -9 would.
    void killServer();
    // Stops the server's process without ending it: it accepts but never answers. Resumed by
    // resumeServer().
    void pauseServer();
    void resumeServer();
    // The database port the next settings file gives (a relay in front of the database
    // server); 0 gives the database's own.
    void setDatabasePort(int port) { m_databasePort = port; }
    // The call time-out the next settings file gives the screen.
    void setCallTimeout(int ms) { m_callTimeoutMs = ms; }
    // Points the settings at another port (a dead one, to make the server unreachable);
    // 0 puts the running server's port back.
    void writeSettings(int port = 0);
    // Installs the settings file in this process.
    void installSettings() const;

    // The calls of a method of the module's data module that the server answered so far:
    // the server logs one line per answered request.
    int answeredCalls(const QString &method) const;

    // Loads one more fixture (velmora-db load) into the database.
    void load(const QString &fixture) const;
    // The test's own connection to the database, to check what the screen wrote or read.
    Velmora::DBConnection &connection() { return m_database->Connection(); }
    const Velmora::ConnectionSettings &databaseSettings() const { return m_database->Settings(); }

private:
    void run(const QStringList &arguments) const;

    ModuleSpec m_module;
    QTemporaryDir m_dir;
    QString m_engine;
    std::unique_ptr<Velmora::Test::ScratchDatabase> m_database;
    std::unique_ptr<QProcess> m_server;
    int m_port = 0;
    int m_callTimeoutMs = 5000;
    int m_databasePort = 0;
};
