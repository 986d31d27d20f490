// The HTTP layer's limits: each request beyond one is refused at once with its status and a
// JSON-RPC error, and the server goes on serving; clients that trickle, idle or pile up
// connections keep no one else waiting. And the rules the server starts by.
#include "MapFixture.h"
#include "RawHttp.h"
#include "ServerProcess.h"

#include <QJsonArray>
#include <QTcpSocket>
#include <QThread>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

const QByteArray module = "Fis01400.rdmDocForne";
const QByteArray goodCall = rpcBody("GetDtIni", R"(["01","123456","01"])");
const QByteArray ping = R"({"jsonrpc":"2.0","id":1,"method":"Ping","params":[]})";

QByteArray callRequest(const QByteArray &path, const QByteArray &body, bool close = true)
{
    return "POST " + path + " HTTP/1.1\r\nHost: x\r\n" +
           (close ? QByteArray("Connection: close\r\n") : QByteArray()) +
           "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
}

int errorCode(const RawAnswer &answer)
{
    return answer.body.value("error").toObject().value("code").toInt();
}

void expectServing(int port)
{
    const RawAnswer answer = post(port, module, goodCall);
    ASSERT_EQ(answer.status, 200) << answer.rawBody.toStdString();
    EXPECT_EQ(answer.body.value("result").toObject().value("rows").toArray().size(), 4);
}

// Connections that stay open; each has sent `first` when not empty.
std::vector<std::unique_ptr<QTcpSocket>> openConnections(int port, int count,
                                                         const QByteArray &first = {})
{
    std::vector<std::unique_ptr<QTcpSocket>> sockets;
    for (int i = 0; i < count; ++i) {
        auto socket = std::make_unique<QTcpSocket>();
        socket->connectToHost(QStringLiteral("127.0.0.1"), static_cast<quint16>(port));
        if (!socket->waitForConnected(5000))
            break;
        if (!first.isEmpty()) {
            socket->write(first);
            socket->waitForBytesWritten(1000);
        }
        sockets.push_back(std::move(socket));
    }
    return sockets;
}

struct Server
{
    MapFixture fixture;
    ServerProcess process;

    bool start(const QString &name, const QMap<QString, QString> &settings,
               const QStringList &options = {})
    {
        QString error;
        if (!fixture.createMaps(standardMaps(), &error)) {
            ADD_FAILURE() << error.toStdString();
            return false;
        }
        if (!process.start(fixture.writeSettings(name, settings), 0, options)) {
            ADD_FAILURE() << process.errorOutput().toStdString();
            return false;
        }
        return true;
    }
    int port() const { return process.port(); }
};

// The deadline is long here: a refusal that comes back within the exchange's few seconds came
// from the limit, not from the clock.
struct Refusal
{
    const char *what;
    QByteArray request;
    int status;
    int code;
};

QByteArray withHeaders(const QByteArray &headers, const QByteArray &body = goodCall)
{
    return "POST /rpc/" + module + " HTTP/1.1\r\nHost: x\r\nConnection: close\r\n" + headers +
           "\r\n" + body;
}

QByteArray manyHeaders(int count)
{
    QByteArray headers;
    for (int i = 0; i < count; ++i)
        headers += "X-Campo-" + QByteArray::number(i) + ": 1\r\n";
    return headers + "Content-Length: " + QByteArray::number(goodCall.size()) + "\r\n";
}

const QByteArray lengthOfCall = QByteArray::number(goodCall.size());

const Refusal refusals[] = {
    {"header count over MaxHeaders", withHeaders(manyHeaders(40)), 431, -32007},
    {"a header over MaxHeaderBytes",
     withHeaders("X-Grande: " + QByteArray(20000, 'a') + "\r\nContent-Length: " + lengthOfCall +
                 "\r\n"),
     431, -32007},
    {"a header that never ends",
     "POST /rpc/" + module + " HTTP/1.1\r\nX-Sem-Fim: " + QByteArray(20000, 'b'), 431, -32007},
    {"body over MaxBodyBytes, told by Content-Length",
     withHeaders("Content-Length: 100000\r\n", {}), 413, -32004},
    {"Content-Length repeated", withHeaders("Content-Length: 5\r\nContent-Length: 5\r\n", "{}{}{"),
     400, -32006},
    {"Content-Length repeated with another value",
     withHeaders("Content-Length: " + lengthOfCall + "\r\nContent-Length: 3\r\n"), 400, -32006},
    {"Content-Length as a list", withHeaders("Content-Length: 5, 5\r\n", "{}{}{"), 400, -32006},
    {"Content-Length negative", withHeaders("Content-Length: -5\r\n", {}), 400, -32006},
    {"Content-Length beyond any number",
     withHeaders("Content-Length: 184467440737095516160\r\n", {}), 400, -32006},
    {"Content-Length not a number", withHeaders("Content-Length: 12abc\r\n", {}), 400, -32006},
    {"a request line without version", "POST /rpc/x\r\n\r\n", 400, -32006},
};

TEST(HttpLimits, EachRequestOverALimitIsRefusedAtOnceAndTheServerGoesOn)
{
    Server server;
    ASSERT_TRUE(server.start("limits", {{"MaxHeaders", "30"},
                                        {"MaxHeaderBytes", "8192"},
                                        {"MaxBodyBytes", "4096"},
                                        {"RequestTimeoutMs", "60000"}}));
    for (const Refusal &refusal : refusals) {
        SCOPED_TRACE(refusal.what);
        const RawAnswer answer = exchange(server.port(), refusal.request, 10000);
        EXPECT_EQ(answer.status, refusal.status) << answer.rawBody.toStdString();
        EXPECT_EQ(errorCode(answer), refusal.code) << answer.rawBody.toStdString();
        EXPECT_FALSE(answer.body.value("error").toObject().value("message").toString().isEmpty());
        expectServing(server.port());
    }
    // Within the limits the same server answers.
    const RawAnswer fine = exchange(server.port(), withHeaders(manyHeaders(20)), 10000);
    EXPECT_EQ(fine.status, 200) << fine.rawBody.toStdString();
}

TEST(HttpLimits, ClientsTricklingTheirHeadersHoldNoOneUpAndAreRefusedAtTheDeadline)
{
    Server server;
    ASSERT_TRUE(server.start("trickle", {{"RequestTimeoutMs", "1500"}}, {"--threads", "2"}));
    auto sockets = openConnections(server.port(), 200);
    ASSERT_EQ(sockets.size(), 200u);
    const QByteArray request = callRequest("/rpc/" + module, goodCall);
    for (int round = 0; round < 3; ++round) {
        for (auto &socket : sockets) {
            socket->write(request.mid(round, 1));
            socket->flush();
        }
        QThread::msleep(150);
        if (round == 1)
            expectServing(server.port());
    }
    int refused = 0;
    for (auto &socket : sockets) {
        const QList<RawAnswer> answers = readAnswers(*socket, 1, 10000);
        if (!answers.isEmpty() && answers.first().status == 408 &&
            errorCode(answers.first()) == -32006)
            ++refused;
    }
    EXPECT_EQ(refused, 200);
    expectServing(server.port());
}

TEST(HttpLimits, IdleKeepAliveConnectionsHoldNoWorkerAndCloseAfterTheIdleTime)
{
    Server server;
    ASSERT_TRUE(server.start("idle", {{"IdleTimeoutSeconds", "2"}}, {"--threads", "2"}));
    auto sockets =
        openConnections(server.port(), 300, callRequest("/rpc/Velmora.Servidor", ping, false));
    ASSERT_EQ(sockets.size(), 300u);
    int answered = 0;
    for (auto &socket : sockets)
        answered += readAnswers(*socket, 1).value(0).status == 200;
    EXPECT_EQ(answered, 300);
    // All 300 idle now.
    expectServing(server.port());
    int closed = 0;
    for (auto &socket : sockets) {
        while (socket->state() == QAbstractSocket::ConnectedState &&
               socket->waitForReadyRead(10000))
            socket->readAll();
        closed += socket->state() != QAbstractSocket::ConnectedState;
    }
    EXPECT_EQ(closed, 300);
}

TEST(HttpLimits, RequestsSentTogetherAreAnsweredInOrder)
{
    Server server;
    ASSERT_TRUE(server.start("pipeline", {}));
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), static_cast<quint16>(server.port()));
    ASSERT_TRUE(socket.waitForConnected(5000));
    const auto call = [](int id, const QByteArray &method, const QByteArray &params) {
        return R"({"jsonrpc":"2.0","id":)" + QByteArray::number(id) + R"(,"method":")" + method +
               R"(","params":)" + params + "}";
    };
    socket.write(
        callRequest("/rpc/" + module, call(1, "GetDtIni", R"(["01","123456","01"])"), false) +
        callRequest("/rpc/" + module, call(2, "GetTudo", "[]"), false) +
        callRequest("/rpc/" + module, call(3, "GetDtIni", R"(["01","","02"])"), false));
    const QList<RawAnswer> answers = readAnswers(socket, 3, 10000);
    ASSERT_EQ(answers.size(), 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(answers[i].body.value("id").toInt(), i + 1) << answers[i].rawBody.toStdString();
    EXPECT_EQ(answers[0].body.value("result").toObject().value("rows").toArray().size(), 4);
    EXPECT_EQ(errorCode(answers[1]), -32601);
    EXPECT_TRUE(answers[2].body.contains("result")) << answers[2].rawBody.toStdString();
    EXPECT_EQ(socket.state(), QAbstractSocket::ConnectedState);
}

struct ConnectionLimit
{
    const char *option;
};

class ConnectionLimits : public testing::TestWithParam<ConnectionLimit>
{
};

TEST_P(ConnectionLimits, TheConnectionBeyondTheLimitIsRefusedAndItsPlaceFreedOnClose)
{
    Server server;
    ASSERT_TRUE(server.start("connections", {}, {GetParam().option, "3"}));
    auto sockets =
        openConnections(server.port(), 3, callRequest("/rpc/Velmora.Servidor", ping, false));
    for (auto &socket : sockets)
        ASSERT_EQ(readAnswers(*socket, 1).value(0).status, 200);
    const RawAnswer refused = post(server.port(), module, goodCall);
    EXPECT_EQ(refused.status, 503) << refused.rawBody.toStdString();
    EXPECT_EQ(errorCode(refused), -32008) << refused.rawBody.toStdString();
    EXPECT_TRUE(refused.body.value("error").toObject().value("message").toString().contains(
        QStringLiteral("conexões")));

    sockets.front()->disconnectFromHost();
    sockets.erase(sockets.begin());
    // The server sees the close on its loop; the place is free soon after.
    RawAnswer later;
    for (int attempt = 0; attempt < 50 && later.status != 200; ++attempt) {
        QThread::msleep(100);
        later = post(server.port(), module, goodCall);
    }
    EXPECT_EQ(later.status, 200) << later.rawBody.toStdString();
}

INSTANTIATE_TEST_SUITE_P(PerClientAndInAll, ConnectionLimits,
                         testing::Values(ConnectionLimit{"--max-connections-per-client"},
                                         ConnectionLimit{"--max-connections"}));

TEST(StartUp, APortInUseEndsTheSecondServerWithStatusOne)
{
    Server first;
    ASSERT_TRUE(first.start("first", {}));
    ServerProcess second;
    EXPECT_FALSE(second.start(first.fixture.writeSettings("second"), first.port()));
    EXPECT_EQ(second.exitStatus(10000), 1);
    EXPECT_TRUE(second.errorOutput().contains(QStringLiteral("porta %1 em uso").arg(first.port())));
    expectServing(first.port());
}

struct BindRule
{
    const char *what;
    const char *host;
    QMap<QString, QString> settings;
    bool starts;
};

const BindRule bindRules[] = {
    {"every address without token", "0.0.0.0", {}, false},
    {"every address, AllowWithoutToken=true", "0.0.0.0", {{"AllowWithoutToken", "true"}}, true},
    {"every address, AllowWithoutToken=no", "0.0.0.0", {{"AllowWithoutToken", "no"}}, false},
    {"every address with a token", "0.0.0.0", {{"Token", "s3gredo"}}, true},
    {"another loopback address without token", "127.0.0.2", {}, true},
};

TEST(StartUp, BindingBeyondLoopbackWithoutTokenIsRefusedUnlessMeant)
{
    MapFixture fixture;
    for (const BindRule &rule : bindRules) {
        SCOPED_TRACE(rule.what);
        QMap<QString, QString> settings = rule.settings;
        settings.insert(QStringLiteral("Host"), QLatin1String(rule.host));
        ServerProcess server;
        EXPECT_EQ(server.start(fixture.writeSettings("bind", settings)), rule.starts)
            << server.errorOutput().toStdString();
        if (!rule.starts) {
            EXPECT_EQ(server.exitStatus(10000), 2);
            EXPECT_TRUE(server.errorOutput().contains(QStringLiteral("AllowWithoutToken")));
        }
    }
}

} // namespace
