#include "TNetConnection.h"

#include "Events.h"
#include "ServerWait.h"
#include "rtl/Exceptions.h"
#include "rtl/Settings.h"
#include "rtl/TDateTime.h"

#include <QDate>
#include <QDateTime>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <httplib.h>

#include <cerrno>
#include <cmath>
#include <sys/socket.h>

namespace {

void setTimeout(int ms, const std::function<void(time_t, time_t)> &apply)
{
    apply(ms / 1000, (ms % 1000) * 1000);
}

QString typeName(const QVariant &value)
{
    return QString::fromLatin1(value.metaType().name() ? value.metaType().name() : "nulo");
}

} // namespace

// One keep-alive HTTP connection to host:port, with the settings' time-outs and token.
struct TNetConnection::Channel
{
    Channel(const QString &host, int port)
        : host(host), port(port), client(host.toStdString(), port)
    {
        const Velmora::Settings &s = Velmora::settings();
        connectTimeoutMs = s.connectTimeoutMs;
        callTimeoutMs = s.callTimeoutMs;
        client.set_keep_alive(true);
        client.set_tcp_nodelay(true);
        setTimeout(connectTimeoutMs,
                   [this](time_t sec, time_t usec) { client.set_connection_timeout(sec, usec); });
        setTimeout(callTimeoutMs, [this](time_t sec, time_t usec) {
            client.set_read_timeout(sec, usec);
            client.set_write_timeout(sec, usec);
        });
        if (!s.serverToken.isEmpty())
            client.set_bearer_token_auth(s.serverToken.toStdString());
    }

    // False when the server has closed the connection (an idle keep-alive connection) or it was
    // never opened: a request on it would fail, so the caller connects afresh.
    bool usable() const
    {
        const socket_t sock = client.socket();
        if (sock == INVALID_SOCKET)
            return false;
        char byte = 0;
        const ssize_t n = ::recv(sock, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
        return n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
    }

    QString where() const { return QStringLiteral("%1:%2").arg(host).arg(port); }

    QString host;
    int port;
    int connectTimeoutMs = 0;
    int callTimeoutMs = 0;
    httplib::ClientImpl client;
};

namespace {

// What one HTTP exchange brought back: taken on the worker thread, judged on the caller's.
struct Exchange
{
    bool answered = false;
    httplib::Error error = httplib::Error::Success;
    int status = 0;
    std::string body;
    qint64 elapsedMs = 0;
};

// The client is held by a pointer that keeps its channel alive for the worker.
Exchange exchange(Velmora::ServerWait &wait, const std::shared_ptr<httplib::ClientImpl> &client,
                  const std::function<httplib::Result(httplib::ClientImpl &)> &request)
{
    auto outcome = std::make_shared<Exchange>();
    wait.run(
        [client, request, outcome] {
            QElapsedTimer timer;
            timer.start();
            httplib::Result result = request(*client);
            outcome->elapsedMs = timer.elapsed();
            if (result) {
                outcome->answered = true;
                outcome->status = result->status;
                outcome->body = std::move(result->body);
            } else {
                outcome->error = result.error();
            }
        },
        // Shuts the socket down under the request: the worker returns at once.
        [client] { client->stop(); });
    return *outcome;
}

} // namespace

TNetConnection::TNetConnection(QObject *parent) : QObject(parent) {}

TNetConnection::~TNetConnection() = default;

void TNetConnection::SetServerName(const QString &name)
{
    if (name == m_serverName)
        return;
    m_serverName = name;
    m_channel.reset(); // a connection checked for another module is no longer valid
}

bool TNetConnection::Connected() const
{
    return m_channel != nullptr;
}

void TNetConnection::SetConnected(bool on)
{
    if (!on) {
        m_channel.reset();
        return;
    }
    if (!m_channel) {
        Velmora::ServerWait wait;
        connectChannel(wait);
    }
}

QString TNetConnection::where() const
{
    return m_channel ? m_channel->where() : QStringLiteral("%1:%2").arg(m_host).arg(m_port);
}

namespace {

ERemoteError transportError(httplib::Error error, const QString &where, qint64 elapsedMs,
                            int callTimeoutMs, int connectTimeoutMs)
{
    switch (error) {
    case httplib::Error::Connection:
        return ERemoteError(QStringLiteral("Não foi possível conectar ao servidor de aplicação em "
                                           "%1: conexão recusada ou endereço inalcançável.")
                                .arg(where));
    case httplib::Error::ConnectionTimeout:
        return ERemoteError(
            QStringLiteral("Tempo esgotado (%1 ms) ao conectar ao servidor de aplicação em %2.")
                .arg(connectTimeoutMs)
                .arg(where));
    case httplib::Error::Read:
        if (elapsedMs >= callTimeoutMs * 9 / 10)
            return ERemoteError(
                QStringLiteral("O servidor de aplicação em %1 não respondeu em %2 ms.")
                    .arg(where)
                    .arg(callTimeoutMs));
        return ERemoteError(
            QStringLiteral("A conexão com o servidor de aplicação em %1 foi interrompida antes "
                           "da resposta.")
                .arg(where));
    case httplib::Error::Write:
        return ERemoteError(
            QStringLiteral("A conexão com o servidor de aplicação em %1 foi interrompida ao "
                           "enviar a chamada.")
                .arg(where));
    default:
        return ERemoteError(
            QStringLiteral("Falha de comunicação com o servidor de aplicação em %1 (%2).")
                .arg(where, QString::fromStdString(httplib::to_string(error))));
    }
}

// The body of an answer as a JSON-RPC object; raises ERemoteError with the server's message
// when it is an error answer.
QJsonObject answerObject(const Exchange &result, const QString &where)
{
    QJsonParseError parseError;
    const QJsonDocument doc =
        QJsonDocument::fromJson(QByteArray::fromStdString(result.body), &parseError);
    if (parseError.error != QJsonParseError::NoError || !doc.isObject())
        throw ERemoteError(
            QStringLiteral("Resposta inválida do servidor de aplicação em %1 (HTTP %2).")
                .arg(where)
                .arg(result.status));
    const QJsonObject answer = doc.object();
    if (answer.contains(QLatin1String("error"))) {
        const QJsonObject error = answer.value(QLatin1String("error")).toObject();
        QString message = error.value(QLatin1String("message")).toString();
        if (message.isEmpty())
            message = QStringLiteral("erro %1").arg(error.value(QLatin1String("code")).toInt());
        throw ERemoteError(QStringLiteral("Servidor de aplicação em %1: %2").arg(where, message));
    }
    if (result.status != 200)
        throw ERemoteError(
            QStringLiteral("O servidor de aplicação em %1 recusou a chamada (HTTP %2).")
                .arg(where)
                .arg(result.status));
    return answer;
}

QJsonValue argumentValue(const QVariant &value, int index, const QString &method,
                         const QString &where)
{
    const auto invalid = [&](const QString &why) {
        return ERemoteError(QStringLiteral("Argumento %1 de %2 (servidor de aplicação em %3): %4")
                                .arg(index + 1)
                                .arg(method, where, why));
    };
    const QMetaType type = value.metaType();
    if (type == QMetaType::fromType<TDateTime>()) {
        const TDateTime date = value.value<TDateTime>();
        if (!date.isValid())
            throw invalid(QStringLiteral("data inválida."));
        return date.value();
    }
    switch (type.id()) {
    case QMetaType::QString:
        return value.toString(); // a null text travels as the empty text
    case QMetaType::QByteArray:
        return QString::fromUtf8(value.toByteArray());
    case QMetaType::QDate:
        if (!value.toDate().isValid())
            throw invalid(QStringLiteral("data inválida."));
        return TDateTime::fromDate(value.toDate()).value();
    case QMetaType::QDateTime:
        if (!value.toDateTime().isValid())
            throw invalid(QStringLiteral("data inválida."));
        return TDateTime::fromDateTime(value.toDateTime()).value();
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
        if (!std::isfinite(value.toDouble()))
            throw invalid(QStringLiteral("número inválido."));
        return value.toDouble();
    case QMetaType::Bool:
        return value.toBool();
    default:
        throw invalid(QStringLiteral("tipo %1 não pode ser enviado.").arg(typeName(value)));
    }
}

} // namespace

void TNetConnection::connectChannel(Velmora::ServerWait &wait)
{
    m_channel.reset();
    if (const Velmora::Events *events = Velmora::Events::find(this))
        events->call(QStringLiteral("BeforeConnect"), this);
    const QString target = QStringLiteral("%1:%2").arg(m_host).arg(m_port);
    if (m_host.trimmed().isEmpty() || m_port <= 0 || m_port > 65535)
        throw ERemoteError(
            QStringLiteral("Endereço do servidor de aplicação incompleto ou inválido ('%1').")
                .arg(target));
    if (m_serverName.isEmpty())
        throw ERemoteError(
            QStringLiteral("Conexão com o servidor de aplicação em %1 sem o nome do módulo.")
                .arg(target));

    auto channel = std::make_shared<Channel>(m_host, m_port);
    const Exchange result =
        exchange(wait, std::shared_ptr<httplib::ClientImpl>(channel, &channel->client),
                 [](httplib::ClientImpl &client) { return client.Get("/rpc"); });
    if (!result.answered)
        throw transportError(result.error, channel->where(), result.elapsedMs,
                             channel->callTimeoutMs, channel->connectTimeoutMs);
    const QJsonObject answer = answerObject(result, channel->where());
    QStringList servers;
    for (const QJsonValue &name : answer.value(QLatin1String("servers")).toArray())
        servers << name.toString();
    if (!servers.contains(m_serverName))
        throw ERemoteError(
            QStringLiteral("O servidor de aplicação em %1 não hospeda o módulo '%2'%3.")
                .arg(channel->where(), m_serverName,
                     servers.isEmpty() ? QString()
                                       : QStringLiteral(" (hospeda: %1)").arg(servers.join(", "))));
    m_hostedServers = servers;
    m_channel = std::move(channel);
}

QJsonValue TNetConnection::send(Velmora::ServerWait &wait, const QByteArray &body, bool &retryable)
{
    const std::shared_ptr<Channel> channel = m_channel;
    const bool reused = channel->client.is_socket_open();
    const std::string path = ("/rpc/" + m_serverName).toStdString();
    const std::string content = body.toStdString();
    const Exchange result =
        exchange(wait, std::shared_ptr<httplib::ClientImpl>(channel, &channel->client),
                 [path, content](httplib::ClientImpl &client) {
                     return client.Post(path, content, "application/json");
                 });
    if (!result.answered) {
        // A keep-alive connection the server dropped just as we sent: worth one more try on a
        // new connection. A time-out is not (it would only double the wait).
        retryable = reused && result.elapsedMs < channel->callTimeoutMs / 2 &&
                    (result.error == httplib::Error::Read || result.error == httplib::Error::Write);
        throw transportError(result.error, channel->where(), result.elapsedMs,
                             channel->callTimeoutMs, channel->connectTimeoutMs);
    }
    retryable = false;
    const QJsonObject answer = answerObject(result, channel->where());
    if (!answer.contains(QLatin1String("result")))
        throw ERemoteError(
            QStringLiteral("Resposta inválida do servidor de aplicação em %1 (sem resultado).")
                .arg(channel->where()));
    return answer.value(QLatin1String("result"));
}

QJsonValue TNetConnection::Call(const QString &method, const QVariantList &args)
{
    Velmora::ServerWait wait; // the busy cursor, at once
    try {
        return call(wait, method, args);
    } catch (const EAbort &) {
        m_channel.reset(); // given up: the channel stays with the exchange that ends on it
        throw;
    }
}

QJsonValue TNetConnection::call(Velmora::ServerWait &wait, const QString &method,
                                const QVariantList &args)
{
    if (!m_channel)
        connectChannel(wait);
    QJsonArray params;
    for (int i = 0; i < args.size(); ++i)
        params.append(argumentValue(args.at(i), i, method, where()));
    const QJsonObject request{{QStringLiteral("jsonrpc"), QStringLiteral("2.0")},
                              {QStringLiteral("id"), m_nextId++},
                              {QStringLiteral("method"), method},
                              {QStringLiteral("params"), params}};
    const QByteArray body = QJsonDocument(request).toJson(QJsonDocument::Compact);

    if (!m_channel->usable())
        connectChannel(wait);
    QJsonValue answer;
    bool retryable = false;
    try {
        answer = send(wait, body, retryable);
    } catch (const ERemoteError &) {
        if (!retryable)
            throw;
        connectChannel(wait);
        answer = send(wait, body, retryable);
    }

    const QJsonObject packet = answer.toObject();
    const int status = packet.value(QLatin1String("status")).toInt();
    if (m_throwException && status != 0) {
        const QString message = packet.value(QLatin1String("message")).toString();
        throw ERemoteError(
            QStringLiteral("Servidor de aplicação em %1: %2")
                .arg(where(), message.isEmpty()
                                  ? QStringLiteral("a chamada %1 falhou (situação %2).")
                                        .arg(method)
                                        .arg(status)
                                  : message));
    }
    return answer;
}
