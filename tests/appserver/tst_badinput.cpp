// Bad input gets a JSON-RPC error that carries no SQL and no internals, and the server goes on
// serving: each refusal is followed by a good call.
#include "MapFixture.h"
#include "RawHttp.h"
#include "ServerProcess.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QJsonArray>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTcpSocket>
#include <QThread>

#include <gtest/gtest.h>

namespace {

const QByteArray module = "Fis01400.rdmDocForne";
const QByteArray goodCall = rpcBody("GetDtIni", R"(["01","123456","01"])");

void expectError(const RawAnswer &answer, int code)
{
    ASSERT_TRUE(answer.body.contains("error"))
        << answer.status << " " << answer.rawBody.toStdString();
    EXPECT_FALSE(answer.body.contains("result"));
    const QJsonObject error = answer.body.value("error").toObject();
    EXPECT_EQ(error.value("code").toInt(), code) << answer.rawBody.toStdString();
    const QString message = error.value("message").toString();
    EXPECT_FALSE(message.isEmpty());
    for (const char *internal : {"SELECT", "MAPAAPURACAO", "SQL", "no such", "QSQLITE", "::"})
        EXPECT_FALSE(message.contains(QLatin1String(internal), Qt::CaseInsensitive))
            << message.toStdString();
}

int rowsOfResult(const RawAnswer &answer)
{
    return static_cast<int>(answer.body.value("result").toObject().value("rows").toArray().size());
}

void expectServing(int port, int rows = 4)
{
    const RawAnswer answer = post(port, module, goodCall);
    ASSERT_EQ(answer.status, 200) << answer.rawBody.toStdString();
    EXPECT_EQ(answer.body.value("result").toObject().value("rows").toArray().size(), rows)
        << answer.rawBody.toStdString();
}

class BadInput : public testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        fixture = new MapFixture;
        QString error;
        ASSERT_TRUE(fixture->createMaps(standardMaps(), &error)) << error.toStdString();
        server = new ServerProcess;
        ASSERT_TRUE(server->start(fixture->writeSettings("bad"), 0,
                                  {"--max-body", "4096", "--read-timeout", "400"}))
            << server->errorOutput().toStdString();
    }
    static void TearDownTestSuite()
    {
        delete server;
        delete fixture;
    }
    void TearDown() override { expectServing(server->port()); }
    int port() const { return server->port(); }

    static inline MapFixture *fixture = nullptr;
    static inline ServerProcess *server = nullptr;
};

TEST_F(BadInput, MalformedJson)
{
    expectError(post(port(), module, R"({"jsonrpc":"2.0","id":1,"method":)"), -32700);
    expectError(post(port(), module, "\xff\xfe not json"), -32700);
}

TEST_F(BadInput, NotAJsonRpcRequest)
{
    expectError(post(port(), module, "[]"), -32600);
    expectError(post(port(), module, "42"), -32600);
    expectError(post(port(), module, R"({"id":1,"method":"GetDtIni","params":[]})"), -32600);
    expectError(post(port(), module, R"({"jsonrpc":"2.0","id":1,"params":[]})"), -32600);
    expectError(post(port(), module, R"({"jsonrpc":"2.0","id":{},"method":"GetDtIni"})"), -32600);
}

TEST_F(BadInput, BodyOverTheSizeLimit)
{
    const QByteArray big = rpcBody("GetDtIni", "[\"" + QByteArray(8000, 'x') + "\",\"\",\"01\"]");
    const RawAnswer answer = post(port(), module, big);
    EXPECT_EQ(answer.status, 413);
    expectError(answer, -32004);
}

TEST_F(BadInput, UnknownDataModuleOrMethod)
{
    expectError(post(port(), "Fis01400.rdmOutro", goodCall), -32601);
    expectError(post(port(), module, rpcBody("GetTudo", "[]")), -32601);
    expectError(exchange(port(), "GET /outro HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n"),
                -32601);
}

TEST_F(BadInput, WrongNumberOfParameters)
{
    expectError(post(port(), module, rpcBody("GetDtIni", R"(["01","123456"])")), -32602);
    expectError(post(port(), module, rpcBody("GetDtFim", R"(["01","123456","01"])")), -32602);
    expectError(post(port(), module, rpcBody("GetVdDataIni", R"(["01","",45000,"01","x"])")),
                -32602);
}

TEST_F(BadInput, WrongKindOfParameters)
{
    expectError(post(port(), module, rpcBody("GetDtIni", R"([1,"123456","01"])")), -32602);
    expectError(post(port(), module, rpcBody("GetDtIni", R"(["01",null,"01"])")), -32602);
    expectError(post(port(), module, rpcBody("GetDtFim", R"(["01","","01/02/2024","01"])")),
                -32602);
    expectError(post(port(), module, rpcBody("GetDtFim", R"(["01","",true,"01"])")), -32602);
    expectError(post(port(), module, rpcBody("GetDtIni", R"({"empresa":"01"})")), -32602);
}

TEST_F(BadInput, ADateThatIsNotAFiniteNumber)
{
    // JSON has no NaN or infinity: an overflowing literal is refused as it is read, and a
    // finite number far beyond any calendar is refused as a date.
    const RawAnswer overflow =
        post(port(), module, rpcBody("GetVdDataIni", R"(["01","",1e400,"01"])"));
    ASSERT_TRUE(overflow.body.contains("error"));
    EXPECT_TRUE(overflow.body.value("error").toObject().value("code").toInt() == -32700 ||
                overflow.body.value("error").toObject().value("code").toInt() == -32602);
    expectError(post(port(), module, rpcBody("GetVdDataIni", R"(["01","",NaN,"01"])")), -32700);
    expectError(post(port(), module, rpcBody("GetVdDataIni", R"(["01","",1e300,"01"])")), -32602);
    expectError(post(port(), module, rpcBody("GetVdDataFinal", R"(["01","",-1e12,"01"])")), -32602);
}

TEST_F(BadInput, MalformedHttp)
{
    const RawAnswer answer = exchange(port(), "BLA BLA BLA\r\n\r\n", 3000);
    EXPECT_TRUE(answer.closed || answer.status == 400);
    if (answer.status)
        expectError(answer, -32006);
}

TEST_F(BadInput, AClientThatStallsMidRequestTimesOut)
{
    // Half a body, then silence: the server gives up at the request deadline (408), and meanwhile
    // serves everyone else.
    QTcpSocket stalled;
    stalled.connectToHost("127.0.0.1", static_cast<quint16>(port()));
    ASSERT_TRUE(stalled.waitForConnected(2000));
    stalled.write("POST /rpc/Fis01400.rdmDocForne HTTP/1.1\r\nHost: x\r\nContent-Length: 200\r\n"
                  "\r\n{\"jsonrpc\":");
    stalled.waitForBytesWritten(1000);
    QTcpSocket halfHeaders;
    halfHeaders.connectToHost("127.0.0.1", static_cast<quint16>(port()));
    ASSERT_TRUE(halfHeaders.waitForConnected(2000));
    halfHeaders.write("POST /rpc/Fis01400.rdmDocForne HTTP/1.1\r\nHost:");
    halfHeaders.waitForBytesWritten(1000);

    expectServing(port());
    QElapsedTimer timer;
    timer.start();
    for (QTcpSocket *socket : {&stalled, &halfHeaders}) {
        QByteArray answer;
        while (!answer.contains("\"error\"") &&
               socket->state() == QAbstractSocket::ConnectedState && timer.elapsed() < 3000) {
            socket->waitForReadyRead(50);
            answer += socket->readAll();
        }
        EXPECT_TRUE(answer.startsWith("HTTP/1.1 408")) << answer.toStdString();
        EXPECT_TRUE(answer.contains("-32006")) << answer.toStdString();
    }
    EXPECT_LT(timer.elapsed(), 3000);
}

TEST(BadToken, AWrongOrMissingTokenIsRefused)
{
    MapFixture fixture;
    QString error;
    ASSERT_TRUE(fixture.createMaps(standardMaps(), &error)) << error.toStdString();
    ServerProcess server;
    ASSERT_TRUE(server.start(fixture.writeSettings("token", {{"Token", "s3gredo"}})))
        << server.errorOutput().toStdString();
    const int port = server.port();
    RawAnswer answer = post(port, module, goodCall);
    EXPECT_EQ(answer.status, 401);
    expectError(answer, -32001);
    expectError(post(port, module, goodCall, "Authorization: Bearer s3gred0"), -32001);
    expectError(post(port, module, goodCall, "Authorization: Bearer s3gredo2"), -32001);
    expectError(exchange(port, "GET /rpc HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n"),
                -32001);
    answer = post(port, module, goodCall, "Authorization: Bearer s3gredo");
    EXPECT_EQ(answer.status, 200);
    EXPECT_EQ(answer.body.value("result").toObject().value("rows").toArray().size(), 4);
}

TEST(DatabaseGone, TheAnswerSaysSoAndTheServerRecoversWhenItIsBack)
{
    MapFixture fixture;
    if (!fixture.isSqlite())
        GTEST_SKIP() << "the outage is staged with a SQLite file";
    // The server starts while the database file is missing.
    ServerProcess server;
    ASSERT_TRUE(server.start(fixture.writeSettings("gone"))) << server.errorOutput().toStdString();
    const RawAnswer down = post(server.port(), module, goodCall);
    expectError(down, -32002);
    EXPECT_TRUE(
        down.body.value("error").toObject().value("message").toString().contains("indisponível"));

    QString error;
    ASSERT_TRUE(fixture.createMaps(standardMaps(), &error)) << error.toStdString();
    expectServing(server.port());

    // A database that lost its table answers a failure, without the driver's text.
    ASSERT_TRUE(fixture.dropMaps(&error)) << error.toStdString();
    expectError(post(server.port(), module, goodCall), -32003);
    ASSERT_TRUE(fixture.createMaps(standardMaps(), &error)) << error.toStdString();
    expectServing(server.port());
}

// Another program holding the database's write lock: the call waits for it on a worker (and
// is answered once the lock goes), while the connections' loop goes on answering other calls.
TEST(DatabaseLocked, TheCallWaitsForTheLockAndTheOthersAreAnsweredMeanwhile)
{
    MapFixture fixture;
    if (!fixture.isSqlite())
        GTEST_SKIP() << "the lock is staged with a SQLite file";
    QString error;
    ASSERT_TRUE(fixture.createMaps(standardMaps(), &error)) << error.toStdString();
    ServerProcess server;
    ASSERT_TRUE(server.start(fixture.writeSettings("locked"), 0, {"--loop-threads", "1"}))
        << server.errorOutput().toStdString();
    const int port = server.port();
    const QByteArray lookup = rpcBody("GetVdDataIni", R"(["01","999",45430,"01"])");
    {
        QSqlDatabase holder = QSqlDatabase::addDatabase("QSQLITE", "holder");
        holder.setDatabaseName(fixture.engine().dbDatabase);
        ASSERT_TRUE(holder.open());
        QSqlQuery lock(holder);
        ASSERT_TRUE(lock.exec("BEGIN EXCLUSIVE")) << lock.lastError().text().toStdString();

        QTcpSocket waiting;
        waiting.connectToHost(QHostAddress::LocalHost, static_cast<quint16>(port));
        ASSERT_TRUE(waiting.waitForConnected(2000));
        waiting.write("POST /rpc/" + module + " HTTP/1.1\r\nHost: t\r\nContent-Length: " +
                      QByteArray::number(lookup.size()) + "\r\n\r\n" + lookup);
        ASSERT_TRUE(waiting.waitForBytesWritten(2000));
        // Well inside the driver's wait for the lock: one loop, not held by the waiting call.
        const QByteArray pingBody = rpcBody("Ping", "[]");
        const RawAnswer ping =
            exchange(port,
                     "POST /rpc/Velmora.Servidor HTTP/1.1\r\nHost: t\r\nConnection: close\r\n"
                     "Content-Length: " +
                         QByteArray::number(pingBody.size()) + "\r\n\r\n" + pingBody,
                     2000);
        EXPECT_EQ(ping.status, 200) << server.errorOutput().toStdString();
        EXPECT_EQ(waiting.bytesAvailable(), 0) << "answered while the lock was held";

        ASSERT_TRUE(lock.exec("ROLLBACK"));
        const QList<RawAnswer> answers = readAnswers(waiting, 1, 5000);
        ASSERT_EQ(answers.size(), 1);
        EXPECT_EQ(answers.first().status, 200) << answers.first().rawBody.toStdString();
        EXPECT_EQ(rowsOfResult(answers.first()), 1) << answers.first().rawBody.toStdString();
    }
    QSqlDatabase::removeDatabase("holder");
}

// Dates are read as the engine stores them: on SQLite an ISO text, with or without a time. A
// stored value that is no date fails the call, and the statement is left ready for the next.
TEST(StoredDates, ATimeIsIgnoredAndAValueThatIsNoDateFailsTheCallOnly)
{
    MapFixture fixture;
    if (!fixture.isSqlite())
        GTEST_SKIP() << "the stored texts are SQLite's";
    QString error;
    ASSERT_TRUE(fixture.createMaps(standardMaps(), &error)) << error.toStdString();
    const auto insert = [](const char *registration, const char *start, const char *end) {
        return QStringLiteral("INSERT INTO MAPAAPURACAO VALUES ('01', '01', '%1', %2, %3)")
            .arg(QLatin1String(registration), QLatin1String(start), QLatin1String(end));
    };
    ASSERT_TRUE(fixture.execute({insert("T", "'2024-07-01 00:00:00'", "'2024-07-31T00:00:00'"),
                                 insert("BAD", "'2024-08-01'", "'2024-13-31'"),
                                 insert("NUM", "45505", "'2024-08-31'")},
                                &error))
        << error.toStdString();
    ServerProcess server;
    ASSERT_TRUE(
        server.start(fixture.writeSettings("stored"), 0, {"--threads", "1", "--loop-threads", "1"}))
        << server.errorOutput().toStdString();
    const int port = server.port();

    const RawAnswer timed = post(port, module, rpcBody("GetVdDataIni", R"(["01","T",45488,"01"])"));
    ASSERT_EQ(timed.status, 200) << timed.rawBody.toStdString();
    EXPECT_EQ(timed.rawBody.mid(timed.rawBody.indexOf("\"rows\"")),
              R"("rows":[[45474.0,"01/07/2024"]],"status":0}})");

    for (const char *registration : {"BAD", "NUM"}) {
        const QByteArray body =
            rpcBody("GetVdDataFinal", QByteArray(R"(["01",")") + registration + R"(",45520,"01"])");
        const RawAnswer answer = post(port, module, body);
        expectError(answer, -32003);
        EXPECT_TRUE(answer.body.value("error").toObject().value("message").toString().contains(
            "período inválido"));
        // One thread answers: the same statement answers the next call.
        expectServing(port);
    }
}

} // namespace
