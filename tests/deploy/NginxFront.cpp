#include "NginxFront.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#include <csignal>
#include <grp.h>
#include <stdexcept>
#include <sys/prctl.h>
#include <unistd.h>

namespace {

constexpr uid_t nobody = 65534;

[[noreturn]] void fail(const QString &what)
{
    throw std::runtime_error(what.toStdString());
}

int freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    return probe.serverPort();
}

} // namespace

QByteArray SiteForTest(const QByteArray &site, const QList<int> &servers, int port,
                       const QString &folder)
{
    static const QRegularExpression upstreamServer(
        QStringLiteral("^(\\s*server\\s+)\\S+:\\d+(\\s[^;]*)?;"));
    static const QRegularExpression listen(QStringLiteral("^\\s*listen\\s"));
    static const QRegularExpression log(
        QStringLiteral("^(\\s*)(access_log|error_log)\\s+[^\\s;]+"));
    QStringList out;
    int serversSeen = 0, listens = 0, logs = 0;
    for (const QString &line : QString::fromUtf8(site).split(QLatin1Char('\n'))) {
        if (const auto m = upstreamServer.match(line); m.hasMatch()) {
            if (serversSeen < servers.size())
                out << m.captured(1) + QStringLiteral("127.0.0.1:") +
                           QString::number(servers.at(serversSeen)) + m.captured(2) +
                           QLatin1Char(';');
            ++serversSeen;
        } else if (listen.match(line).hasMatch()) {
            if (listens++ == 0)
                out << QStringLiteral("    listen 127.0.0.1:%1;").arg(port);
        } else if (const auto m = log.match(line); m.hasMatch()) {
            ++logs;
            QString changed = line;
            changed.replace(
                m.capturedStart(), m.capturedLength(),
                QStringLiteral("%1%2 %3/%2.log").arg(m.captured(1), m.captured(2), folder));
            out << changed;
        } else {
            out << line;
        }
    }
    if (serversSeen != servers.size() || listens == 0 || logs != 2)
        fail(QStringLiteral("o site do nginx mudou: %1 servidor(es) no upstream (esperados %2), "
                            "%3 listen, %4 log(s)")
                 .arg(serversSeen)
                 .arg(servers.size())
                 .arg(listens)
                 .arg(logs));
    return out.join(QLatin1Char('\n')).toUtf8();
}

NginxFront::NginxFront(const QList<int> &servers)
{
    const QString program = QStringLiteral("/usr/sbin/nginx");
    if (!QFile::exists(program))
        fail(QStringLiteral("nginx ausente (pacote nginx-light)"));
    if (!m_dir.isValid())
        fail(QStringLiteral("pasta temporária: %1").arg(m_dir.errorString()));
    const QString root = m_dir.path();
    QFile shipped(QStringLiteral(DEPLOY_NGINX_SITE));
    if (!shipped.open(QIODevice::ReadOnly))
        fail(QStringLiteral("não foi possível ler %1").arg(shipped.fileName()));
    m_port = freePort();
    const QByteArray site = SiteForTest(shipped.readAll(), servers, m_port, root);

    QByteArray temp;
    for (const char *kind : {"client_body", "proxy", "fastcgi", "uwsgi", "scgi"})
        temp += QByteArray("    ") + kind + "_temp_path " + root.toUtf8() + "/tmp/" + kind + ";\n";
    const QByteArray conf = "daemon off;\nworker_processes 1;\npid " + root.toUtf8() +
                            "/nginx.pid;\nerror_log " + root.toUtf8() +
                            "/nginx.log warn;\nevents { worker_connections 256; }\nhttp {\n" +
                            temp + "    include " + root.toUtf8() + "/site.conf;\n}\n";
    QDir(root).mkpath(QStringLiteral("tmp"));
    for (const auto &[name, text] : {std::pair{QStringLiteral("site.conf"), site},
                                     std::pair{QStringLiteral("nginx.conf"), conf}}) {
        QFile file(QDir(root).filePath(name));
        if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
            fail(QStringLiteral("não foi possível gravar %1").arg(file.fileName()));
    }
    const bool asRoot = ::geteuid() == 0;
    if (asRoot) {
        // The folder becomes nobody's, and nginx runs as nobody.
        for (const QString &path : {root, root + QStringLiteral("/tmp")})
            if (::chown(QFile::encodeName(path).constData(), nobody, nobody) != 0)
                fail(QStringLiteral("chown %1 falhou").arg(path));
    }
    m_process.setChildProcessModifier([asRoot] {
        if (asRoot &&
            (::setgroups(0, nullptr) != 0 || ::setgid(nobody) != 0 || ::setuid(nobody) != 0))
            ::_exit(98);
        // After the change of user, which clears it.
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    });
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.start(program, {QStringLiteral("-p"), root + QLatin1Char('/'), QStringLiteral("-e"),
                              root + QStringLiteral("/nginx.log"), QStringLiteral("-c"),
                              root + QStringLiteral("/nginx.conf")});
    if (!m_process.waitForStarted(5000))
        fail(QStringLiteral("nginx não iniciou"));
    for (int i = 0; i < 100 && m_process.state() == QProcess::Running; ++i) {
        QTcpSocket probe;
        probe.connectToHost(QStringLiteral("127.0.0.1"), static_cast<quint16>(m_port));
        if (probe.waitForConnected(100))
            return;
        QThread::msleep(50);
    }
    QFile log(root + QStringLiteral("/nginx.log"));
    (void)log.open(QIODevice::ReadOnly);
    fail(QStringLiteral("nginx não abriu a porta %1: %2 %3")
             .arg(m_port)
             .arg(QString::fromUtf8(m_process.readAll()), QString::fromUtf8(log.readAll())));
}

NginxFront::~NginxFront()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(5000))
        m_process.kill();
    m_process.waitForFinished(2000);
}

QString NginxFront::errorLog() const
{
    QFile log(m_dir.filePath(QStringLiteral("error_log.log")));
    return log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()) : QString();
}
