#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

// velmora-appserver as a child process. start() waits for its "porta: N" line.
class ServerProcess
{
public:
    ~ServerProcess() { kill(); }

    // Starts the server on the given port (0: a free one); false when it did not come up, with
    // its output in errorOutput().
    bool start(const QString &configPath, int port = 0, const QStringList &extra = {});
    int port() const { return m_port; }
    qint64 pid() const { return m_process.processId(); }
    void kill();
    // The exit status once the process ended by itself within the time, else -1.
    int exitStatus(int timeoutMs);
    // What the server wrote on standard error since the last call.
    QString errorOutput();
    // Waits up to timeoutMs for the server to write anything (standard output or error).
    void waitForOutput(int timeoutMs) { m_process.waitForReadyRead(timeoutMs); }

private:
    QProcess m_process;
    int m_port = -1;
};
