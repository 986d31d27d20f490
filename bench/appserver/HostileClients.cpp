#include "HostileClients.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <string>

namespace {

int connectTo(int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return -1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    return fd;
}

const std::string pingRequest =
    "POST /rpc/Velmora.Servidor HTTP/1.1\r\nHost: x\r\nContent-Type: application/json\r\n"
    "Content-Length: 52\r\n\r\n{\"jsonrpc\":\"2.0\",\"id\":1,\"method\":\"Ping\",\"params\":[]}";

// Whether the fd has something to read (an answer or the server's close) within the time.
bool readable(int fd, int timeoutMs)
{
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, timeoutMs) > 0;
}

} // namespace

IdleConnections::~IdleConnections()
{
    close();
}

int IdleConnections::open(int port, int count)
{
    int answered = 0;
    for (int i = 0; i < count; ++i) {
        const int fd = connectTo(port);
        if (fd < 0)
            continue;
        m_sockets.push_back(fd);
        char answer[1024];
        if (::send(fd, pingRequest.data(), pingRequest.size(), MSG_NOSIGNAL) > 0 &&
            readable(fd, 5000) && ::recv(fd, answer, sizeof answer, 0) > 0 &&
            std::strncmp(answer, "HTTP/1.1 200", 12) == 0)
            ++answered;
    }
    return answered;
}

void IdleConnections::close()
{
    for (const int fd : m_sockets)
        ::close(fd);
    m_sockets.clear();
}

void Trickle::start(int port, int connections)
{
    m_stopping = false;
    m_thread = std::thread([this, port, connections] {
        std::vector<int> fds(static_cast<std::size_t>(connections), -1);
        std::vector<std::size_t> sent(fds.size(), 0);
        while (!m_stopping) {
            for (std::size_t i = 0; i < fds.size(); ++i) {
                // An answer (the deadline's refusal) or a close: start over on a new connection.
                if (fds[i] >= 0 && readable(fds[i], 0)) {
                    ::close(fds[i]);
                    fds[i] = -1;
                    ++m_reopened;
                }
                if (fds[i] < 0) {
                    fds[i] = connectTo(port);
                    sent[i] = 0;
                }
                if (fds[i] >= 0 && ::send(fds[i], pingRequest.data() + sent[i] % pingRequest.size(),
                                          1, MSG_NOSIGNAL) == 1)
                    ++sent[i];
            }
            for (int tenth = 0; tenth < 10 && !m_stopping; ++tenth)
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        for (const int fd : fds)
            if (fd >= 0)
                ::close(fd);
    });
}

void Trickle::stop()
{
    m_stopping = true;
    if (m_thread.joinable())
        m_thread.join();
}
