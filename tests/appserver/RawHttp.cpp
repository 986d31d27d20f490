#include "RawHttp.h"

#include <QDeadlineTimer>
#include <QJsonDocument>
#include <QTcpSocket>

// The length of the first whole answer in the data (headers and Content-Length bytes of body),
// 0 while it is incomplete.
static qsizetype answerLength(const QByteArray &data)
{
    const qsizetype split = data.indexOf("\r\n\r\n");
    if (split < 0)
        return 0;
    const QByteArray headers = data.left(split).toLower();
    const qsizetype at = headers.indexOf("content-length:");
    if (at < 0)
        return 0;
    const qsizetype end = headers.indexOf("\r\n", at);
    const qint64 length = headers.mid(at + 15, end < 0 ? -1 : end - at - 15).trimmed().toLongLong();
    return data.size() - split - 4 >= length ? split + 4 + length : 0;
}

static bool complete(const QByteArray &data)
{
    return answerLength(data) > 0;
}

static RawAnswer parsed(const QByteArray &data)
{
    RawAnswer answer;
    const qsizetype split = data.indexOf("\r\n\r\n");
    if (data.startsWith("HTTP/1.1 ") && split > 0) {
        answer.status = data.mid(9, 3).toInt();
        answer.rawBody = data.mid(split + 4);
        answer.headers = data.left(split);
        answer.body = QJsonDocument::fromJson(answer.rawBody).object();
    }
    return answer;
}

QByteArray RawAnswer::header(const QByteArray &name) const
{
    for (const QByteArray &line : headers.split('\n')) {
        const qsizetype colon = line.indexOf(':');
        if (colon > 0 && line.left(colon).trimmed().toLower() == name.toLower())
            return line.mid(colon + 1).trimmed();
    }
    return {};
}

RawAnswer exchange(int port, const QByteArray &bytes, int timeoutMs)
{
    RawAnswer answer;
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), static_cast<quint16>(port));
    if (!socket.waitForConnected(timeoutMs))
        return answer;
    socket.write(bytes);
    socket.waitForBytesWritten(timeoutMs);
    QByteArray data;
    QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        if (!socket.waitForReadyRead(static_cast<int>(qMax<qint64>(1, deadline.remainingTime())))) {
            answer.closed = socket.state() != QAbstractSocket::ConnectedState;
            if (answer.closed)
                break;
            continue;
        }
        data += socket.readAll();
        if (complete(data))
            break;
    }
    data += socket.readAll();
    const bool closed = answer.closed;
    answer = parsed(data);
    answer.closed = closed;
    return answer;
}

QList<RawAnswer> readAnswers(QTcpSocket &socket, int count, int timeoutMs)
{
    QList<RawAnswer> answers;
    QByteArray data;
    QDeadlineTimer deadline(timeoutMs);
    while (answers.size() < count) {
        data += socket.readAll();
        if (const qsizetype length = answerLength(data)) {
            answers << parsed(data.left(length));
            data.remove(0, length);
            continue;
        }
        if (deadline.hasExpired() || socket.state() != QAbstractSocket::ConnectedState)
            break;
        socket.waitForReadyRead(static_cast<int>(qMax<qint64>(1, deadline.remainingTime())));
    }
    return answers;
}

RawAnswer post(int port, const QByteArray &module, const QByteArray &body,
               const QByteArray &headers)
{
    QByteArray request = "POST /rpc/" + module +
                         " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n"
                         "Content-Type: application/json\r\nContent-Length: " +
                         QByteArray::number(body.size()) + "\r\n";
    if (!headers.isEmpty())
        request += headers + "\r\n";
    return exchange(port, request + "\r\n" + body);
}

QByteArray rpcBody(const QByteArray &method, const QByteArray &paramsJson)
{
    return R"({"jsonrpc":"2.0","id":7,"method":")" + method + R"(","params":)" + paramsJson + "}";
}
