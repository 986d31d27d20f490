#pragma once

#include "rtl/Settings.h"

#include <QSqlDatabase>
#include <nlohmann/json.hpp>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

namespace AppServer {

// Raised by a job when a statement fails; the text is the driver's, for the log only.
class DatabaseFailure : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// The threads that talk to the database, each with a connection of its own (a Qt SQL
// connection belongs to the thread that opened it). Request threads hand them jobs and wait.
// A worker whose connection was lost reopens it on its next job, so the server recovers by
// itself once the database is back.
class DatabaseWorkers
{
public:
    using Job = std::function<nlohmann::json(QSqlDatabase &)>;

    DatabaseWorkers(const Velmora::Settings &settings, int count,
                    std::chrono::milliseconds waitLimit);
    ~DatabaseWorkers();
    DatabaseWorkers(const DatabaseWorkers &) = delete;
    DatabaseWorkers &operator=(const DatabaseWorkers &) = delete;

    // Runs the job on the next free worker and returns its answer. Raises RpcError when the
    // database is unavailable, when the job's statements fail even after a reconnect, when no
    // worker finishes within the wait limit, or whatever RpcError the job raises.
    nlohmann::json run(Job job);

private:
    struct Task
    {
        Job job;
        std::shared_ptr<std::promise<nlohmann::json>> answer;
    };
    void work(int index);
    nlohmann::json execute(QSqlDatabase &db, const QString &name, const Job &job);

    Velmora::Settings m_settings;
    std::chrono::milliseconds m_waitLimit;
    std::mutex m_lock;
    std::condition_variable m_wake;
    std::deque<Task> m_tasks;
    bool m_stopping = false;
    std::vector<std::thread> m_threads;
};

} // namespace AppServer
