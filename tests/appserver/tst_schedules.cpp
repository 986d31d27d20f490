// Schedules made over a real server ("Velmora.Agendas") and the jobs of their occurrences, on
// every engine: two servers ticking at the same instant queue one job whose dates are the
// occurrence's period; after a downtime one job; a deleted parameter set gives a failed job
// saying why; a server that works the queue ticks as it starts. Then what Agendar refuses and
// what the scheduling dialog refuses.
#include "JobQueue.h"
#include "ScheduledJob.h"
#include "ServerProcess.h"
#include "TestDatabases.h"
#include "reports/ScheduleClient.h"
#include "reports/ScheduleDialog.h"
#include "reports/VariantStore.h"
#include "rtl/Exceptions.h"
#include "rtl/Settings.h"

#include <QApplication>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>
#include <gtest/gtest.h>

#include <latch>
#include <thread>

using AppServer::Jobs::JobQueue;
using AppServer::Jobs::ReportJob;
using AppServer::Jobs::Schedule;
using Velmora::Reports::ScheduleClient;
using Velmora::Reports::ScheduleFrequency;
using Velmora::Reports::ScheduleRequest;
using Velmora::Test::Raised;
using Velmora::Test::ScratchDatabase;

namespace {

const QString screen = QStringLiteral("FIS01400");
const QString sha = QString(64, QLatin1Char('a'));

QDateTime at(const char *text)
{
    return QDateTime::fromString(QString::fromLatin1(text), QStringLiteral("yyyy-MM-dd HH:mm"));
}

QJsonObject day(const char *iso)
{
    return {{QStringLiteral("data"), QString::fromLatin1(iso)}};
}

// The set "Mensal" of ana: the previous month, on the 5th at 08:00, as a CSV.
ScheduleRequest monthly()
{
    ScheduleRequest r;
    r.screen = screen;
    r.owner = QStringLiteral("ana");
    r.variant = QStringLiteral("Mensal");
    r.timing = {ScheduleFrequency::Monthly, 5, QTime(8, 0), QStringLiteral("csv")};
    r.reportCode = QStringLiteral("FIS014");
    r.layoutFile = QStringLiteral("FIS014.json");
    r.layoutVersion = sha;
    r.parameters = {{QStringLiteral("empresa"), QStringLiteral("01")},
                    {QStringLiteral("filial"), QJsonValue::Null},
                    {QStringLiteral("inicio"), day("2026-01-01")},
                    {QStringLiteral("fim"), day("2026-01-31")}};
    r.period = QStringLiteral("mes_anterior");
    r.startParam = QStringLiteral("inicio");
    r.endParam = QStringLiteral("fim");
    return r;
}

class ScheduleTest : public ::testing::TestWithParam<QString>
{
protected:
    void SetUp() override
    {
        config = db.WriteSettingsFile();
        ASSERT_TRUE(server.start(config)) << qPrintable(server.errorOutput());
        client = std::make_unique<ScheduleClient>(QStringLiteral("127.0.0.1"), server.port());
        sets.save(screen, QStringLiteral("ana"), QStringLiteral("Mensal"), {});
    }

    // The jobs of the schedule, newest first.
    QList<ReportJob> jobsOf(const QString &id)
    {
        QList<ReportJob> out;
        for (const ReportJob &j : queue.list(QStringLiteral("ana")))
            if (j.scheduleId == id)
                out << j;
        return out;
    }

    ScratchDatabase db{GetParam()};
    QString config;
    ServerProcess server;
    std::unique_ptr<ScheduleClient> client;
    Velmora::Reports::VariantStore sets{&db.Connection()};
    JobQueue queue{&db.Connection()};
};

TEST_P(ScheduleTest, OccurrencesQueueOneJobEachWithTheirPeriod)
{
    const QString id = client->add(monthly());
    const QList<Velmora::Reports::ScheduleEntry> listed = client->list(QStringLiteral("ana"));
    ASSERT_EQ(listed.size(), 1);
    EXPECT_EQ(listed[0].id, id);
    EXPECT_EQ(listed[0].variant, QStringLiteral("Mensal"));
    EXPECT_EQ(listed[0].timing.day, 5);
    EXPECT_EQ(listed[0].timing.time, QTime(8, 0));
    EXPECT_TRUE(listed[0].created.isValid());
    EXPECT_FALSE(listed[0].lastQueued.isValid());
    EXPECT_TRUE(client->list(QStringLiteral("bruno")).isEmpty());

    // Two servers at the same instant, each over its own connection.
    std::atomic<int> added{0};
    std::latch together(2);
    std::vector<std::thread> servers;
    for (int n = 0; n < 2; ++n)
        servers.emplace_back([&] {
            Velmora::DBConnection connection(db.Settings());
            JobQueue mine(&connection);
            together.arrive_and_wait();
            added +=
                mine.enqueueDue(at("2027-03-05 09:00"), AppServer::Jobs::scheduledJobs(connection));
        });
    for (std::thread &t : servers)
        t.join();
    EXPECT_EQ(added, 1);
    ASSERT_EQ(jobsOf(id).size(), 1);
    const ReportJob job = jobsOf(id).first();
    EXPECT_EQ(job.state, ReportJob::State::Queued);
    EXPECT_EQ(job.occurrence, at("2027-03-05 08:00"));
    EXPECT_EQ(job.params, (QVariantMap{{"empresa", QStringLiteral("01")},
                                       {"filial", QVariant()},
                                       {"inicio", QDate(2027, 2, 1)},
                                       {"fim", QDate(2027, 2, 28)}}));
    EXPECT_EQ(job.reportCode, QStringLiteral("FIS014"));
    EXPECT_EQ(job.layoutFile, QStringLiteral("FIS014.json"));
    EXPECT_EQ(job.layoutVersion, sha);
    EXPECT_EQ(job.format, QStringLiteral("csv"));

    // Every server down from April to July: one job, July's, with June for its period.
    const auto make = AppServer::Jobs::scheduledJobs(db.Connection());
    EXPECT_EQ(queue.enqueueDue(at("2027-07-20 12:00"), make), 1);
    EXPECT_EQ(queue.enqueueDue(at("2027-07-20 12:00"), make), 0);
    const ReportJob july = jobsOf(id).first();
    EXPECT_EQ(july.occurrence, at("2027-07-05 08:00"));
    EXPECT_EQ(july.params.value("inicio"), QDate(2027, 6, 1));
    EXPECT_EQ(july.params.value("fim"), QDate(2027, 6, 30));
    EXPECT_EQ(client->list(QStringLiteral("ana")).value(0).lastQueued, at("2027-07-05 08:00"));

    // The clerk deleted the set: the occurrence is a failed job that says so.
    sets.remove(screen, QStringLiteral("ana"), QStringLiteral("Mensal"));
    EXPECT_EQ(queue.enqueueDue(at("2027-08-05 08:00"), make), 1);
    const ReportJob failed = jobsOf(id).first();
    EXPECT_EQ(failed.state, ReportJob::State::Failed);
    EXPECT_TRUE(failed.error.contains(QStringLiteral(
        "O conjunto de parâmetros \"Mensal\" foi excluído; o agendamento não pode gerar o "
        "relatório.")))
        << qPrintable(failed.error);

    // A database failure is no verdict on the schedule: the occurrence waits for the next tick.
    // (The server lets go of the table first: Firebird drops no table another attachment uses.)
    server.kill();
    db.Connection().Execute(QStringLiteral("DROP TABLE VARIANTETELA"));
    EXPECT_TRUE(Raised([&] {
                    queue.enqueueDue(at("2027-09-05 08:00"), make);
                }).contains(QStringLiteral("velmora-db upgrade")));
    EXPECT_EQ(jobsOf(id).first().occurrence, at("2027-08-05 08:00"));

    ASSERT_TRUE(server.start(config)) << qPrintable(server.errorOutput());
    client = std::make_unique<ScheduleClient>(QStringLiteral("127.0.0.1"), server.port());

    // Another owner's schedule does not exist for bruno.
    EXPECT_TRUE(Raised([&] {
                    client->remove(id, QStringLiteral("bruno"));
                }).contains(QStringLiteral("não existe")));
    client->remove(id, QStringLiteral("ana"));
    EXPECT_TRUE(client->list(QStringLiteral("ana")).isEmpty());
}

// A server that works the queue ticks the schedules as it starts.
TEST_P(ScheduleTest, AJobServerTicksAsItStarts)
{
    const QDateTime now = QDateTime::currentDateTime();
    JobQueue madeBefore(&db.Connection(), [&] { return now.addDays(-2); });
    Schedule daily;
    daily.screen = screen;
    daily.owner = QStringLiteral("ana");
    daily.variant = QStringLiteral("Mensal");
    daily.format = QStringLiteral("csv");
    daily.frequency = Schedule::Frequency::Daily;
    daily.time = QTime(0, 0);
    daily.reportCode = QStringLiteral("FIS014");
    daily.layoutFile = QStringLiteral("FIS014.json");
    daily.layoutVersion = sha;
    daily.params = {{"inicio", QDate(2020, 1, 1)}, {"fim", QDate(2020, 1, 31)}};
    daily.period = QStringLiteral("ano_corrente");
    daily.startParam = QStringLiteral("inicio");
    daily.endParam = QStringLiteral("fim");
    const QString id = madeBefore.addSchedule(daily);

    QTemporaryDir archive;
    {
        QFile file(config);
        ASSERT_TRUE(file.open(QIODevice::Append));
        QTextStream(&file) << "[Archive]\nDirectory=" << archive.path() << '\n';
    }
    QProcess worker;
    worker.start(QStringLiteral(APPSERVER_BIN),
                 {QStringLiteral("--config"), config, QStringLiteral("--jobs-only")});
    ASSERT_TRUE(worker.waitForReadyRead(20000)) << worker.readAllStandardError().toStdString();
    ASSERT_EQ(worker.readLine().trimmed(), QByteArray("fila de relatórios"));
    QList<ReportJob> queued;
    for (QDeadlineTimer deadline(30000); queued.isEmpty() && !deadline.hasExpired();) {
        QThread::msleep(100);
        queued = jobsOf(id);
    }
    ASSERT_EQ(queued.size(), 1);
    const QDate today = queued[0].occurrence.date();
    EXPECT_EQ(queued[0].params.value("inicio"), QDate(today.year(), 1, 1));
    EXPECT_EQ(queued[0].params.value("fim"), today);
    worker.terminate();
    EXPECT_TRUE(worker.waitForFinished(20000));
}

TEST_P(ScheduleTest, AgendarRefusesWhatCannotRunInWords)
{
    struct Case
    {
        std::function<void(ScheduleRequest &)> spoil;
        const char *message;
    };
    const Case cases[] = {
        {[](ScheduleRequest &r) { r.timing.format = "doc"; }, "O formato 'doc' não existe"},
        {[](ScheduleRequest &r) { r.owner.clear(); }, "não serve como dono"},
        {[](ScheduleRequest &r) { r.screen = "FIS014000"; }, "O código de tela 'FIS014000'"},
        {[](ScheduleRequest &r) { r.variant = "  "; }, "precisa do nome de um conjunto"},
        {[](ScheduleRequest &r) { r.variant = "Anual"; },
         "O conjunto de parâmetros \"Anual\" não existe na tela FIS01400"},
        {[](ScheduleRequest &r) { r.timing.day = 32; }, "deve ir de 1 a 31, não 32"},
        {[](ScheduleRequest &r) {
             r.timing.frequency = ScheduleFrequency::Weekly;
             r.timing.day = 8;
         },
         "1 (segunda-feira) a 7 (domingo), não 8"},
        {[](ScheduleRequest &r) { r.timing.time = QTime(); }, "O horário '' não é uma hora"},
        {[](ScheduleRequest &r) { r.reportCode.clear(); }, "precisa do código do relatório"},
        {[](ScheduleRequest &r) { r.layoutFile = "../FIS014.json"; }, "sem pastas"},
        {[](ScheduleRequest &r) { r.layoutVersion = "abc"; }, "64 dígitos hexadecimais"},
        {[](ScheduleRequest &r) { r.parameters.insert("n", 3); }, "não são um objeto JSON"},
        {[](ScheduleRequest &r) { r.period = "semana_passada"; },
         "O período 'semana_passada' não existe"},
        {[](ScheduleRequest &r) { r.endParam.clear(); }, "precisa dos nomes dos parâmetros"},
        {[](ScheduleRequest &r) { r.endParam = "inicio"; }, "não ambos para 'inicio'"},
        {[](ScheduleRequest &r) { r.startParam = "dataInicial"; },
         "O parâmetro 'dataInicial', que recebe o início do período, não está"},
        {[](ScheduleRequest &r) { r.parameters.insert("fim", "2026-01-31"); },
         "O parâmetro 'fim', que recebe o fim do período"},
    };
    for (const Case &c : cases) {
        ScheduleRequest r = monthly();
        c.spoil(r);
        EXPECT_TRUE(Raised([&] { client->add(r); }).contains(QString::fromUtf8(c.message)))
            << c.message << " / " << qPrintable(Raised([&] { client->add(r); }));
    }
    EXPECT_TRUE(queue.listSchedules().isEmpty());
    ScheduleRequest fixed = monthly();
    fixed.timing.frequency = ScheduleFrequency::Daily;
    fixed.timing.day = 99; // a daily schedule has no day
    fixed.period.clear();
    fixed.startParam.clear();
    fixed.endParam.clear();
    client->add(fixed);
    EXPECT_EQ(queue.listSchedules().size(), 1);
}

INSTANTIATE_TEST_SUITE_P(Engines, ScheduleTest, ::testing::ValuesIn(Velmora::Test::EngineNames()),
                         [](const auto &info) { return Velmora::Test::EngineLabel(info.param); });

TEST(ScheduleDialogTest, RefusesBadInputAndGivesWhatWasChosen)
{
    struct Case
    {
        int frequency; // as listed: mensal, semanal, diário
        const char *dayOfMonth;
        int weekday;
        const char *time, *format;
        const char *refusal; // empty when accepted
    };
    const Case cases[] = {
        {0, "31", 0, "08:00", "pdf", ""},
        {0, "0", 0, "08:00", "pdf", "Informe o dia do mês, de 1 a 31: '0' não serve."},
        {0, "dez", 0, "08:00", "pdf", "'dez' não serve"},
        {0, "", 0, "08:00", "pdf", "'' não serve"},
        {1, "", 6, "23:59", "xlsx", ""},
        {2, "lixo", 0, "00:00", "html", ""},
        {2, "", 0, "24:00", "csv", "Informe o horário como hh:mm, de 00:00 a 23:59: '24:00'"},
        {2, "", 0, "8:00", "csv", "'8:00' não serve"},
        {2, "", 0, "08h00", "csv", "'08h00' não serve"},
    };
    for (const Case &c : cases) {
        Velmora::Reports::ScheduleDialog dialog(QStringLiteral("Mensal"));
        dialog.findChild<QComboBox *>(QStringLiteral("frequencia"))->setCurrentIndex(c.frequency);
        dialog.findChild<QLineEdit *>(QStringLiteral("diaDoMes"))
            ->setText(QString::fromUtf8(c.dayOfMonth));
        dialog.findChild<QComboBox *>(QStringLiteral("diaDaSemana"))->setCurrentIndex(c.weekday);
        dialog.findChild<QLineEdit *>(QStringLiteral("hora"))->setText(QString::fromUtf8(c.time));
        dialog.findChild<QComboBox *>(QStringLiteral("formato"))
            ->setCurrentText(QString::fromUtf8(c.format));
        dialog.accept();
        const QString refusal = dialog.findChild<QLabel *>(QStringLiteral("recusa"))->text();
        if (*c.refusal) {
            EXPECT_EQ(dialog.result(), QDialog::Rejected) << c.time;
            EXPECT_TRUE(refusal.contains(QString::fromUtf8(c.refusal))) << qPrintable(refusal);
            continue;
        }
        EXPECT_EQ(dialog.result(), QDialog::Accepted) << qPrintable(refusal);
        const Velmora::Reports::ScheduleTiming t = dialog.Timing();
        EXPECT_EQ(static_cast<int>(t.frequency), c.frequency);
        EXPECT_EQ(t.day, c.frequency == 0   ? QString::fromUtf8(c.dayOfMonth).toInt()
                         : c.frequency == 1 ? c.weekday + 1
                                            : 0);
        EXPECT_EQ(t.time.toString(QStringLiteral("HH:mm")), QString::fromUtf8(c.time));
        EXPECT_EQ(t.format, QString::fromUtf8(c.format));
    }
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
