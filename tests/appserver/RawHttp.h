#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>

class QTcpSocket;

// Plain HTTP exchanges over a socket, for requests that a well-behaved client never sends.
struct RawAnswer
{
    int status = 0;   // 0: no answer
    QJsonObject body; // the JSON body, when it is an object
    QByteArray rawBody;
    bool closed = false; // the server closed the connection
    QByteArray headers;  // the status line and header lines as sent

    // The value of a header (name in any case); empty when absent.
    QByteArray header(const QByteArray &name) const;
};

// Sends bytes as they are and reads one answer (the server closes after it: the request
// asks for Connection: close when built by post()).
RawAnswer exchange(int port, const QByteArray &bytes, int timeoutMs = 5000);
// POST /rpc/<module> with the body and extra header lines ("Authorization: ...").
RawAnswer post(int port, const QByteArray &module, const QByteArray &body,
               const QByteArray &headers = {});
QByteArray rpcBody(const QByteArray &method, const QByteArray &paramsJson);
// Reads up to `count` answers from a connection that stays open (keep-alive, pipelining), in the
// order they came; fewer when the time ran out or the server closed.
QList<RawAnswer> readAnswers(QTcpSocket &socket, int count, int timeoutMs = 5000);
