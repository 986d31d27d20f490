#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace AppServer {

// A fixed set of threads running jobs in the order they came. The database work runs here, off
// the connections' event loop; each thread keeps its own database connection (DatabaseAccess).
class WorkerPool
{
public:
    explicit WorkerPool(int threads);
    // Lets the running jobs finish, drops the waiting ones and joins the threads.
    ~WorkerPool();
    WorkerPool(const WorkerPool &) = delete;
    WorkerPool &operator=(const WorkerPool &) = delete;

    void post(std::function<void()> job);
    void stop();

private:
    void work();

    std::mutex m_lock;
    std::condition_variable m_wake;
    std::deque<std::function<void()>> m_jobs;
    bool m_stopping = false;
    std::vector<std::thread> m_threads;
};

} // namespace AppServer
