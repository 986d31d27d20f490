#include "MapPeriodCache.h"

#include <mutex>

namespace AppServer {

void MapPeriodCache::forgetAll()
{
    std::unique_lock lock(m_lock);
    ++m_generation;
    m_keys.clear();
    m_periods = 0;
}

std::uint64_t MapPeriodCache::generation() const
{
    std::shared_lock lock(m_lock);
    return m_generation;
}

MapPeriodCache::Periods MapPeriodCache::find(const std::string &key) const
{
    std::shared_lock lock(m_lock);
    const auto found = m_keys.find(key);
    return found == m_keys.end() ? nullptr : found->second;
}

void MapPeriodCache::store(const std::string &key, Periods periods, std::uint64_t generation)
{
    if (!periods || periods->size() > m_maxPeriods)
        return;
    std::unique_lock lock(m_lock);
    if (generation != m_generation)
        return; // read before a change the cache has since seen
    // A bound rather than eviction order: the keys a clerk works on come back at once.
    if (m_periods + periods->size() > m_maxPeriods) {
        m_keys.clear();
        m_periods = 0;
    }
    const auto [at, added] = m_keys.try_emplace(key, periods);
    if (added)
        m_periods += periods->size();
}

std::size_t MapPeriodCache::periodCount() const
{
    std::shared_lock lock(m_lock);
    return m_periods;
}

} // namespace AppServer
