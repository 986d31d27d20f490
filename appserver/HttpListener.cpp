#include "HttpListener.h"

#include "RequestLog.h"

#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/post.hpp>

#include <algorithm>
#include <sys/resource.h>
#include <thread>
#include <vector>

namespace AppServer {

namespace asio = boost::asio;
using asio::ip::tcp;
using boost::system::error_code;

namespace {

// Each connection is a file descriptor: take the most the system lets this process have.
void raiseDescriptorLimit(int maxConnections)
{
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return;
    if (limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
        getrlimit(RLIMIT_NOFILE, &limit);
    }
    // Room for the database, the log and the listening socket.
    if (limit.rlim_cur != RLIM_INFINITY &&
        limit.rlim_cur < static_cast<rlim_t>(maxConnections) + 64)
        qCWarning(lcServer).noquote()
            << QStringLiteral("o sistema permite %1 arquivos abertos, menos que MaxConnections "
                              "(%2): conexões além disso esperam na fila")
                   .arg(limit.rlim_cur)
                   .arg(maxConnections);
}

std::vector<std::unique_ptr<asio::io_context>> makeLoops(int count)
{
    std::vector<std::unique_ptr<asio::io_context>> loops;
    for (int i = 0; i < std::max(1, count); ++i)
        // Each is run by one thread, which Asio's scheduler is told so it can wake less.
        loops.push_back(std::make_unique<asio::io_context>(1));
    return loops;
}

} // namespace

HttpListener::HttpListener(const HttpLimits &limits, int maxConnections, int maxPerClient,
                           int loops, RequestHandler handler)
    : m_limits(limits), m_handler(std::move(handler)), m_loops(makeLoops(loops)),
      m_acceptor(*m_loops.front()), m_retry(*m_loops.front()),
      m_connections(std::make_shared<ConnectionTable>(maxConnections, maxPerClient)),
      m_maxConnections(maxConnections)
{}

HttpListener::~HttpListener() = default;

tcp::endpoint HttpListener::resolve(const std::string &host, int port)
{
    error_code ec;
    const asio::ip::address address = asio::ip::make_address(host, ec);
    if (!ec)
        return {address, static_cast<unsigned short>(port)};
    tcp::resolver resolver(*m_loops.front());
    const auto found = resolver.resolve(
        host, std::to_string(port), tcp::resolver::passive | tcp::resolver::numeric_service, ec);
    if (ec || found.empty())
        throw ListenError(1, "endereço de escuta '" + host + "' não encontrado.");
    return found.begin()->endpoint();
}

int HttpListener::listen(const tcp::endpoint &endpoint)
{
    const std::string where =
        endpoint.address().to_string() + ":" + std::to_string(endpoint.port());
    error_code ec;
    m_acceptor.open(endpoint.protocol(), ec);
    // SO_REUSEADDR only lets a restarted server bind over connections still closing; unlike
    // SO_REUSEPORT it never lets a second server listen on the same port.
    if (!ec)
        m_acceptor.set_option(tcp::acceptor::reuse_address(true), ec);
    if (!ec)
        m_acceptor.bind(endpoint, ec);
    if (!ec)
        m_acceptor.listen(asio::socket_base::max_listen_connections, ec);
    if (ec == asio::error::address_in_use)
        throw ListenError(1, "porta " + std::to_string(endpoint.port()) +
                                 " em uso: outro programa já escuta em " + where + ".");
    if (ec == boost::system::errc::address_not_available)
        throw ListenError(1, "o endereço " + endpoint.address().to_string() +
                                 " não pertence a esta máquina.");
    if (ec == asio::error::access_denied)
        throw ListenError(1, "sem permissão para escutar em " + where + ".");
    if (ec)
        throw ListenError(1, "não foi possível escutar em " + where + " (" + ec.message() + ").");
    raiseDescriptorLimit(m_maxConnections);
    accept();
    return m_acceptor.local_endpoint().port();
}

void HttpListener::run()
{
    // A loop with no connection yet waits for one instead of returning.
    std::vector<asio::executor_work_guard<asio::io_context::executor_type>> keep;
    for (const auto &loop : m_loops)
        keep.push_back(asio::make_work_guard(*loop));
    // Each loop on a thread of its own, even the first: what a loop thread keeps (its database
    // connection) goes with the thread, before serving returns.
    std::vector<std::thread> threads;
    for (const auto &loop : m_loops)
        threads.emplace_back([loop = loop.get()] { loop->run(); });
    for (std::thread &thread : threads)
        thread.join();
}

void HttpListener::stop()
{
    for (const auto &loop : m_loops)
        loop->stop();
}

asio::io_context &HttpListener::nextLoop()
{
    // Only the first loop accepts, so the turn needs no lock.
    asio::io_context &loop = *m_loops[m_next];
    m_next = (m_next + 1) % m_loops.size();
    return loop;
}

void HttpListener::accept()
{
    m_acceptor.async_accept(
        nextLoop(), [this](error_code ec, tcp::socket socket) { onAccept(ec, std::move(socket)); });
}

void HttpListener::onAccept(error_code ec, tcp::socket socket)
{
    if (ec == asio::error::operation_aborted)
        return;
    if (ec) {
        // Out of descriptors, say: retry shortly rather than spin on the failing accept.
        qCWarning(lcServer).noquote() << "falha ao aceitar conexão:" << ec.message().c_str();
        m_retry.expires_after(std::chrono::milliseconds(50));
        m_retry.async_wait([this](error_code waited) {
            if (!waited)
                accept();
        });
        return;
    }
    // Without TCP_NODELAY a keep-alive exchange of small answers stalls on delayed ACKs.
    socket.set_option(tcp::no_delay(true), ec);
    const tcp::endpoint peer = socket.remote_endpoint(ec);
    if (!ec) {
        ConnectionTable::Refusal refusal;
        std::unique_ptr<ConnectionTable::Slot> slot =
            m_connections->admit(peer.address(), &refusal);
        const std::string client = peer.address().to_string();
        auto session = std::make_shared<HttpSession>(std::move(socket), m_limits, m_handler,
                                                     std::move(slot), client);
        if (refusal == ConnectionTable::Refusal::None) {
            asio::post(session->executor(), [session] { session->start(); });
        } else {
            const std::string detail =
                refusal == ConnectionTable::Refusal::Total
                    ? "conexões demais no total (MaxConnections), cliente " + client
                    : "conexões demais do cliente " + client + " (MaxConnectionsPerClient)";
            asio::post(session->executor(), [session, detail] {
                session->refuse(HttpRefusal::tooManyConnections(), detail);
            });
        }
    }
    accept();
}

} // namespace AppServer
