#pragma once

#include "ReportJob.h"
#include "Schedule.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantList>

#include <functional>
#include <optional>

namespace Velmora {
class DBConnection;
}

namespace AppServer::Jobs {

// What a finished report left in the archive.
struct JobOutput
{
    QString archivePath;
    QString sha256;
    qint64 bytes = 0;
    int pages = 0;
    qint64 documents = 0;
};

// The reports sent to the background and their schedules, kept in RELATJOB and RELATAGENDA so
// that every server of the database shares them. A server claims a job for a lease it renews
// while it runs; a job whose lease ran out (its server died) goes to the next server that
// claims. Each server thread uses a queue over its own connection. Every failure raises
// EDatabaseError or Exception in Portuguese.
class JobQueue
{
public:
    using Clock = std::function<QDateTime()>;
    // Builds the job of a schedule's occurrence (the saved set's values, the layout); raises
    // Exception when it cannot, and the occurrence is then queued as a failed job saying why.
    // EDatabaseError leaves the occurrence unqueued, for a later enqueueDue.
    using JobOfOccurrence =
        std::function<ReportJob(const Schedule &schedule, const QDateTime &occurrence)>;

    enum class Cancellation { Cancelled, Asked };

    // A job is tried this many times before a lost lease fails it for good.
    static constexpr int maxAttempts = 3;

    // The clock gives "now" (the system's local time by default).
    explicit JobQueue(Velmora::DBConnection *db, Clock clock = {});

    // Queues the job as it is given (the id, state and request time are made here); gives the id.
    QString enqueue(ReportJob job);
    // The oldest queued job, or a running one whose lease ran out, now held by this server
    // until the lease ends; empty when there is none.
    std::optional<ReportJob> claim(const QString &server, int leaseSeconds);

    // Each false when the job is no longer this server's to run (taken over, finished) or its
    // cancel was asked: the runner then stops.
    bool renew(const QString &id, const QString &server, int leaseSeconds);
    bool progress(const QString &id, const QString &server, int percent);
    // Only while the job is this server's and running: a job is never finished twice.
    bool complete(const QString &id, const QString &server, const JobOutput &output);
    bool fail(const QString &id, const QString &server, const QString &error);
    // The runner stopped after its cancel was asked.
    bool cancelled(const QString &id, const QString &server);

    // A queued job is cancelled at once; a running one is asked to stop. Raises Exception when
    // the owner has no such job or it already finished.
    Cancellation cancel(const QString &id, const QString &owner);
    bool cancelAsked(const QString &id);

    // Newest first; at most maxJobs of them (0: all).
    QList<ReportJob> list(const QString &owner, int maxJobs = 0);
    std::optional<ReportJob> find(const QString &id);
    // Deletes the finished jobs that ended before the moment; gives their archive paths, for
    // the caller to remove the files.
    QStringList purge(const QDateTime &before);

    QString addSchedule(Schedule schedule);
    // Raises Exception when there is no such schedule (of that owner, when one is given).
    void removeSchedule(const QString &id, const QString &owner = {});
    // Of every owner when none is given.
    QList<Schedule> listSchedules(const QString &owner = {});
    // Queues, for each schedule, its latest occurrence at or before now when it is newer than
    // the last one queued: occurrences missed while no server ran give one job. Another server
    // queuing the same occurrence first is no failure. Gives how many jobs this call added.
    int enqueueDue(const QDateTime &now, const JobOfOccurrence &make);

    // The connection it works over, for what goes with a job in the same database.
    Velmora::DBConnection &connection() const;

private:
    QDateTime now() const;
    void insert(const ReportJob &job);
    QList<ReportJob> select(const QString &where, const QVariantList &values,
                            const QString &order = {}, int maxJobs = 0);
    // Runs an update of a job, again while another connection's write conflicts with it;
    // gives the rows changed.
    int update(const QString &what, const QString &sql, const QVariantList &values);
    void settleLostLeases(const QDateTime &at);
    std::optional<QString> claimSkippingLocked(const QString &server, int leaseSeconds);
    std::optional<QString> claimByConditionalUpdate(const QString &server, int leaseSeconds);
    bool occurrenceQueued(const QString &scheduleId, const QDateTime &occurrence);
    bool insertOccurrenceOnce(const ReportJob &job);

    Velmora::DBConnection *m_db;
    Clock m_clock;
};

} // namespace AppServer::Jobs
