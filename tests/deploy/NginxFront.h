#pragma once

#include <QByteArray>
#include <QList>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// The shipped site (deploy/nginx/velmora-appserver.conf) for a test: its upstream lists the
// given servers, it listens on the given loopback port and logs into folder; limits, retries
// and error pages stay as shipped. Raises std::runtime_error when the site no longer has the
// lines a test replaces (two upstream servers, the listen and log lines).
QByteArray SiteForTest(const QByteArray &site, const QList<int> &servers, int port,
                       const QString &folder);

// Debian's nginx serving that site on a free loopback port, as an unprivileged process (when
// the test runs as root it drops to nobody), with its own prefix, pid, logs and temporary
// folders. Raises std::runtime_error when nginx is missing or does not start.
class NginxFront
{
public:
    explicit NginxFront(const QList<int> &servers);
    ~NginxFront();
    NginxFront(const NginxFront &) = delete;
    NginxFront &operator=(const NginxFront &) = delete;

    int port() const { return m_port; }
    // The site's error log as written so far.
    QString errorLog() const;

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    int m_port = 0;
};
