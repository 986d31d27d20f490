#pragma once

#include "ConnectionTable.h"
#include "HttpSession.h"

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>

#include <memory>
#include <stdexcept>
#include <string>

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

// The listening socket and the event loop its connections live on. Connections over the
// limits of the connection table are answered with a refusal and closed.
class HttpListener
{
public:
    HttpListener(const HttpLimits &limits, int maxConnections, int maxPerClient,
                 RequestHandler handler);
    ~HttpListener();

    // The address to bind; raises ListenError.
    boost::asio::ip::tcp::endpoint resolve(const std::string &host, int port);
    // Binds and listens (never sharing the port with another socket); returns the port bound.
    // Raises ListenError.
    int listen(const boost::asio::ip::tcp::endpoint &endpoint);
    // Runs the loop on this thread and threads - 1 more, until stop().
    void run(int threads);
    // From any thread, also before run().
    void stop();

private:
    void accept();
    void onAccept(boost::system::error_code ec, boost::asio::ip::tcp::socket socket);

    HttpLimits m_limits;
    RequestHandler m_handler;
    boost::asio::io_context m_loop;
    boost::asio::ip::tcp::acceptor m_acceptor;
    boost::asio::steady_timer m_retry;
    std::shared_ptr<ConnectionTable> m_connections;
    int m_maxConnections;
};

} // namespace AppServer
