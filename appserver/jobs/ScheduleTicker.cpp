#include "ScheduleTicker.h"

#include "JobQueue.h"
#include "ScheduledJob.h"

#include "rtl/Exceptions.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcSchedules, "velmora.jobs.agendas")

namespace AppServer::Jobs {

ScheduleTicker::ScheduleTicker(Velmora::DBConnection &db, JobQueue &queue,
                               std::chrono::seconds interval)
    : m_db(db), m_queue(queue), m_interval(interval)
{}

void ScheduleTicker::tickIfDue()
{
    const Clock::time_point now = Clock::now();
    if (now < m_next)
        return;
    m_next = now + m_interval;
    try {
        const int queued = m_queue.enqueueDue(QDateTime::currentDateTime(), scheduledJobs(m_db));
        if (queued > 0)
            qCInfo(lcSchedules).noquote() << "agendas:" << queued << "relatório(s) na fila";
        m_lastTrouble.clear();
    } catch (const Exception &e) {
        if (e.Message() != m_lastTrouble)
            qCWarning(lcSchedules).noquote() << "agendas:" << e.Message();
        m_lastTrouble = e.Message();
    }
}

} // namespace AppServer::Jobs
