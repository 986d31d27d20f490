#include "TcpProxy.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <stdexcept>

namespace {

[[noreturn]] void fail(const char *what)
{
    throw std::runtime_error(std::string("proxy TCP: ") + what);
}

sockaddr_in loopback(int port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

} // namespace

TcpProxy::TcpProxy(const QString &targetHost, int targetPort)
    : m_targetHost(targetHost), m_targetPort(targetPort)
{
    listen();
}

TcpProxy::~TcpProxy()
{
    cut();
}

void TcpProxy::listen()
{
    m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int yes = 1;
    ::setsockopt(m_listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address = loopback(m_port);
    if (::bind(m_listener, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 ||
        ::listen(m_listener, 64) != 0)
        fail("não foi possível escutar");
    socklen_t length = sizeof address;
    ::getsockname(m_listener, reinterpret_cast<sockaddr *>(&address), &length);
    m_port = ntohs(address.sin_port);
    if (::pipe2(m_wake, O_CLOEXEC) != 0)
        fail("pipe");
    m_acceptor = std::thread([this] { acceptLoop(); });
}

void TcpProxy::acceptLoop()
{
    for (;;) {
        pollfd waits[2] = {{m_listener, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
        if (::poll(waits, 2, -1) < 0)
            continue;
        if (waits[1].revents != 0)
            return;
        const int client = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0)
            continue;
        const int server = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in target{};
        target.sin_family = AF_INET;
        target.sin_port = htons(static_cast<uint16_t>(m_targetPort));
        ::inet_pton(AF_INET, m_targetHost.toLatin1().constData(), &target.sin_addr);
        if (::connect(server, reinterpret_cast<sockaddr *>(&target), sizeof target) != 0) {
            ::close(server);
            ::close(client);
            continue;
        }
        const int yes = 1;
        ::setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
        ::setsockopt(server, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
        const std::lock_guard lock(m_mutex);
        m_sockets.push_back(client);
        m_sockets.push_back(server);
        m_relays.emplace_back([this, client, server] { relay(client, server); });
    }
}

void TcpProxy::relay(int client, int server)
{
    char buffer[16384];
    pollfd ends[2] = {{client, POLLIN, 0}, {server, POLLIN, 0}};
    for (;;) {
        if (::poll(ends, 2, -1) < 0)
            continue;
        for (int i = 0; i < 2; ++i) {
            if (ends[i].revents == 0)
                continue;
            const ssize_t n = ::read(ends[i].fd, buffer, sizeof buffer);
            if (n <= 0)
                return;
            for (ssize_t done = 0; done < n;) {
                const ssize_t w =
                    ::write(ends[1 - i].fd, buffer + done, static_cast<size_t>(n - done));
                if (w <= 0)
                    return;
                done += w;
            }
        }
    }
}

void TcpProxy::cut()
{
    if (m_listener < 0)
        return;
    (void)!::write(m_wake[1], "x", 1);
    m_acceptor.join();
    ::close(m_listener);
    ::close(m_wake[0]);
    ::close(m_wake[1]);
    m_listener = -1;
    std::vector<std::thread> relays;
    {
        const std::lock_guard lock(m_mutex);
        // Both ends see the connection end at once, as when the server's machine goes away.
        for (int socket : m_sockets)
            ::shutdown(socket, SHUT_RDWR);
        relays.swap(m_relays);
    }
    for (std::thread &t : relays)
        t.join();
    const std::lock_guard lock(m_mutex);
    for (int socket : m_sockets)
        ::close(socket);
    m_sockets.clear();
}

void TcpProxy::restore()
{
    if (m_listener < 0)
        listen();
}
