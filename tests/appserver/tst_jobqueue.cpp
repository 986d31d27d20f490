// The report queue on every engine: two servers share the jobs and finish each once; a server
// whose lease ran out loses its job and cannot finish it late; cancels of queued and running
// jobs; schedules queue each occurrence once, however many servers ask and however long they
// were all down.
#include "JobQueue.h"
#include "TestDatabases.h"
#include "rtl/Exceptions.h"

#include <gtest/gtest.h>

#include <QSet>
#include <QThread>

#include <barrier>
#include <functional>
#include <latch>
#include <thread>

using AppServer::Jobs::JobOutput;
using AppServer::Jobs::JobQueue;
using AppServer::Jobs::ReportJob;
using AppServer::Jobs::Schedule;
using Velmora::Test::Raised;
using Velmora::Test::ScratchDatabase;

namespace {

using State = ReportJob::State;

ReportJob job(const QString &owner = QStringLiteral("ana"))
{
    ReportJob j;
    j.screen = QStringLiteral("FIS01400");
    j.reportCode = QStringLiteral("FIS014");
    j.layoutFile = QStringLiteral("FIS014.json");
    j.owner = owner;
    j.format = QStringLiteral("pdf");
    j.params = {{"empresa", QStringLiteral("01")},
                {"inicio", QDate(2024, 2, 29)},
                {"filial", QVariant()},
                {"inscricao", QStringLiteral("2024-01-31")}};
    return j;
}

JobOutput archived(const QString &path)
{
    JobOutput out;
    out.archivePath = path;
    return out;
}

Schedule schedule(Schedule::Frequency frequency, int day, const char *format = "pdf")
{
    Schedule s;
    s.screen = QStringLiteral("FIS01400");
    s.owner = QStringLiteral("ana");
    s.variant = QStringLiteral("Mensal");
    s.format = QString::fromLatin1(format);
    s.frequency = frequency;
    s.day = day;
    s.time = QTime(8, 0);
    return s;
}

QDateTime at(const char *text)
{
    return QDateTime::fromString(QString::fromLatin1(text), QStringLiteral("yyyy-MM-dd HH:mm"));
}

class JobQueueTest : public ::testing::TestWithParam<QString>
{
protected:
    // A server of its own: a thread with its own connection, as the appserver's are.
    void onServers(int count, const std::function<void(JobQueue &, int)> &work)
    {
        std::latch start(count);
        std::vector<std::thread> threads;
        for (int n = 0; n < count; ++n)
            threads.emplace_back([&, n] {
                try {
                    Velmora::DBConnection connection(db.Settings());
                    JobQueue queue(&connection, [this] { return clock; });
                    start.arrive_and_wait();
                    work(queue, n);
                } catch (const Exception &e) {
                    const std::lock_guard lock(failuresMutex);
                    failures << e.Message();
                }
            });
        for (std::thread &t : threads)
            t.join();
        EXPECT_EQ(failures, QStringList());
    }

    ScratchDatabase db{GetParam()};
    QDateTime clock = at("2026-03-01 10:00");
    JobQueue queue{&db.Connection(), [this] { return clock; }};
    std::mutex failuresMutex;
    QStringList failures;
};

TEST_P(JobQueueTest, TwoServersFinishEveryJobOnce)
{
    QStringList queued;
    for (int i = 0; i < 50; ++i)
        queued << queue.enqueue(job());
    const ReportJob first = queue.find(queued.first()).value();
    EXPECT_EQ(first.params, job().params)
        << "texts (one reading like a date), a date and a null come back as given";
    EXPECT_EQ(first.state, State::Queued);
    EXPECT_EQ(first.requested, clock);

    QList<QStringList> done(2);
    onServers(2, [&](JobQueue &server, int n) {
        const QString name = QStringLiteral("servidor-%1").arg(n);
        while (const std::optional<ReportJob> j = server.claim(name, 60)) {
            done[n] << j->id;
            if (!server.complete(j->id, name, archived(QStringLiteral("/arquivo/") + j->id)))
                throw Exception(QStringLiteral("%1 não concluiu %2").arg(name, j->id));
        }
    });
    EXPECT_EQ(done[0].size() + done[1].size(), 50);
    EXPECT_EQ(QSet<QString>(done[0].begin(), done[0].end())
                  .intersect(QSet<QString>(done[1].begin(), done[1].end())),
              QSet<QString>())
        << "no job claimed by both";
    const QList<ReportJob> listed = queue.list(QStringLiteral("ana"));
    ASSERT_EQ(listed.size(), 50);
    EXPECT_EQ(listed.first().id, queued.last()) << "newest first";
    for (const ReportJob &j : listed) {
        EXPECT_EQ(j.state, State::Done) << qPrintable(j.id);
        EXPECT_EQ(j.archivePath, QStringLiteral("/arquivo/") + j.id);
    }
    EXPECT_FALSE(queue.claim(QStringLiteral("servidor-0"), 60));
}

TEST_P(JobQueueTest, AServerWhoseLeaseRanOutLosesTheJob)
{
    const QString id = queue.enqueue(job());
    const QString a = QStringLiteral("servidor-a"), b = QStringLiteral("servidor-b");
    EXPECT_EQ(queue.claim(a, 30).value().id, id);
    clock = clock.addSecs(20);
    EXPECT_TRUE(queue.renew(id, a, 30));
    clock = clock.addSecs(29);
    EXPECT_FALSE(queue.claim(b, 30)) << "the renewed lease still holds";
    clock = clock.addSecs(2);
    const ReportJob taken = queue.claim(b, 30).value();
    EXPECT_EQ(taken.id, id);
    EXPECT_EQ(taken.started, clock);
    EXPECT_FALSE(queue.renew(id, a, 30));
    EXPECT_FALSE(queue.progress(id, a, 50));
    EXPECT_FALSE(queue.complete(id, a, archived(QStringLiteral("/tarde.pdf"))));
    EXPECT_FALSE(queue.fail(id, a, QStringLiteral("tarde")));
    EXPECT_TRUE(queue.progress(id, b, 40));
    EXPECT_EQ(queue.find(id)->percent, 40);
    EXPECT_TRUE(queue.complete(id, b, {QStringLiteral("/b.pdf"), "ab12", 2048, 3, 70}));
    EXPECT_FALSE(queue.complete(id, b, archived(QStringLiteral("/outra.pdf")))) << "never twice";
    const ReportJob done = queue.find(id).value();
    EXPECT_EQ(done.state, State::Done);
    EXPECT_EQ(done.archivePath, QStringLiteral("/b.pdf"));
    EXPECT_EQ(done.bytes, 2048);
    EXPECT_EQ(done.pages, 3);
    EXPECT_EQ(done.documents, 70);

    // A job whose servers keep dying stops being tried.
    const QString deadly = queue.enqueue(job());
    for (int attempt = 0; attempt < JobQueue::maxAttempts; ++attempt) {
        EXPECT_EQ(queue.claim(a, 10).value().id, deadly);
        clock = clock.addSecs(11);
    }
    EXPECT_FALSE(queue.claim(a, 10));
    const ReportJob given = queue.find(deadly).value();
    EXPECT_EQ(given.state, State::Failed);
    EXPECT_TRUE(given.error.contains(QStringLiteral("interrompido 3 vezes")))
        << qPrintable(given.error);
}

TEST_P(JobQueueTest, CancelsOfQueuedAndRunningJobs)
{
    const QString queued = queue.enqueue(job());
    const QString running = queue.enqueue(job());
    const QString server = QStringLiteral("servidor");
    EXPECT_EQ(queue.cancel(queued, QStringLiteral("ana")), JobQueue::Cancellation::Cancelled);
    EXPECT_EQ(queue.find(queued)->state, State::Cancelled);
    EXPECT_EQ(queue.claim(server, 30).value().id, running) << "the cancelled one is skipped";
    EXPECT_TRUE(Raised([&] {
                    queue.cancel(running, QStringLiteral("bruno"));
                }).contains(QStringLiteral("não está na fila de bruno")));
    EXPECT_FALSE(queue.cancelAsked(running));
    EXPECT_EQ(queue.cancel(running, QStringLiteral("ana")), JobQueue::Cancellation::Asked);
    EXPECT_TRUE(queue.cancelAsked(running));
    EXPECT_FALSE(queue.progress(running, server, 10));
    EXPECT_FALSE(queue.renew(running, server, 30));
    EXPECT_TRUE(queue.cancelled(running, server));
    EXPECT_EQ(queue.find(running)->state, State::Cancelled);

    // Asked to stop, its server died: it ends cancelled, not run again.
    const QString orphan = queue.enqueue(job());
    queue.claim(server, 30);
    queue.cancel(orphan, QStringLiteral("ana"));
    clock = clock.addSecs(31);
    EXPECT_FALSE(queue.claim(QStringLiteral("outro"), 30));
    EXPECT_EQ(queue.find(orphan)->state, State::Cancelled);

    const QString done = queue.enqueue(job());
    queue.claim(server, 30);
    queue.complete(done, server, archived(QStringLiteral("/pronto.pdf")));
    EXPECT_TRUE(Raised([&] {
                    queue.cancel(done, QStringLiteral("ana"));
                }).contains(QStringLiteral("já está pronto")));

    // Only finished rows older than the moment go, with their files' paths.
    const QString waiting = queue.enqueue(job());
    EXPECT_EQ(queue.purge(clock.addSecs(-1)), QStringList());
    EXPECT_EQ(queue.purge(clock.addSecs(1)), QStringList{QStringLiteral("/pronto.pdf")});
    EXPECT_FALSE(queue.find(done));
    EXPECT_FALSE(queue.find(queued));
    EXPECT_EQ(queue.list(QStringLiteral("ana")).size(), 1);
    EXPECT_EQ(queue.find(waiting)->state, State::Queued);
}

// The runner's renew meets the clerk's cancel still being written: it waits for it (on Firebird
// it retries after the update conflict), sees the cancel, and fails nothing.
TEST_P(JobQueueTest, ARenewRacingACancelSeesIt)
{
    const QString id = queue.enqueue(job());
    const QString server = QStringLiteral("servidor");
    queue.claim(server, 30);
    db.Connection().StartTransaction();
    db.Connection().Execute(
        QStringLiteral("UPDATE RELATJOB SET IDCANCELAR = 'S' WHERE IDRELATJOB = ?"), {id});
    std::optional<bool> renewed;
    std::thread runner(
        [&] { onServers(1, [&](JobQueue &q, int) { renewed = q.renew(id, server, 30); }); });
    QThread::msleep(300);
    db.Connection().Commit();
    runner.join();
    EXPECT_EQ(renewed, false);
}

TEST_P(JobQueueTest, WhatTheQueueCannotKeepIsRefusedInWords)
{
    struct Case
    {
        std::function<void(ReportJob &)> spoil;
        const char *message;
    };
    const Case cases[] = {
        {[](ReportJob &j) { j.params.insert("n", 3); }, "O parâmetro n tem um valor do tipo int"},
        {[](ReportJob &j) { j.format = "doc"; }, "O formato 'doc' não existe"},
        {[](ReportJob &j) { j.owner.clear(); }, "não serve como dono"},
        {[](ReportJob &j) { j.screen = "FIS014000"; }, "O código de tela 'FIS014000'"},
    };
    for (const Case &c : cases) {
        ReportJob j = job();
        c.spoil(j);
        EXPECT_TRUE(Raised([&] { queue.enqueue(j); }).contains(QString::fromUtf8(c.message)))
            << c.message;
    }
    EXPECT_TRUE(queue.list(QStringLiteral("ana")).isEmpty());
    EXPECT_TRUE(Raised([&] {
                    queue.removeSchedule(QStringLiteral("nenhuma"));
                }).contains(QStringLiteral("não existe")));
    db.Connection().Execute(QStringLiteral("DROP TABLE RELATJOB"));
    EXPECT_TRUE(Raised([&] {
                    queue.enqueue(job());
                }).contains(QStringLiteral("execute velmora-db upgrade")));
}

TEST_P(JobQueueTest, ASchedulesOccurrenceIsQueuedOnce)
{
    Schedule daily = schedule(Schedule::Frequency::Daily, 0, "csv");
    const QString id = queue.addSchedule(daily);
    Schedule broken = daily;
    broken.variant = QStringLiteral("Apagado");
    const QString brokenId = queue.addSchedule(broken);
    // Holds both servers between their look at the queue and their insert, so that the unique
    // index is what refuses the second.
    std::barrier<> *meet = nullptr;
    const auto make = [&](const Schedule &s, const QDateTime &) {
        if (s.variant == QLatin1String("Apagado"))
            throw Exception(QStringLiteral("o conjunto não existe mais"));
        if (meet)
            meet->arrive_and_wait();
        ReportJob j = job(s.owner);
        j.format = s.format;
        return j;
    };
    const auto ofSchedule = [&](const QString &schedule) {
        QList<ReportJob> out;
        for (const ReportJob &j : queue.list(QStringLiteral("ana")))
            if (j.scheduleId == schedule)
                out << j;
        return out;
    };

    // Two servers at the same instant, five days running.
    for (int day = 2; day <= 6; ++day) {
        std::atomic<int> added{0};
        std::barrier<> both(2);
        meet = &both;
        const QDateTime moment = at("2026-03-01 09:00").addDays(day - 1);
        onServers(2, [&](JobQueue &server, int) { added += server.enqueueDue(moment, make); });
        EXPECT_EQ(added, 2) << "one of each schedule, day " << day;
    }
    meet = nullptr;
    ASSERT_EQ(ofSchedule(id).size(), 5);
    EXPECT_EQ(ofSchedule(id).first().occurrence, at("2026-03-06 08:00"));
    EXPECT_EQ(ofSchedule(id).first().format, QStringLiteral("csv"));
    const ReportJob failed = ofSchedule(brokenId).first();
    EXPECT_EQ(failed.state, State::Failed);
    EXPECT_TRUE(failed.error.contains(QStringLiteral("o conjunto não existe mais")));

    // Every server down from the 7th to the 12th: one job, the latest occurrence.
    queue.removeSchedule(brokenId);
    EXPECT_EQ(queue.enqueueDue(at("2026-03-12 07:59"), make), 1);
    EXPECT_EQ(queue.enqueueDue(at("2026-03-12 07:59"), make), 0);
    EXPECT_EQ(ofSchedule(id).first().occurrence, at("2026-03-11 08:00"));
    EXPECT_EQ(queue.listSchedules().value(0).lastQueued, at("2026-03-11 08:00"));

    // Day 31 falls on April's last day; the first occurrence is after the schedule was made.
    queue.removeSchedule(id);
    clock = at("2026-04-01 00:00");
    const QString monthly = queue.addSchedule(schedule(Schedule::Frequency::Monthly, 31));
    EXPECT_EQ(queue.enqueueDue(at("2026-04-30 07:59"), make), 0);
    EXPECT_EQ(queue.enqueueDue(at("2026-04-30 08:00"), make), 1);
    EXPECT_EQ(queue.enqueueDue(at("2026-05-30 23:00"), make), 0);
    EXPECT_EQ(queue.enqueueDue(at("2026-05-31 08:00"), make), 1);
    EXPECT_EQ(ofSchedule(monthly).value(1).occurrence, at("2026-04-30 08:00"));
    EXPECT_EQ(ofSchedule(monthly).value(0).occurrence, at("2026-05-31 08:00"));
}

INSTANTIATE_TEST_SUITE_P(Engines, JobQueueTest, ::testing::ValuesIn(Velmora::Test::EngineNames()),
                         [](const auto &info) { return Velmora::Test::EngineLabel(info.param); });

// The latest occurrence at or before a moment, for each kind of schedule.
TEST(ScheduleTest, LatestOccurrence)
{
    using F = Schedule::Frequency;
    struct Case
    {
        F frequency;
        int day;
        const char *now, *expected;
    };
    const Case cases[] = {
        {F::Daily, 0, "2026-03-10 08:00", "2026-03-10 08:00"},
        {F::Daily, 0, "2026-03-10 07:59", "2026-03-09 08:00"},
        {F::Weekly, 1, "2026-03-10 12:00", "2026-03-09 08:00"}, // Tuesday: Monday before
        {F::Weekly, 2, "2026-03-10 07:00", "2026-03-03 08:00"},
        {F::Weekly, 7, "2026-03-10 12:00", "2026-03-08 08:00"},
        {F::Monthly, 31, "2026-04-30 08:00", "2026-04-30 08:00"},
        {F::Monthly, 31, "2026-04-30 07:00", "2026-03-31 08:00"},
        {F::Monthly, 30, "2026-03-01 12:00", "2026-02-28 08:00"},
        {F::Monthly, 29, "2028-03-01 12:00", "2028-02-29 08:00"},
        {F::Monthly, 15, "2026-01-10 12:00", "2025-12-15 08:00"},
    };
    for (const Case &c : cases) {
        const Schedule s = schedule(c.frequency, c.day);
        EXPECT_EQ(latestOccurrence(s, at(c.now)), at(c.expected)) << c.now << " day " << c.day;
    }
}

} // namespace
