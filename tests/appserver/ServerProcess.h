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
    QString errorOutput();

private:
    QProcess m_process;
    int m_port = -1;
};
