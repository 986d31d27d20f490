// The report queue's client where no server answers, and the parameters as it sends them.
#include "data/TParams.h"
#include "reports/BackgroundRun.h"
#include "reports/ReportJobClient.h"
#include "rtl/Exceptions.h"
#include "rtl/Settings.h"
#include "rtl/TDateTime.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using Velmora::Reports::ReportJobClient;
using Velmora::Reports::ReportJobRequest;

// A loopback port nobody listens on: one the system gave and took back.
int deadPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr *>(&address), size), 0);
    EXPECT_EQ(::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &size), 0);
    ::close(fd);
    return ntohs(address.sin_port);
}

class JobClientWithoutServer : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_saved = Velmora::settings();
        Velmora::Settings s = m_saved;
        s.serverHost = QStringLiteral("127.0.0.1");
        s.serverPort = deadPort();
        s.connectTimeoutMs = 2000;
        Velmora::installSettings(s);
    }
    void TearDown() override { Velmora::installSettings(m_saved); }

    Velmora::Settings m_saved;
};

TEST_F(JobClientWithoutServer, EveryCallSaysTheServerCannotBeReached)
{
    ReportJobRequest request{QStringLiteral("FIS01400"),
                             QStringLiteral("FIS014"),
                             QStringLiteral("FIS014.json"),
                             QString(64, QLatin1Char('0')),
                             QStringLiteral("ana"),
                             QStringLiteral("csv"),
                             {}};
    const QList<std::pair<const char *, std::function<void(ReportJobClient &)>>> calls{
        {"Enfileirar", [&](ReportJobClient &c) { c.Enqueue(request); }},
        {"Listar", [](ReportJobClient &c) { c.List(QStringLiteral("ana")); }},
        {"Situacao",
         [](ReportJobClient &c) { c.Status(QStringLiteral("7"), QStringLiteral("ana")); }},
        {"Cancelar",
         [](ReportJobClient &c) { c.Cancel(QStringLiteral("7"), QStringLiteral("ana")); }},
        {"ExecutarNovamente",
         [](ReportJobClient &c) { c.RunAgain(QStringLiteral("7"), QStringLiteral("ana")); }}};
    for (const auto &[name, call] : calls) {
        SCOPED_TRACE(name);
        ReportJobClient client;
        try {
            call(client);
            ADD_FAILURE() << "no failure";
        } catch (const ERemoteError &e) {
            EXPECT_TRUE(e.Message().startsWith(
                QStringLiteral("Não foi possível conectar ao servidor de aplicação em 127.0.0.1:")))
                << qPrintable(e.Message());
        }
    }
}

// A failed download leaves nothing of its own and an earlier file as it was.
TEST_F(JobClientWithoutServer, AFailedDownloadLeavesNoFile)
{
    QTemporaryDir dir;
    const QString earlier = dir.filePath(QStringLiteral("antigo.pdf"));
    QFile file(earlier);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("conteúdo anterior");
    file.close();
    for (const QString &target : {dir.filePath(QStringLiteral("novo.pdf")), earlier}) {
        SCOPED_TRACE(qPrintable(target));
        ReportJobClient client;
        try {
            client.Download(QStringLiteral("7"), QStringLiteral("ana"), target);
            ADD_FAILURE() << "no failure";
        } catch (const ERemoteError &e) {
            EXPECT_TRUE(e.Message().contains(
                QStringLiteral("O relatório 7 não foi gravado em '%1': não foi possível conectar")
                    .arg(QDir::toNativeSeparators(target))))
                << qPrintable(e.Message());
        }
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                  QStringList{QStringLiteral("antigo.pdf")});
    }
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("conteúdo anterior"));
}

// The screen's values as the queue keeps them: texts as strings (the empty one too), the day
// of a moment, nulls.
TEST(JobClientParameters, AsTheQueueKeepsThem)
{
    TParams params;
    params.Add(QStringLiteral("P_CDEMPRESA"))->SetAsString(QStringLiteral("01"));
    params.Add(QStringLiteral("P_CDINSCRICAO"))->SetAsString(QString());
    params.Add(QStringLiteral("P_DTINICIAL"))
        ->SetAsDate(TDateTime::fromDateTime(QDateTime(QDate(2024, 1, 31), QTime(18, 30))));
    params.Add(QStringLiteral("P_DTFINAL"))->SetAsDate(TDateTime::fromDate(QDate(2024, 2, 29)));
    params.Add(QStringLiteral("P_CDFILIAL"));
    params.Add(QStringLiteral("P_TEXTO_DATA"))->SetAsString(QStringLiteral("2024-02-29"));
    ReportJobRequest request;
    request.parameters = Velmora::Reports::QueueParameters(params);
    EXPECT_EQ(request.ParametersJson(),
              QStringLiteral(R"({"P_CDEMPRESA":"01","P_CDFILIAL":null,"P_CDINSCRICAO":"",)"
                             R"("P_DTFINAL":{"data":"2024-02-29"},)"
                             R"("P_DTINICIAL":{"data":"2024-01-31"},)"
                             R"("P_TEXTO_DATA":"2024-02-29"})"));
}

} // namespace
