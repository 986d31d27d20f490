#include "AppServerInstance.h"

#include <QElapsedTimer>
#include <QFile>

#include <csignal>
#include <stdexcept>
#include <sys/prctl.h>

// Older C library headers lack the kernel's MDWE requests.
#ifndef PR_SET_MDWE
#define PR_SET_MDWE 65
#define PR_GET_MDWE 66
#define PR_MDWE_REFUSE_EXEC_GAIN 1
#endif

bool AppServerInstance::canDenyWriteExecute()
{
    return ::prctl(PR_GET_MDWE, 0, 0, 0, 0) >= 0;
}

AppServerInstance::AppServerInstance(const QString &settingsFile, const QString &logFile)
    : m_log(logFile)
{
    const bool denyWriteExecute = canDenyWriteExecute();
    m_process.setChildProcessModifier([denyWriteExecute] {
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0);
        if (denyWriteExecute && ::prctl(PR_SET_MDWE, PR_MDWE_REFUSE_EXEC_GAIN, 0, 0, 0) != 0)
            ::_exit(97);
    });
    m_process.setStandardErrorFile(m_log, QIODevice::Append);
    m_process.start(
        QStringLiteral(VELMORA_APPSERVER),
        {QStringLiteral("--config"), settingsFile, QStringLiteral("--port"), QStringLiteral("0")});
    QByteArray out;
    QElapsedTimer clock;
    clock.start();
    while (!out.contains('\n') && clock.elapsed() < 30000 &&
           m_process.state() != QProcess::NotRunning) {
        m_process.waitForReadyRead(200);
        out += m_process.readAllStandardOutput();
    }
    const QByteArray line = out.left(out.indexOf('\n')).trimmed();
    if (!line.startsWith("porta: ")) {
        QFile log(m_log);
        (void)log.open(QIODevice::ReadOnly);
        throw std::runtime_error(
            QStringLiteral("velmora-appserver não informou a porta (saída %1): %2 %3")
                .arg(m_process.exitCode())
                .arg(QString::fromUtf8(out), QString::fromUtf8(log.readAll()))
                .toStdString());
    }
    m_port = line.mid(7).toInt();
}

AppServerInstance::~AppServerInstance()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    ::kill(static_cast<pid_t>(m_process.processId()), SIGCONT);
    if (!m_process.waitForFinished(10000))
        m_process.kill();
    m_process.waitForFinished(5000);
}

void AppServerInstance::kill()
{
    m_process.kill();
    m_process.waitForFinished(5000);
}

void AppServerInstance::pause()
{
    ::kill(static_cast<pid_t>(m_process.processId()), SIGSTOP);
}

int AppServerInstance::answered(const QString &target) const
{
    QFile log(m_log);
    if (!log.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray wanted = (QLatin1Char(' ') + target + QLatin1Char(' ')).toUtf8();
    int count = 0;
    for (const QByteArray &line : log.readAll().split('\n'))
        if ((target.isEmpty() || line.contains(wanted)) && line.contains(" ms ok"))
            ++count;
    return count;
}

bool AppServerInstance::holdsUnreadCall() const
{
    // /proc/net/tcp: local address, remote address, state, "tx_queue:rx_queue", in hex.
    QFile table(QStringLiteral("/proc/net/tcp"));
    if (!table.open(QIODevice::ReadOnly))
        return false;
    const QByteArray local =
        "0100007F:" + QByteArray::number(m_port, 16).toUpper().rightJustified(4, '0');
    for (const QByteArray &line : table.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() < 5 || fields.at(1) != local || fields.at(3) != "01")
            continue;
        if (fields.at(4).split(':').value(1).toULongLong(nullptr, 16) > 0)
            return true;
    }
    return false;
}
