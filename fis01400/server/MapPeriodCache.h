#pragma once

#include <QDate>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <shared_mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace AppServer {

struct Period
{
    QDate start, end;
};

// The periods of the map keys the workers looked up lately, shared by all of them, so a lookup
// is answered without walking the index again. Only ever holds what the database held: a worker
// asks its own connection whether anything was committed since it last asked (SQLite's data
// version, which sees commits of every connection and process) before it reads here, and any
// change empties the cache. A load that was under way when the cache was emptied is not kept.
class MapPeriodCache
{
public:
    // Periods of one key, ordered by start and then end.
    using Periods = std::shared_ptr<const std::vector<Period>>;

    // Holds at most `maxPeriods` periods; none at all with 0.
    explicit MapPeriodCache(std::size_t maxPeriods) : m_maxPeriods(maxPeriods) {}

    bool enabled() const { return m_maxPeriods > 0; }
    // Empties the cache: the database changed.
    void forgetAll();
    // The generation a load must start from for store() to keep it.
    std::uint64_t generation() const;
    // The key's periods, or null when they are not here.
    Periods find(const std::string &key) const;
    // Keeps the periods read for the key, unless the cache was emptied since `generation`.
    // Whatever the cache holds beyond its bound is let go first.
    void store(const std::string &key, Periods periods, std::uint64_t generation);

    std::size_t periodCount() const;

private:
    const std::size_t m_maxPeriods;
    mutable std::shared_mutex m_lock;
    std::uint64_t m_generation = 0;
    std::size_t m_periods = 0;
    std::unordered_map<std::string, Periods> m_keys;
};

} // namespace AppServer
