#include "RawHttp.h"

#include <QDeadlineTimer>
#include <QJsonDocument>
#include <QTcpSocket>

// True once the data hold a whole answer (headers and Content-Length bytes of body).
static bool complete(const QByteArray &data)
{
    const qsizetype split = data.indexOf("\r\n\r\n");
    if (split < 0)
        return false;
    const QByteArray headers = data.left(split).toLower();
    const qsizetype at = headers.indexOf("content-length:");
    if (at < 0)
        return false;
    const qsizetype end = headers.indexOf("\r\n", at);
    const qint64 length = headers.mid(at + 15, end < 0 ? -1 : end - at - 15).trimmed().toLongLong();
    return data.size() - split - 4 >= length;
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
    const qsizetype split = data.indexOf("\r\n\r\n");
    if (data.startsWith("HTTP/1.1 ") && split > 0) {
        answer.status = data.mid(9, 3).toInt();
        answer.rawBody = data.mid(split + 4);
        answer.body = QJsonDocument::fromJson(answer.rawBody).object();
    }
    return answer;
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
