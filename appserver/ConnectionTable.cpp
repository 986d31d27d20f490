#include "ConnectionTable.h"

namespace AppServer {

std::unique_ptr<ConnectionTable::Slot>
ConnectionTable::admit(const boost::asio::ip::address &client, Refusal *refusal)
{
    {
        const std::lock_guard guard(m_lock);
        *refusal = Refusal::None;
        if (m_open >= m_maxConnections) {
            *refusal = Refusal::Total;
            return nullptr;
        }
        int &fromClient = m_perClient[client];
        if (fromClient >= m_maxPerClient) {
            *refusal = Refusal::PerClient;
            return nullptr;
        }
        ++fromClient;
        ++m_open;
    }
    return std::make_unique<Slot>(shared_from_this(), client);
}

void ConnectionTable::release(const boost::asio::ip::address &client)
{
    const std::lock_guard guard(m_lock);
    --m_open;
    const auto it = m_perClient.find(client);
    if (it != m_perClient.end() && --it->second <= 0)
        m_perClient.erase(it);
}

} // namespace AppServer
