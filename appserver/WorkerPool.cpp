#include "WorkerPool.h"

namespace AppServer {

WorkerPool::WorkerPool(int threads)
{
    m_threads.reserve(static_cast<std::size_t>(threads));
    for (int i = 0; i < threads; ++i)
        m_threads.emplace_back([this] { work(); });
}

WorkerPool::~WorkerPool()
{
    stop();
    for (std::thread &thread : m_threads)
        thread.join();
}

void WorkerPool::post(std::function<void()> job)
{
    {
        const std::lock_guard guard(m_lock);
        if (m_stopping)
            return;
        m_jobs.push_back(std::move(job));
    }
    m_wake.notify_one();
}

void WorkerPool::stop()
{
    std::deque<std::function<void()>> dropped;
    {
        const std::lock_guard guard(m_lock);
        m_stopping = true;
        dropped.swap(m_jobs);
    }
    m_wake.notify_all();
}

void WorkerPool::work()
{
    for (;;) {
        std::function<void()> job;
        {
            std::unique_lock guard(m_lock);
            m_wake.wait(guard, [this] { return m_stopping || !m_jobs.empty(); });
            if (m_stopping)
                return;
            job = std::move(m_jobs.front());
            m_jobs.pop_front();
        }
        job();
    }
}

} // namespace AppServer
