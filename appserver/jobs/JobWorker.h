#pragma once

#include "rtl/Settings.h"

#include <QDateTime>
#include <QString>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace AppServer::Jobs {

class JobQueue;

// Works the report queue on a thread of its own, over a database connection of its own:
// claims the oldest job, runs it headless into the archive while renewing its hold every
// second, and records how it ended. Several servers share one queue; a server that dies
// leaves its job to the next one once its hold runs out. Between jobs it does its chores.
class JobWorker
{
public:
    // Something done between jobs over the worker's queue: when the worker starts, then every
    // `every`. Raises Exception on failure; the worker logs it and tries at the next turn.
    struct Chore
    {
        QString name;
        std::chrono::seconds every;
        std::function<void(JobQueue &queue, const QDateTime &now)> run;
    };

    // name: this server among those sharing the queue (host and process by default).
    JobWorker(const Velmora::Settings &settings, QString name = {});
    // Stops and waits for the thread.
    ~JobWorker();
    JobWorker(const JobWorker &) = delete;
    JobWorker &operator=(const JobWorker &) = delete;

    // Before start().
    void addChore(Chore chore);
    void start();
    // The job running stops at its next progress and goes back to the queue when its hold ends.
    void stop();
    // Tells the thread to stop without waiting for it.
    void askToStop();
    const QString &name() const { return m_name; }
    // This process among the servers: host and process id.
    static QString processName();

private:
    void work();
    // Waits up to ms, less when stopped.
    void pause(int ms);

    Velmora::Settings m_settings;
    QString m_name;
    std::vector<Chore> m_chores;
    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::atomic<bool> m_stopping{false};
};

} // namespace AppServer::Jobs
