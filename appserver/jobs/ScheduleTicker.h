#pragma once

#include <QString>

#include <chrono>

namespace Velmora {
class DBConnection;
}

namespace AppServer::Jobs {

class JobQueue;

// Puts the schedules' due occurrences on the queue, the first time it is asked and then at most
// once an interval: every server working the queue ticks, and each occurrence is queued once.
class ScheduleTicker
{
public:
    using Clock = std::chrono::steady_clock;

    ScheduleTicker(Velmora::DBConnection &db, JobQueue &queue,
                   std::chrono::seconds interval = std::chrono::seconds(30));

    // Queues what is due when the interval passed; a failure is logged (once until it changes)
    // and tried again at the next interval.
    void tickIfDue();

private:
    Velmora::DBConnection &m_db;
    JobQueue &m_queue;
    std::chrono::seconds m_interval;
    Clock::time_point m_next{};
    QString m_lastTrouble;
};

} // namespace AppServer::Jobs
