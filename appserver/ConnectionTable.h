#pragma once

#include <boost/asio/ip/address.hpp>

#include <map>
#include <memory>
#include <mutex>

namespace AppServer {

// The connections open now, in all and per client address, against their limits. A connection
// counts from its admission until its Slot goes away.
class ConnectionTable : public std::enable_shared_from_this<ConnectionTable>
{
public:
    ConnectionTable(int maxConnections, int maxPerClient)
        : m_maxConnections(maxConnections), m_maxPerClient(maxPerClient)
    {}

    class Slot
    {
    public:
        Slot(std::shared_ptr<ConnectionTable> table, boost::asio::ip::address client)
            : m_table(std::move(table)), m_client(std::move(client))
        {}
        Slot(const Slot &) = delete;
        Slot &operator=(const Slot &) = delete;
        ~Slot() { m_table->release(m_client); }

    private:
        std::shared_ptr<ConnectionTable> m_table;
        boost::asio::ip::address m_client;
    };

    enum class Refusal { None, Total, PerClient };

    // The slot of a new connection from the address, or null with the limit it would pass.
    std::unique_ptr<Slot> admit(const boost::asio::ip::address &client, Refusal *refusal);

private:
    void release(const boost::asio::ip::address &client);

    const int m_maxConnections;
    const int m_maxPerClient;
    std::mutex m_lock;
    int m_open = 0;
    std::map<boost::asio::ip::address, int> m_perClient;
};

} // namespace AppServer
