#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

// What the screen needs to run for real: a SQLite database holding a fixture, the report
// layouts, an application server over that database on a free loopback port, and the
// settings file that names them all. Every failure raises std::runtime_error with the
// tool's own output.
class ModuleEnvironment
{
public:
    // Creates the database (velmora-db create, then load fixture) and starts the server.
    explicit ModuleEnvironment(const QString &fixture);
    ~ModuleEnvironment();
    ModuleEnvironment(const ModuleEnvironment &) = delete;
    ModuleEnvironment &operator=(const ModuleEnvironment &) = delete;

    QString settingsFile() const;
    QString folder() const { return m_dir.path(); }
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
    // The call time-out the next settings file gives the screen.
    void setCallTimeout(int ms) { m_callTimeoutMs = ms; }
    // Points the settings at another port (a dead one, to make the server unreachable);
    // 0 puts the running server's port back.
    void writeSettings(int port = 0);
    // Installs the settings file in this process.
    void installSettings() const;

    // The calls of a method of the screen's data module that the server answered so far:
    // the server logs one line per answered request.
    int answeredCalls(const QString &method) const;

private:
    void run(const QStringList &arguments) const;

    QTemporaryDir m_dir;
    std::unique_ptr<QProcess> m_server;
    int m_port = 0;
    int m_callTimeoutMs = 5000;
};
