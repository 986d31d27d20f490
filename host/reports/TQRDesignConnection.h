#pragma once

#include "reports_global.h"

#include <QObject>
#include <QString>

// The report screen's own server connection. Layouts are read from the reports directory
// and queries run on the shared database connection, so a screen needs no second server:
// the component exists for descriptions that set it, is created closed and never connects.
class VELMORA_REPORTS_EXPORT TQRDesignConnection : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool Connected READ Connected WRITE SetConnected)
    Q_PROPERTY(QString ServerName READ ServerName WRITE SetServerName)

public:
    explicit TQRDesignConnection(QObject *owner) : QObject(owner) {}
    bool Connected() const { return false; }
    // Asking it to connect is ignored: there is nothing to connect to.
    void SetConnected(bool) {}
    QString ServerName() const { return m_serverName; }
    void SetServerName(const QString &name) { m_serverName = name; }

private:
    QString m_serverName;
};
