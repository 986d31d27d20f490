#include "QueueWorkers.h"

#include "ArchiveRetention.h"
#include "JobQueue.h"
#include "ScheduledJob.h"

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcJobs)

namespace AppServer::Jobs {

QueueWorkers::QueueWorkers(const Velmora::Settings &settings, int count)
{
    const QString process = JobWorker::processName();
    for (int i = 0; i < count; ++i)
        // A job is held by its worker's name: the workers of one process need names of their own.
        m_workers.push_back(std::make_unique<JobWorker>(
            settings, count == 1 ? process : QStringLiteral("%1#%2").arg(process).arg(i + 1)));
    if (m_workers.empty())
        return;
    const ArchiveRetention retention(settings.archiveDirectory, settings.archiveRetentionDays);
    addChore({QStringLiteral("retenção do arquivo de relatórios:"), std::chrono::hours(1),
              [retention](JobQueue &queue, const QDateTime &now) {
                  const ArchiveRetention::Outcome outcome = retention.run(queue, now);
                  if (outcome.files > 0 || outcome.partials > 0)
                      qCInfo(lcJobs).noquote()
                          << QStringLiteral("retenção: %1 relatório(s) antigo(s) e %2 arquivo(s) "
                                            "parcial(is) removido(s) do arquivo")
                                 .arg(outcome.files)
                                 .arg(outcome.partials);
              }});
    // Every server ticks: the queue takes each occurrence once.
    addChore({QStringLiteral("agendas:"), std::chrono::seconds(30),
              [](JobQueue &queue, const QDateTime &now) {
                  const int queued = queue.enqueueDue(now, scheduledJobs(queue.connection()));
                  if (queued > 0)
                      qCInfo(lcJobs).noquote() << "agendas:" << queued << "relatório(s) na fila";
              }});
}

void QueueWorkers::addChore(JobWorker::Chore chore)
{
    if (!m_workers.empty())
        m_workers.front()->addChore(std::move(chore));
}

QueueWorkers::~QueueWorkers()
{
    stop();
}

void QueueWorkers::start()
{
    for (const auto &worker : m_workers)
        worker->start();
}

void QueueWorkers::stop()
{
    // All are told first, so their running jobs stop together.
    for (const auto &worker : m_workers)
        worker->askToStop();
    for (const auto &worker : m_workers)
        worker->stop();
}

QString QueueWorkers::name() const
{
    return m_workers.empty() ? QString() : JobWorker::processName();
}

} // namespace AppServer::Jobs
