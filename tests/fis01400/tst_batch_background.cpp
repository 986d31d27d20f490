// The report of FIS01400 sent to the application server's queue by a batch job: made by the
// queue's server from the screen's values, it equals the screen's own save.
#include "BatchRun.h"
#include "ScreenMessages.h"

#include "reports/ReportJobClient.h"
#include "rtl/UserName.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>

namespace {

using namespace ScreenMessages;

const QByteArray typed = R"({"do":"enter","control":"medCdImposto","text":"01"},
    {"do":"enter","control":"medCdEmpresa","text":"01"},
    {"do":"enter","control":"edtInscricao","text":"110042490114"},
    {"do":"enter","control":"depDtInicial","text":"01012024"},
    {"do":"enter","control":"depDtFinal","text":"31012024"})";

QByteArray contents(const QString &path)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << qPrintable(path);
    return file.readAll();
}

// The clerk's jobs as the queue lists them, asked as the workstation asks.
QList<Velmora::Reports::ReportJobRow> QueuedJobs()
{
    BatchEnvironment().installSettings();
    Velmora::Reports::ReportJobClient client;
    return client.List(Velmora::UserName());
}

TEST(BatchBackground, TheQueuedReportEqualsTheScreensSave)
{
    ModuleEnvironment &env = BatchEnvironment();
    const JobRun r = RunJob("[" + typed + R"(,
        {"do":"action","name":"save","file":"$DIR/tela.csv"},
        {"do":"action","name":"background","file":"$DIR/fila.csv","timeout":300},
        {"do":"action","name":"background","file":"$DIR/fila.dados","format":"pdf","timeout":300}])");
    ASSERT_EQ(r.status, 0) << qPrintable(r.errors) << qPrintable(r.errorTexts().join('\n'));
    ASSERT_EQ(r.reports().size(), 3);
    const QJsonObject saved = r.reports()[0];
    EXPECT_GT(saved.value("rows").toInteger(), 0);
    for (const int n : {1, 2}) {
        const QJsonObject queued = r.reports()[n];
        SCOPED_TRACE(qPrintable(queued.value("file").toString()));
        EXPECT_EQ(queued.value("action").toString(), "background");
        EXPECT_FALSE(queued.value("job").toString().isEmpty());
        EXPECT_EQ(queued.value("rows"), saved.value("rows"));
        const QByteArray bytes = contents(queued.value("file").toString());
        EXPECT_EQ(queued.value("bytes").toInteger(), bytes.size());
        EXPECT_EQ(queued.value("sha256").toString(),
                  QString::fromLatin1(
                      QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex()));
    }
    EXPECT_EQ(contents(env.folder() + "/fila.csv"), contents(env.folder() + "/tela.csv"));
    EXPECT_TRUE(contents(env.folder() + "/fila.dados").startsWith("%PDF-"));
    EXPECT_GT(r.reports()[2].value("pages").toInt(), 0);
    EXPECT_NE(r.reports()[1].value("job"), r.reports()[2].value("job"));
}

TEST(BatchBackground, ARefusedCheckQueuesNothing)
{
    const qsizetype before = QueuedJobs().size();
    const JobRun r = RunJob(R"([{"do":"enter","control":"medCdEmpresa","text":"01"},
        {"do":"action","name":"background","file":"$DIR/recusado.csv"}])");
    EXPECT_FALSE(r.ok(2));
    EXPECT_EQ(r.errorTexts(), QStringList{taxInf});
    EXPECT_EQ(r.focusAfter(2), "medCdImposto");
    EXPECT_TRUE(r.reports().isEmpty());
    EXPECT_FALSE(QFileInfo::exists(BatchEnvironment().folder() + "/recusado.csv"));
    EXPECT_EQ(QueuedJobs().size(), before);
}

// The server gone after the typing: the step says so, and the screen keeps every value.
TEST(BatchBackground, AnUnreachableServerLosesNothingTyped)
{
    ModuleEnvironment &env = BatchEnvironment();
    const int port = env.serverPort();
    const JobRun r = RunJob(env, QStringLiteral("FIS01400"), "[" + typed + R"(,
        {"do":"action","name":"background","file":"$DIR/sem-servidor.csv"},
        {"do":"dump"}])",
                            [&env](int step) {
                                if (step == 5)
                                    env.stopServer();
                            });
    env.startServer(port);
    EXPECT_FALSE(r.ok(6));
    ASSERT_EQ(r.errorTexts().size(), 1);
    EXPECT_TRUE(r.errorTexts()[0].contains(
        QStringLiteral("Não foi possível conectar ao servidor de aplicação em 127.0.0.1:%1")
            .arg(port)))
        << qPrintable(r.errorTexts()[0]);
    EXPECT_EQ(r.text("medCdImposto"), "01");
    EXPECT_EQ(r.text("medCdEmpresa"), "01");
    EXPECT_EQ(r.text("edtInscricao"), "110042490114");
    EXPECT_EQ(r.text("depDtInicial"), "01/01/2024");
    EXPECT_EQ(r.text("depDtFinal"), "31/01/2024");
    EXPECT_FALSE(QFileInfo::exists(env.folder() + "/sem-servidor.csv"));
}

} // namespace
