#include "ServerProcess.h"

#include <QDeadlineTimer>

bool ServerProcess::start(const QString &configPath, int port, const QStringList &extra)
{
    kill();
    m_process.setProgram(QStringLiteral(APPSERVER_BIN));
    m_process.setArguments(QStringList{QStringLiteral("--config"), configPath,
                                       QStringLiteral("--port"), QString::number(port)} +
                           extra);
    m_process.start();
    if (!m_process.waitForStarted(5000))
        return false;
    QDeadlineTimer deadline(10000);
    while (!m_process.canReadLine() && !deadline.hasExpired() &&
           m_process.state() == QProcess::Running)
        m_process.waitForReadyRead(100);
    const QByteArray line = m_process.readLine().trimmed();
    if (!line.startsWith("porta: "))
        return false;
    m_port = line.mid(7).toInt();
    return m_port > 0;
}

void ServerProcess::kill()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    m_port = -1;
}

QString ServerProcess::errorOutput()
{
    return QString::fromUtf8(m_process.readAllStandardError());
}

int ServerProcess::exitStatus(int timeoutMs)
{
    if (m_process.state() != QProcess::NotRunning && !m_process.waitForFinished(timeoutMs))
        return -1;
    return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
}
