#pragma once

#include <QString>

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// A TCP relay on a loopback port to a server that a test wants to take away and bring back:
// cut() drops every connection and refuses new ones, as a server that went down does;
// restore() accepts again on the same port.
class TcpProxy
{
public:
    TcpProxy(const QString &targetHost, int targetPort);
    ~TcpProxy();
    TcpProxy(const TcpProxy &) = delete;
    TcpProxy &operator=(const TcpProxy &) = delete;

    int port() const { return m_port; }
    void cut();
    void restore();

private:
    void listen();
    void acceptLoop();
    void relay(int client, int server);

    QString m_targetHost;
    int m_targetPort = 0;
    int m_port = 0;
    int m_listener = -1;
    int m_wake[2] = {-1, -1};
    std::thread m_acceptor;
    std::mutex m_mutex;
    std::vector<int> m_sockets;
    std::vector<std::thread> m_relays;
};
