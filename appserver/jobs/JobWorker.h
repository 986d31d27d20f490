#pragma once

#include "rtl/Settings.h"

#include <QString>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace AppServer::Jobs {

// Works the report queue on a thread of its own, over a database connection of its own:
// claims the oldest job, runs it headless into the archive while renewing its hold every
// second, and records how it ended. Several servers share one queue; a server that dies
// leaves its job to the next one once its hold runs out.
class JobWorker
{
public:
    // name: this server among those sharing the queue (host and process by default).
    JobWorker(const Velmora::Settings &settings, QString name = {});
    // Stops and waits for the thread.
    ~JobWorker();
    JobWorker(const JobWorker &) = delete;
    JobWorker &operator=(const JobWorker &) = delete;

    void start();
    // The job running stops at its next progress and goes back to the queue when its hold ends.
    void stop();
    const QString &name() const { return m_name; }

private:
    void work();
    // Waits up to ms, less when stopped.
    void pause(int ms);

    Velmora::Settings m_settings;
    QString m_name;
    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::atomic<bool> m_stopping{false};
};

} // namespace AppServer::Jobs
