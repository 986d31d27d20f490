#include "NginxReference.h"

#include <QDir>
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

namespace {
int freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    return probe.serverPort();
}
} // namespace

NginxReference::~NginxReference()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.terminate();
        if (!m_process.waitForFinished(5000))
            m_process.kill();
        m_process.waitForFinished(2000);
    }
}

bool NginxReference::start(const QString &folder, const QByteArray &answer, QString *error)
{
    const QString program = QStringLiteral("/usr/sbin/nginx");
    if (!QFile::exists(program)) {
        *error = QStringLiteral("nginx ausente (pacote nginx-light)");
        return false;
    }
    QDir dir(folder);
    dir.mkpath(QStringLiteral("nginx/tmp"));
    const QString root = dir.filePath(QStringLiteral("nginx"));
    m_port = freePort();
    QByteArray escaped = answer;
    escaped.replace('\'', "\\'");
    const QByteArray conf =
        "daemon off;\nworker_processes 2;\npid " + root.toUtf8() +
        "/nginx.pid;\n"
        "error_log " +
        root.toUtf8() +
        "/error.log warn;\n"
        "events { worker_connections 1024; }\n"
        "http {\n  access_log off;\n  keepalive_requests 100000000;\n  keepalive_timeout 60s;\n"
        "  client_body_temp_path " +
        root.toUtf8() +
        "/tmp;\n"
        "  server {\n    listen 127.0.0.1:" +
        QByteArray::number(m_port) +
        ";\n"
        "    location / { default_type application/json; return 200 '" +
        escaped +
        "'; }\n"
        "  }\n}\n";
    QFile file(root + QStringLiteral("/nginx.conf"));
    if (!file.open(QIODevice::WriteOnly) || file.write(conf) != conf.size()) {
        *error = QStringLiteral("não foi possível escrever %1").arg(file.fileName());
        return false;
    }
    file.close();
    m_process.setProgram(program);
    m_process.setArguments({QStringLiteral("-p"), root + QLatin1Char('/'), QStringLiteral("-e"),
                            root + QStringLiteral("/error.log"), QStringLiteral("-c"),
                            file.fileName()});
    m_process.start();
    if (!m_process.waitForStarted(5000)) {
        *error = QStringLiteral("nginx não iniciou");
        return false;
    }
    for (int i = 0; i < 50; ++i) {
        QTcpSocket probe;
        probe.connectToHost(QStringLiteral("127.0.0.1"), static_cast<quint16>(m_port));
        if (probe.waitForConnected(100))
            return true;
        QThread::msleep(50);
    }
    *error = QStringLiteral("nginx não abriu a porta: %1")
                 .arg(QString::fromUtf8(m_process.readAllStandardError()));
    return false;
}
