#pragma once

#include "framework/Events.h"
#include "framework/TNetConnection.h"
#include "framework/Velmora.h"
#include "rtl/Settings.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QObject>

#include <memory>

// The screen's way of connecting: BeforeConnect sets the port, then the host, from the
// settings in force. Counts how often it ran.
class SettingsAddress : public QObject
{
    Q_OBJECT
public:
    int calls = 0;
    Q_INVOKABLE void netBeforeConnect(QObject *sender)
    {
        ++calls;
        auto *connection = qobject_cast<TNetConnection *>(sender);
        connection->SetPort(Velmora::WebPort());
        connection->SetHost(Velmora::WebURL());
    }
};

// Makes the settings file this process's settings, with the server's port.
inline void useServer(const QString &settingsPath, int port)
{
    Velmora::Settings settings = Velmora::Settings::load(settingsPath);
    settings.serverPort = port;
    Velmora::installSettings(settings);
}

inline std::unique_ptr<TNetConnection>
makeConnection(SettingsAddress &handler,
               const QString &serverName = QStringLiteral("Fis01400.rdmDocForne"))
{
    auto connection = std::make_unique<TNetConnection>();
    connection->SetServerName(serverName);
    connection->SetThrowException(false);
    QString error;
    Velmora::Events::of(connection.get())
        .bind(QStringLiteral("BeforeConnect"), Velmora::EventSignature::Notify, &handler,
              "netBeforeConnect", &error);
    return connection;
}

inline QJsonArray rowsOf(const QJsonValue &packet)
{
    return packet.toObject().value(QLatin1String("rows")).toArray();
}
