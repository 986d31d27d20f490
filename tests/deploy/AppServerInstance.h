#pragma once

#include <QProcess>
#include <QString>

// One velmora-appserver process on a free loopback port, under what its systemd unit imposes
// that a process can impose on itself: no new privileges, and no memory that is both writable
// and executable (the kernel's MDWE, the mechanism behind MemoryDenyWriteExecute=). Its log
// goes to a file of its own. Failures raise std::runtime_error with the server's output.
class AppServerInstance
{
public:
    AppServerInstance(const QString &settingsFile, const QString &logFile);
    ~AppServerInstance();
    AppServerInstance(const AppServerInstance &) = delete;
    AppServerInstance &operator=(const AppServerInstance &) = delete;

    int port() const { return m_port; }
    qint64 pid() const { return m_process.processId(); }
    // Ends it at once, as a crash or kill -9 would.
    void kill();
    // Stops it without ending it: it accepts connections and reads nothing.
    void pause();
    // Requests it logged as answered; those of one target ("GET /rpc",
    // "Fis01400.rdmDocForne.GetDtIni") when one is given.
    int answered(const QString &target = {}) const;
    // A call waits unread on one of its connections.
    bool holdsUnreadCall() const;

    // Whether this kernel refuses writable and executable memory on request (Linux 6.3 on).
    static bool canDenyWriteExecute();

private:
    QProcess m_process;
    QString m_log;
    int m_port = 0;
};
