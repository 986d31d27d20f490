#include "Fis014Job.h"
#include "JobQueue.h"
#include "RecordingServices.h"
#include "ReportJobRunner.h"
#include "ReportTestSupport.h"
#include "TestReportScreen.h"

#include "framework/TApplication.h"

#include <QAbstractButton>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

using AppServer::Jobs::JobQueue;
using AppServer::Jobs::ReportJob;
using AppServer::Jobs::ReportJobRunner;

namespace {

// The screen's message table, key to text.
QString screenMessage(const QString &key)
{
    QFile file(QStringLiteral(FIS01400_FORM));
    file.open(QIODevice::ReadOnly);
    const QString json = QString::fromUtf8(file.readAll());
    const QRegularExpression line(QStringLiteral("\"%1\\|([^\"]*)\"").arg(key));
    return line.match(json).captured(1);
}

QStringList filesUnder(const QString &dir)
{
    QStringList files;
    QDirIterator it(dir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << it.next().mid(dir.size() + 1);
    return files;
}

QString withoutIssueTime(QString text)
{
    return text.remove(
        QRegularExpression(QStringLiteral("Emitido em \\d\\d/\\d\\d/\\d{4} \\d\\d:\\d\\d")));
}

// The FIS014 job as the screen would queue it, checked against the database's maps and
// registrations before it runs, on every engine.
class JobRunnerTest : public ::testing::TestWithParam<QString>
{
protected:
    void SetUp() override
    {
        db.loadFixture();
        AddFis014Registrations(db);
        job = Fis014Job(layouts.file(QStringLiteral("FIS014.json")), QStringLiteral("pdf"));
    }

    // The same report saved from the screen with the same values.
    QString interactiveSave(const QString &name)
    {
        TestReportScreen screen(&Application());
        screen.Create();
        screen.inscricao = QStringLiteral("123456789");
        const QString path = out.filePath(name);
        services.queueFile(path);
        screen.findChild<QAbstractButton *>(QStringLiteral("sbtSalvarComo"))->click();
        return path;
    }

    TestDatabase db{GetParam()};
    LayoutDirectory layouts;
    RecordingServices services;
    QTemporaryDir out, archive;
    ReportJob job;
    ReportJobRunner runner{db.connection().Settings(), layouts.path(), archive.path()};
};

TEST_P(JobRunnerTest, ArchivesWhatAnInteractiveSaveWrites)
{
    for (const QString &format : {QStringLiteral("pdf"), QStringLiteral("csv")}) {
        SCOPED_TRACE(format.toStdString());
        job.format = format;
        ASSERT_TRUE(runner.run(job)) << job.error.toStdString();
        const QString saved = interactiveSave(QStringLiteral("fis014.") + format);
        const QString expectedName =
            QStringLiteral("%1/FIS014-job-17.%2")
                .arg(job.started.toString(QStringLiteral("yyyy/MM")), format);
        EXPECT_EQ(job.archivePath, expectedName);
        const QString file = runner.archivedFile(job);
        EXPECT_EQ(file, archive.filePath(expectedName));
        EXPECT_EQ(job.state, ReportJob::State::Done);
        EXPECT_EQ(job.percent, 100);
        EXPECT_EQ(job.sha256, Sha256Of(file));
        EXPECT_EQ(job.bytes, QFileInfo(file).size());
        EXPECT_EQ(job.documents,
                  db.expectedTotals(QStringLiteral("AND D.CDINSCRICAO = '123456789'"))
                      .value(0)
                      .toLongLong());
        if (format == QLatin1String("pdf")) {
            EXPECT_EQ(job.pages, PdfPages(file));
            const QString text = withoutIssueTime(PdfText(file));
            EXPECT_TRUE(text.contains(QStringLiteral("Documentos por Fornecedor")));
            EXPECT_EQ(text, withoutIssueTime(PdfText(saved)));
        } else {
            EXPECT_EQ(ReadText(file), ReadText(saved));
        }
        EXPECT_EQ(filesUnder(archive.path()).filter(QStringLiteral(".parcial.")), QStringList());
    }
}

// Every refusal leaves the archive empty and says why in the clerk's words.
TEST_P(JobRunnerTest, RefusesAStaleJobWithTheScreensMessage)
{
    const auto param = [this](const char *name, const QVariant &value) {
        return [this, name, value] { job.params.insert(QLatin1String(name), value); };
    };
    const struct
    {
        const char *name;
        std::function<void()> change;
        QString error;
    } cases[] = {
        {"layout edited since",
         [this] {
             layouts.write(QStringLiteral("FIS014.json"),
                           ReadText(layouts.file(QStringLiteral("FIS014.json"))).toUtf8() + ' ');
         },
         QStringLiteral(
             "O layout do relatório FIS014 mudou desde o pedido: peça o relatório de novo.")},
        {"final date without a map", param("P_DTFINAL", QDate(2024, 2, 29)),
         QStringLiteral("Não existe mapa de apuração para a data informada (29/02/2024).")},
        {"initial date without a map", param("P_DTINICIAL", QDate(2023, 12, 31)),
         QStringLiteral("Não existe mapa de apuração para a data informada (31/12/2023).")},
        {"company gone", param("P_CDEMPRESA", QStringLiteral("09")),
         screenMessage("medCdEmpresa_Cad")},
        {"company code longer than its column", param("P_CDEMPRESA", QStringLiteral("ABC")),
         screenMessage("medCdEmpresa_Cad")},
        {"no company", param("P_CDEMPRESA", QString()), screenMessage("medCdEmpresa_Inf")},
        {"tax without tax codes", param("P_CDIMPOSTO", QStringLiteral("02")),
         screenMessage("CDIMP_INV")},
        {"no tax", param("P_CDIMPOSTO", QVariant()), screenMessage("CDIMP_INF")},
        {"registration of another company", param("P_CDINSCRICAO", QStringLiteral("555")),
         screenMessage("InscEsta_Cad")},
        {"no registration", param("P_CDINSCRICAO", QString()), screenMessage("inscEst_Inf")},
        {"no final date", param("P_DTFINAL", QVariant()), screenMessage("DtFin_inf")},
        {"dates reversed", param("P_DTINICIAL", QDate(2024, 2, 1)), screenMessage("DtIni_inv")},
        {"layout outside the folder", [this] { job.layoutFile = QStringLiteral("../FIS014.json"); },
         QStringLiteral(
             "O pedido do relatório FIS014 nomeia o layout '../FIS014.json', que não é um "
             "arquivo da pasta de layouts.")},
        {"job id that climbs folders", [this] { job.id = QStringLiteral("../x"); },
         QStringLiteral("O pedido do relatório 'FIS014' (../x) não tem um código e uma "
                        "identificação que sirvam de nome de arquivo.")},
        {"unknown format", [this] { job.format = QStringLiteral("doc"); },
         QStringLiteral("O formato 'doc' pedido para o relatório FIS014 não é conhecido: use PDF, "
                        "CSV, XLSX ou HTML.")},
    };
    const ReportJob original = job;
    const QByteArray layout = ReadText(layouts.file(QStringLiteral("FIS014.json"))).toUtf8();
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        job = original;
        layouts.write(QStringLiteral("FIS014.json"), layout);
        c.change();
        ASSERT_FALSE(c.error.isEmpty());
        EXPECT_FALSE(runner.run(job));
        EXPECT_EQ(job.state, ReportJob::State::Failed);
        EXPECT_EQ(job.error, c.error);
        EXPECT_TRUE(job.archivePath.isEmpty());
        EXPECT_TRUE(job.sha256.isEmpty());
        EXPECT_EQ(filesUnder(archive.path()), QStringList());
    }
}

// Whenever the stop comes, before the report, as it starts or once it is written, nothing of
// it stays in the archive.
TEST_P(JobRunnerTest, AStopAtAnyPollLeavesNoFile)
{
    QList<int> told;
    ASSERT_TRUE(runner.run(job, [&told](int percent) {
        told << percent;
        return true;
    }));
    // Before the checks, after them, as the run starts, once written (more while it reads).
    ASSERT_GE(told.size(), 5);
    EXPECT_EQ(told.first(), 0);
    EXPECT_EQ(told.last(), 100);
    EXPECT_TRUE(std::is_sorted(told.cbegin(), told.cend()));
    QFile::remove(runner.archivedFile(job));
    for (int stopAt = 1; stopAt <= 4; ++stopAt) {
        SCOPED_TRACE(stopAt);
        int n = 0;
        EXPECT_FALSE(runner.run(job, [&n, stopAt](int) { return ++n < stopAt; }));
        EXPECT_EQ(job.state, ReportJob::State::Cancelled);
        EXPECT_TRUE(job.error.isEmpty());
        EXPECT_TRUE(job.archivePath.isEmpty());
        EXPECT_EQ(filesUnder(archive.path()), QStringList());
    }
}

// Servers that only work the queue, as processes of their own over the test's database.
class JobServers
{
public:
    JobServers(const Velmora::ConnectionSettings &c, const QString &folder, const QString &layouts,
               const QString &archive)
        : m_config(folder + QStringLiteral("/velmora.ini"))
    {
        QFile file(m_config);
        if (!file.open(QIODevice::WriteOnly))
            ADD_FAILURE() << "settings not written";
        QTextStream(&file) << "[Database]\nDriver=" << c.driver << "\nDatabase=" << c.database
                           << "\nHost=" << c.host
                           << "\nPort=" << (c.port ? QString::number(c.port) : QString())
                           << "\nUser=" << c.user << "\nPassword=" << c.password
                           << "\n[Reports]\nDirectory=" << layouts
                           << "\n[Archive]\nDirectory=" << archive << "\nLeaseSeconds=2\n";
    }
    ~JobServers() { qDeleteAll(m_servers); }

    QProcess *start()
    {
        auto *server = new QProcess;
        m_servers << server;
        server->start(QStringLiteral(VELMORA_APPSERVER),
                      {QStringLiteral("--config"), m_config, QStringLiteral("--jobs-only")});
        if (!server->waitForReadyRead(20000) ||
            server->readLine().trimmed() != QByteArray("fila de relatórios"))
            ADD_FAILURE() << server->readAllStandardError().toStdString();
        return server;
    }

private:
    QString m_config;
    QList<QProcess *> m_servers;
};

// Two servers share fifty jobs; one is killed in the middle of its work. Each job is made
// once, its file the same as the screen's save, and the survivor stops cleanly when told.
TEST_P(JobRunnerTest, JobServersShareTheQueueAndSurviveAKill)
{
    JobServers servers(db.connection().Settings(), out.path(), layouts.path(), archive.path());
    JobQueue queue(&db.connection());
    job.owner = QStringLiteral("clerk");
    QStringList ids;
    for (int i = 0; i < 50; ++i) {
        job.format = i % 10 == 0 ? QStringLiteral("pdf") : QStringLiteral("csv");
        ids << queue.enqueue(job);
    }
    QProcess *doomed = servers.start();
    QProcess *survivor = servers.start();
    QList<ReportJob> done;
    bool killed = false;
    for (int waited = 0; done.size() < ids.size() && waited < 180000; waited += 100) {
        QThread::msleep(100);
        done.clear();
        for (const QString &id : ids)
            if (const auto j = queue.find(id); j && j->state == ReportJob::State::Done)
                done << *j;
        if (!killed && done.size() >= 10) {
            doomed->kill();
            killed = doomed->waitForFinished(10000);
        }
    }
    EXPECT_TRUE(killed);
    survivor->terminate();
    EXPECT_TRUE(survivor->waitForFinished(20000));
    EXPECT_EQ(survivor->exitCode(), 0) << survivor->readAllStandardError().toStdString();
    ASSERT_EQ(done.size(), ids.size());
    // One file a job; the killed server may have left a partial one behind.
    const QStringList files = filesUnder(archive.path());
    EXPECT_EQ(files.size() - files.filter(QStringLiteral(".parcial.")).size(), ids.size());

    job.format = QStringLiteral("csv");
    const QString csv = ReadText(interactiveSave(QStringLiteral("fis014.csv")));
    const QString pdf = withoutIssueTime(PdfText(interactiveSave(QStringLiteral("fis014.pdf"))));
    for (const ReportJob &j : done) {
        const QString file = runner.archivedFile(j);
        EXPECT_EQ(j.sha256, Sha256Of(file)) << j.archivePath.toStdString();
        if (j.format == QLatin1String("csv"))
            EXPECT_EQ(ReadText(file), csv) << j.archivePath.toStdString();
        else
            EXPECT_EQ(withoutIssueTime(PdfText(file)), pdf) << j.archivePath.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Engines, JobRunnerTest, ::testing::ValuesIn(TestDatabase::Engines()),
                         [](const auto &info) { return info.param.toStdString(); });

TEST(JobRunnerSettings, ArchiveSitsBesideTheSettingsUnlessNamed)
{
    QTemporaryDir dir;
    const auto settingsWith = [&dir](const QByteArray &ini) {
        QFile file(dir.filePath(QStringLiteral("velmora.ini")));
        file.open(QIODevice::WriteOnly | QIODevice::Truncate);
        file.write(ini);
        file.close();
        return Velmora::Settings::load(file.fileName());
    };
    EXPECT_EQ(ReportJobRunner(settingsWith("[Reports]\nDirectory=layouts\n")).archiveDirectory(),
              dir.filePath(QStringLiteral("archive")));
    EXPECT_EQ(
        ReportJobRunner(settingsWith("[Archive]\nDirectory=emitidos/2024\n")).archiveDirectory(),
        dir.filePath(QStringLiteral("emitidos/2024")));
    EXPECT_EQ(
        ReportJobRunner(settingsWith("[Archive]\nDirectory=/srv/arquivo\n")).archiveDirectory(),
        QStringLiteral("/srv/arquivo"));
}

} // namespace
