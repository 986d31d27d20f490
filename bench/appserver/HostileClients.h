#pragma once

#include <atomic>
#include <thread>
#include <vector>

// Keep-alive connections that made one call and then sit idle, holding their sockets open.
class IdleConnections
{
public:
    ~IdleConnections();
    // Opens them; returns how many got their answer.
    int open(int port, int count);
    void close();

private:
    std::vector<int> m_sockets;
};

// Connections that send a request one byte a second, each reopened when the server gives up on
// it, until stopped.
class Trickle
{
public:
    ~Trickle() { stop(); }
    void start(int port, int connections);
    void stop();
    long long reopened() const { return m_reopened; }

private:
    std::atomic<bool> m_stopping{false};
    std::atomic<long long> m_reopened{0};
    std::thread m_thread;
};
