#pragma once

#include <QProcess>
#include <QString>

// Debian's nginx on a loopback port answering every request with the same small JSON: the
// ceiling of this machine for small HTTP answers.
class NginxReference
{
public:
    ~NginxReference();
    // False (with *error) when nginx is missing or does not start.
    bool start(const QString &folder, const QByteArray &answer, QString *error);
    int port() const { return m_port; }

private:
    QProcess m_process;
    int m_port = 0;
};
