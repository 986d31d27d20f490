#pragma once

#include "ConnectionTable.h"
#include "HttpSession.h"

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace AppServer {

// Why the server cannot listen, in Portuguese, and the process's exit status for it.
class ListenError : public std::runtime_error
{
public:
    ListenError(int exitStatus, const std::string &message)
        : std::runtime_error(message), m_exitStatus(exitStatus)
    {}
    int exitStatus() const { return m_exitStatus; }

private:
    int m_exitStatus;
};

// The listening socket and the event loops its connections live on: one loop per thread, each
// connection on one of them for its whole life, so a connection's work never crosses threads
// and no loop needs a lock. Connections over the limits of the connection table are answered
// with a refusal and closed.
class HttpListener
{
public:
    HttpListener(const HttpLimits &limits, int maxConnections, int maxPerClient, int loops,
                 RequestHandler handler);
    ~HttpListener();

    // The address to bind; raises ListenError.
    boost::asio::ip::tcp::endpoint resolve(const std::string &host, int port);
    // Binds and listens (never sharing the port with another socket); returns the port bound.
    // Raises ListenError.
    int listen(const boost::asio::ip::tcp::endpoint &endpoint);
    // Runs each loop on a thread of its own until stop().
    void run();
    // From any thread, also before run().
    void stop();

private:
    void accept();
    void onAccept(boost::system::error_code ec, boost::asio::ip::tcp::socket socket);
    boost::asio::io_context &nextLoop();

    HttpLimits m_limits;
    RequestHandler m_handler;
    std::vector<std::unique_ptr<boost::asio::io_context>> m_loops;
    std::size_t m_next = 0; // the loop of the next connection, in turn
    boost::asio::ip::tcp::acceptor m_acceptor;
    boost::asio::steady_timer m_retry;
    std::shared_ptr<ConnectionTable> m_connections;
    int m_maxConnections;
};

} // namespace AppServer
