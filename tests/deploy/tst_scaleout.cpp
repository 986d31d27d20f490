// The application server scaled out as deploy/ ships it: two servers on one PostgreSQL
// database behind nginx serving the shipped site, and the screen FIS01400 run by the velmora
// executable's batch runner against nginx's port. One server dies in the middle of the job,
// with a call of the job unanswered on it: nginx sends that call to the other server, and the
// job never knows. A change made in the database behind the servers' backs is seen at once
// through either of them.
#include "AppServerInstance.h"
#include "BatchJobRun.h"
#include "NginxFront.h"
#include "TestDatabases.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QThread>

#include <httplib.h>

#include <atomic>
#include <memory>
#include <thread>

namespace {

const QString dataModule = QStringLiteral("Fis01400.rdmDocForne");

ModuleSpec Fis01400Module()
{
    return {QStringLiteral("fis01400"), QStringLiteral(FIS01400_LAYOUTS), dataModule};
}

// One call straight through nginx, as any client makes it: the answer's result, or the error.
QJsonObject CallThrough(int port, const QString &method, const QJsonArray &params)
{
    httplib::Client client("127.0.0.1", port);
    client.set_read_timeout(15, 0);
    const QJsonObject request{
        {"jsonrpc", "2.0"}, {"id", 1}, {"method", method}, {"params", params}};
    const auto answer =
        client.Post(("/rpc/" + dataModule).toStdString(),
                    QJsonDocument(request).toJson().toStdString(), "application/json");
    if (!answer) {
        ADD_FAILURE() << "no answer from nginx: " << httplib::to_string(answer.error());
        return {};
    }
    const QJsonObject body =
        QJsonDocument::fromJson(QByteArray::fromStdString(answer->body)).object();
    EXPECT_EQ(answer->status, 200) << answer->body;
    return body;
}

// The first initial date GetDtIni offers for the road's key (newest first).
QString NewestPeriodThrough(int port)
{
    const QJsonObject answer =
        CallThrough(port, QStringLiteral("GetDtIni"), {"01", "110042490114", "01"});
    return answer["result"]["rows"][0][0].toString();
}

// Tax, company and registration typed; the dates taken from the servers' periods; the report
// saved three times, each save checking the period through the servers again.
const QByteArray road = R"([
    {"do":"enter","control":"medCdImposto","text":"01"},
    {"do":"enter","control":"medCdEmpresa","text":"01"},
    {"do":"lookup","control":"btpInscricao","pick":{"CDINSCESTA":"110042490114"}},
    {"do":"lookup","control":"btnDataIni","pick":{"DTINICIAL":"01/01/2024"}},
    {"do":"lookup","control":"btnDataFim","pick":{"DTFINAL":"29/02/2024"}},
    {"do":"action","name":"save","file":"$DIR/escala.pdf"},
    {"do":"action","name":"save","file":"$DIR/escala.csv"},
    {"do":"action","name":"save","file":"$DIR/escala.xlsx"}])";
constexpr int datesLookedUp = 5; // the step after which both date lookups were answered
constexpr int saves = 3;

class ScaleOut : public ::testing::Test
{
protected:
    void SetUp() override
    {
        try {
            env = std::make_unique<ModuleEnvironment>(
                Fis01400Module(), QStringLiteral(FIS01400_FIXTURE), QStringLiteral("postgresql"));
            // The environment's own server gives way to the two behind nginx.
            env->stopServer();
            first = std::make_unique<AppServerInstance>(
                env->settingsFile(), env->folder() + QStringLiteral("/servidor-1.log"));
            second = std::make_unique<AppServerInstance>(
                env->settingsFile(), env->folder() + QStringLiteral("/servidor-2.log"));
            nginx = std::make_unique<NginxFront>(QList<int>{first->port(), second->port()});
            // The desktop knows nginx only.
            env->writeSettings(nginx->port());
        } catch (const std::exception &e) {
            FAIL() << e.what();
        }
    }

    std::unique_ptr<ModuleEnvironment> env;
    std::unique_ptr<AppServerInstance> first, second;
    std::unique_ptr<NginxFront> nginx;
};

TEST_F(ScaleOut, TheServersRunWithoutWritableExecutableMemory)
{
    if (!AppServerInstance::canDenyWriteExecute())
        GTEST_SKIP() << "this kernel has no MDWE (Linux 6.3 on)";
    // Both started under it and answer a lookup: Qt and the drivers need no such memory.
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(NewestPeriodThrough(nginx->port()), "01/03/2024");
    EXPECT_EQ(first->answered(dataModule + QStringLiteral(".GetDtIni")), 1);
    EXPECT_EQ(second->answered(dataModule + QStringLiteral(".GetDtIni")), 1);
}

TEST_F(ScaleOut, AChangeInTheDatabaseIsSeenAtOnceThroughEitherServer)
{
    const QString method = dataModule + QStringLiteral(".GetDtIni");
    // Each server reads the key once, as a server that kept periods would now keep them.
    for (int i = 0; i < 2; ++i)
        ASSERT_EQ(NewestPeriodThrough(nginx->port()), "01/03/2024");
    ASSERT_EQ(first->answered(method), 1);
    ASSERT_EQ(second->answered(method), 1);

    env->connection().Execute(
        QStringLiteral("UPDATE MAPAAPURACAO SET DTINIPERIODO = ? WHERE CDEMPRESA = '01' AND "
                       "CDIMPOSTONFE = '01' AND CDINSCRICAO = '110042490114' AND "
                       "DTINIPERIODO = ?"),
        {QDate(2024, 3, 2), QDate(2024, 3, 1)});

    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(NewestPeriodThrough(nginx->port()), "02/03/2024") << "call " << i + 1;
    EXPECT_GE(first->answered(method), 2) << "the first server answered after the change";
    EXPECT_GE(second->answered(method), 2) << "the second server answered after the change";
}

TEST_F(ScaleOut, AServerDiesInTheMiddleOfTheRoadAndTheJobGoesOnThroughTheOther)
{
    int firstBefore = 0, secondBefore = 0;
    std::atomic<bool> killed{false};
    std::thread killer;
    const JobRun r = RunJob(*env, QStringLiteral("FIS01400"), road, [&](int step) {
        if (step != datesLookedUp)
            return;
        firstBefore = first->answered();
        secondBefore = second->answered();
        // The first server stops reading: the next call nginx gives it waits there, sent and
        // unanswered, and then the server dies under it.
        first->pause();
        const qint64 pid = first->pid();
        killer = std::thread([this, pid, &killed] {
            QElapsedTimer clock;
            clock.start();
            while (!first->holdsUnreadCall() && clock.elapsed() < 20000)
                QThread::msleep(2);
            killed = first->holdsUnreadCall();
            ::kill(static_cast<pid_t>(pid), SIGKILL);
        });
    });
    if (killer.joinable())
        killer.join();

    // The calls before the kill reached both servers (handshake and the two date lookups).
    EXPECT_GE(firstBefore, 1);
    EXPECT_GE(secondBefore, 1);
    EXPECT_TRUE(killed) << "no call of the job reached the stopped server";

    // Nothing of it shows in the job: every step ok, no message, three reports.
    ASSERT_EQ(r.status, 0) << qPrintable(r.errors);
    EXPECT_TRUE(r.messages().isEmpty()) << qPrintable(r.messages().join('\n'));
    EXPECT_TRUE(r.events(QStringLiteral("wait")).isEmpty()) << "no call was given up";
    for (int n = 1; n <= datesLookedUp + saves; ++n)
        EXPECT_TRUE(r.ok(n)) << "step " << n;
    EXPECT_EQ(r.reports().size(), saves);

    // nginx met the dead server with the call already sent, and asked the other.
    const QString log = nginx->errorLog();

    EXPECT_TRUE(log.contains(QStringLiteral("upstream")) &&
                (log.contains(QStringLiteral("reset by peer")) ||
                 log.contains(QStringLiteral("prematurely closed"))))
        << qPrintable(log);
    // Each save checks both dates: all of those answers came from the second server.
    for (const char *check : {"GetVdDataIni", "GetVdDataFinal"})
        EXPECT_EQ(second->answered(dataModule + QLatin1Char('.') + QLatin1String(check)), saves)
            << check;
    EXPECT_EQ(first->answered(dataModule + QStringLiteral(".GetVdDataIni")) +
                  first->answered(dataModule + QStringLiteral(".GetVdDataFinal")),
              0);
}

TEST(NginxSite, EveryLineATestReplacesIsThere)
{
    const QByteArray site = "upstream u {\n    server 10.0.0.1:1 max_fails=1;\n"
                            "    server 10.0.0.2:2;\n    keepalive 4;\n}\nserver {\n"
                            "    listen 80;\n    listen [::]:80;\n"
                            "    access_log /var/a.log;\n    error_log /var/e.log warn;\n}\n";
    const QString out = QString::fromUtf8(SiteForTest(site, {5001, 5002}, 7000, "/t"));
    EXPECT_TRUE(out.contains("server 127.0.0.1:5001 max_fails=1;")) << qPrintable(out);
    EXPECT_TRUE(out.contains("server 127.0.0.1:5002;"));
    EXPECT_EQ(out.count("listen"), 1);
    EXPECT_TRUE(out.contains("listen 127.0.0.1:7000;"));
    EXPECT_TRUE(out.contains("access_log /t/access_log.log;"));
    EXPECT_TRUE(out.contains("error_log /t/error_log.log warn;"));
    EXPECT_TRUE(out.contains("keepalive 4;"));
    // A site with one server fewer than the test runs is refused, not half used.
    EXPECT_THROW(SiteForTest(site, {1, 2, 3}, 7000, "/t"), std::runtime_error);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
