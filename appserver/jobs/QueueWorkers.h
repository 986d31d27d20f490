#pragma once

#include "JobWorker.h"

#include <memory>
#include <vector>

namespace AppServer::Jobs {

// The threads of one server that work the report queue ([Archive] Jobs of them), each over a
// connection of its own. The first also keeps the archive's retention, when it starts and then
// every hour.
class QueueWorkers
{
public:
    QueueWorkers(const Velmora::Settings &settings, int count);
    // Stops them all and waits for them.
    ~QueueWorkers();
    QueueWorkers(const QueueWorkers &) = delete;
    QueueWorkers &operator=(const QueueWorkers &) = delete;

    // A chore of the first worker (see JobWorker::Chore); before start().
    void addChore(JobWorker::Chore chore);
    void start();
    void stop();
    int count() const { return static_cast<int>(m_workers.size()); }
    QString name() const;

private:
    std::vector<std::unique_ptr<JobWorker>> m_workers;
};

} // namespace AppServer::Jobs
