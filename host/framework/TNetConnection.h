#pragma once

#include "framework_global.h"

#include <QJsonValue>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantList>

#include <memory>

namespace Velmora {
class ServerWait;
}

// The connection to a data module of the application server (JSON-RPC over HTTP/1.1, one
// keep-alive connection). Switching Connected on raises BeforeConnect first, then connects to
// Host and Port as they stand at that moment and checks, by a handshake, that the server hosts
// ServerName. Calls are synchronous, with the connect and call time-outs and the token of the
// settings ([AppServer] ConnectTimeoutMs, CallTimeoutMs, Token).
//
// When the server has closed the connection in the meantime (it closes idle ones), the next
// call connects again, raising BeforeConnect again, so port and host are read afresh.
//
// Every failure raises ERemoteError with a Portuguese message naming host and port: a failed
// connect, a time-out, a lost connection, an answer that is no JSON-RPC answer, and a JSON-RPC
// error (with the server's own message). ThrowException does not soften that: a failure is
// never an empty success. It only decides about answers that arrive as data packets with a
// status other than 0: true raises ERemoteError with the packet's message, false hands the
// packet to the caller as it came (for Consiste::CheckResultServ to judge).
class VELMORA_FRAMEWORK_EXPORT TNetConnection : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString ServerName READ ServerName WRITE SetServerName)
    Q_PROPERTY(int Port READ Port WRITE SetPort)
    Q_PROPERTY(QString Host READ Host WRITE SetHost)
    Q_PROPERTY(bool Connected READ Connected WRITE SetConnected)
    Q_PROPERTY(bool ThrowException READ ThrowException WRITE SetThrowException)

public:
    explicit TNetConnection(QObject *parent = nullptr);
    ~TNetConnection() override;

    QString ServerName() const { return m_serverName; }
    void SetServerName(const QString &name);
    int Port() const { return m_port; }
    void SetPort(int port) { m_port = port; }
    QString Host() const { return m_host; }
    void SetHost(const QString &host) { m_host = host; }
    bool ThrowException() const { return m_throwException; }
    void SetThrowException(bool on) { m_throwException = on; }

    bool Connected() const;
    // true: BeforeConnect, connect, handshake (raises ERemoteError on failure); false: closes.
    void SetConnected(bool on);
    void Open() { SetConnected(true); }
    void Close() { SetConnected(false); }

    // The data modules the server named at the last handshake.
    QStringList HostedServers() const { return m_hostedServers; }

    // Calls method of ServerName with positional arguments: a QString travels as a JSON string,
    // a TDateTime (or QDate) as a JSON number, a number as a number. Connects first when not
    // connected. Returns the answer (a data packet).
    QJsonValue Call(const QString &method, const QVariantList &args);

private:
    struct Channel;
    QJsonValue call(Velmora::ServerWait &wait, const QString &method, const QVariantList &args);
    void connectChannel(Velmora::ServerWait &wait);
    QJsonValue send(Velmora::ServerWait &wait, const QByteArray &body, bool &retryable);
    QString where() const;

    QString m_serverName;
    QString m_host;
    int m_port = 0;
    bool m_throwException = true;
    QStringList m_hostedServers;
    qint64 m_nextId = 1;
    // Shared with the worker of an exchange: one given up keeps its channel to itself.
    std::shared_ptr<Channel> m_channel;
};
