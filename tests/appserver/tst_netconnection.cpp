// TNetConnection against real servers: the handshake, time-outs, a server that dies and comes
// back, and the reconnect after the server closed an idle connection.
#include "ConnectionHelpers.h"
#include "MapFixture.h"
#include "ServerProcess.h"

#include "framework/ComponentRegistry.h"
#include "rtl/Exceptions.h"
#include "rtl/TDateTime.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTcpServer>
#include <QThread>

#include <atomic>
#include <csignal>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

namespace {

const QVariantList goodArgs{"01", "123456", "01"};

// Runs the call and returns the ERemoteError's message (empty when nothing was raised).
template <class F> QString remoteError(F &&call)
{
    try {
        call();
    } catch (const ERemoteError &e) {
        return e.Message();
    }
    return {};
}

class NetConnection : public testing::Test
{
protected:
    void SetUp() override
    {
        QString error;
        ASSERT_TRUE(fixture.createMaps(standardMaps(), &error)) << error.toStdString();
        settingsPath = fixture.writeSettings("net");
    }
    void startServer(ServerProcess &server, int port = 0, const QStringList &extra = {})
    {
        ASSERT_TRUE(server.start(settingsPath, port, extra)) << server.errorOutput().toStdString();
        useServer(settingsPath, server.port());
    }

    MapFixture fixture;
    QString settingsPath;
    SettingsAddress address;
};

TEST_F(NetConnection, ConnectingRaisesBeforeConnectAndChecksTheServerName)
{
    ServerProcess server;
    startServer(server);
    auto connection = makeConnection(address);
    EXPECT_FALSE(connection->Connected());
    connection->SetConnected(true);
    EXPECT_TRUE(connection->Connected());
    EXPECT_EQ(address.calls, 1);
    EXPECT_EQ(connection->Port(), server.port());
    EXPECT_EQ(connection->Host(), "127.0.0.1");
    EXPECT_TRUE(connection->HostedServers().contains("Fis01400.rdmDocForne"));
    // Calls go over the same connection: no new BeforeConnect.
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(rowsOf(connection->Call("GetDtIni", goodArgs)).size(), 4);
    EXPECT_EQ(address.calls, 1);

    auto other = makeConnection(address, "Fis01400.rdmOutro");
    const QString message = remoteError([&] { other->SetConnected(true); });
    EXPECT_TRUE(message.contains("Fis01400.rdmOutro")) << message.toStdString();
    EXPECT_TRUE(message.contains(QStringLiteral("127.0.0.1:%1").arg(server.port())));
    EXPECT_FALSE(other->Connected());
}

TEST_F(NetConnection, ARemoteErrorCarriesTheServersMessage)
{
    ServerProcess server;
    startServer(server);
    auto connection = makeConnection(address);
    const QString message = remoteError([&] {
        connection->Call("GetDtFim", {"01", "123456", "01"});
    });
    EXPECT_TRUE(message.contains("GetDtFim espera 4")) << message.toStdString();
    EXPECT_TRUE(message.contains(QString::number(server.port())));
    EXPECT_EQ(rowsOf(connection->Call("GetDtIni", goodArgs)).size(), 4);
    // An argument that cannot travel is refused before anything is sent.
    EXPECT_FALSE(remoteError([&] {
                     connection->Call("GetDtIni", {QVariantList{}, "", ""});
                 }).isEmpty());
    EXPECT_FALSE(remoteError([&] {
                     connection->Call("GetVdDataIni",
                                      {"01", "", QVariant::fromValue(TDateTime(qQNaN())), "01"});
                 }).isEmpty());
}

TEST_F(NetConnection, AClosedPortFailsAtOnceNamingHostAndPort)
{
    QTcpServer probe;
    ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
    const int port = probe.serverPort();
    probe.close();
    useServer(settingsPath, port);
    for (bool throwException : {true, false}) {
        auto connection = makeConnection(address);
        connection->SetThrowException(throwException);
        QElapsedTimer timer;
        timer.start();
        const QString message = remoteError([&] { connection->SetConnected(true); });
        EXPECT_TRUE(message.contains(QStringLiteral("127.0.0.1:%1").arg(port)))
            << message.toStdString();
        EXPECT_LT(timer.elapsed(), 1000);
        EXPECT_FALSE(connection->Connected());
        EXPECT_FALSE(remoteError([&] { connection->Call("GetDtIni", goodArgs); }).isEmpty());
    }
}

TEST_F(NetConnection, AServerThatNeverAnswersTimesOut)
{
    // The kernel completes the connection; nobody ever reads or answers.
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    useServer(settingsPath, silent.serverPort());
    auto connection = makeConnection(address);
    QElapsedTimer timer;
    timer.start();
    const QString message = remoteError([&] { connection->SetConnected(true); });
    EXPECT_TRUE(message.contains(QStringLiteral("não respondeu em 1500 ms")))
        << message.toStdString();
    EXPECT_TRUE(message.contains(QStringLiteral("127.0.0.1:%1").arg(silent.serverPort())));
    EXPECT_GE(timer.elapsed(), 1400);
    EXPECT_LT(timer.elapsed(), 4000);
}

// SIGSTOP takes effect asynchronously: on a busy machine a worker thread may still answer a
// call made right after it, so the test waits until the system reports the process stopped.
bool waitUntilStopped(qint64 pid)
{
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 5000) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (stat.open(QIODevice::ReadOnly)) {
            const QByteArray line = stat.readAll();
            const qsizetype close = line.lastIndexOf(')');
            if (close > 0 && close + 2 < line.size() && line.at(close + 2) == 'T')
                return true;
        }
        QThread::msleep(5);
    }
    return false;
}

TEST_F(NetConnection, AServerThatStopsMidSessionTimesOutTheCall)
{
    ServerProcess server;
    startServer(server);
    auto connection = makeConnection(address);
    connection->SetConnected(true);
    ASSERT_EQ(::kill(static_cast<pid_t>(server.pid()), SIGSTOP), 0);
    ASSERT_TRUE(waitUntilStopped(server.pid()));
    QElapsedTimer timer;
    timer.start();
    const QString message = remoteError([&] { connection->Call("GetDtIni", goodArgs); });
    ::kill(static_cast<pid_t>(server.pid()), SIGCONT);
    EXPECT_TRUE(message.contains(QStringLiteral("não respondeu"))) << message.toStdString();
    EXPECT_LT(timer.elapsed(), 4000);
    EXPECT_EQ(rowsOf(connection->Call("GetDtIni", goodArgs)).size(), 4);
}

TEST_F(NetConnection, AServerKilledMidSessionFailsTheNextCallAndARestartServesAgain)
{
    ServerProcess server;
    startServer(server);
    const int port = server.port();
    auto connection = makeConnection(address);
    connection->SetConnected(true);
    ASSERT_EQ(rowsOf(connection->Call("GetDtIni", goodArgs)).size(), 4);

    server.kill();
    const QString message = remoteError([&] { connection->Call("GetDtIni", goodArgs); });
    EXPECT_TRUE(message.contains(QStringLiteral("127.0.0.1:%1").arg(port)))
        << message.toStdString();

    ServerProcess again;
    startServer(again, port);
    EXPECT_EQ(rowsOf(connection->Call("GetDtIni", goodArgs)).size(), 4);
    EXPECT_TRUE(connection->Connected());
}

TEST_F(NetConnection, AnIdleConnectionClosedByTheServerIsReopenedWithAFreshAddress)
{
    ServerProcess first, second;
    startServer(first, 0, {"--idle-timeout", "1"});
    auto connection = makeConnection(address);
    connection->SetConnected(true);
    ASSERT_EQ(rowsOf(connection->Call("GetDtIni", goodArgs)).size(), 4);
    EXPECT_EQ(address.calls, 1);

    // Wait past the server's idle time-out; meanwhile the address in the settings changes.
    startServer(second, 0, {"--idle-timeout", "1"});
    QThread::msleep(2300);
    EXPECT_EQ(rowsOf(connection->Call("GetDtIni", goodArgs)).size(), 4);
    EXPECT_EQ(address.calls, 2);
    EXPECT_EQ(connection->Port(), second.port());
}

TEST_F(NetConnection, ABurstOfClientsConnectingAtOnceIsServed)
{
    // More clients than a short listen queue holds, all connecting in the same instant.
    ServerProcess server;
    startServer(server);
    constexpr int clients = 48;
    std::atomic<int> served{0}, ready{0};
    std::vector<QString> failures(clients);
    std::vector<std::thread> threads;
    for (int i = 0; i < clients; ++i)
        threads.emplace_back([&, i] {
            TNetConnection connection;
            connection.SetServerName("Fis01400.rdmDocForne");
            connection.SetHost("127.0.0.1");
            connection.SetPort(server.port());
            ++ready;
            while (ready < clients)
                std::this_thread::yield();
            failures[i] = remoteError([&] {
                if (rowsOf(connection.Call("GetDtIni", goodArgs)).size() == 4)
                    ++served;
            });
        });
    for (std::thread &t : threads)
        t.join();
    EXPECT_EQ(served, clients);
    for (const QString &failure : failures)
        EXPECT_TRUE(failure.isEmpty()) << failure.toStdString();
}

TEST_F(NetConnection, TheTokenOfTheSettingsIsSent)
{
    const QString withToken = fixture.writeSettings("token", {{"Token", "s3gredo"}});
    ServerProcess server;
    ASSERT_TRUE(server.start(withToken)) << server.errorOutput().toStdString();
    useServer(withToken, server.port());
    auto connection = makeConnection(address);
    EXPECT_EQ(rowsOf(connection->Call("GetDtIni", goodArgs)).size(), 4);

    Velmora::Settings wrong = Velmora::settings();
    wrong.serverToken = "outro";
    Velmora::installSettings(wrong);
    auto refused = makeConnection(address);
    const QString message = remoteError([&] { refused->SetConnected(true); });
    EXPECT_TRUE(message.contains("Acesso negado")) << message.toStdString();
}

TEST(NetConnectionRegistration, TheFormLoaderKnowsTheClassAndItsEvent)
{
    Velmora::RegisterFrameworkComponents();
    const Velmora::ComponentClass *c =
        Velmora::ComponentRegistry::instance().Find("TNetConnection");
    ASSERT_NE(c, nullptr);
    ASSERT_EQ(c->events.size(), 1);
    EXPECT_EQ(c->events[0].name, "BeforeConnect");
    QObject owner;
    EXPECT_NE(qobject_cast<TNetConnection *>(c->create(&owner, nullptr)), nullptr);
}

TEST(WebAddress, ComesFromTheSettings)
{
    Velmora::Settings s;
    s.serverHost = "10.0.0.7";
    s.serverPort = 9123;
    Velmora::installSettings(s);
    EXPECT_EQ(Velmora::WebPort(), 9123);
    EXPECT_EQ(Velmora::WebURL(), "10.0.0.7");
}

} // namespace
