// The candidate on Boost.Beast, asynchronous, one thread per core, in either of Asio's two
// layouts: one io_context per thread, each connection staying on the thread that accepted it for
// it; or, built with CANDIDATE_SHARED_CONTEXT, one io_context run by every thread, each session
// on its own strand so that its deadline timer never races its reads.
#include "Candidate.h"

#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>

#include <memory>
#include <optional>
#include <thread>
#include <vector>

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;

namespace {

// Covers the wait for a request and its whole reading: an idle or trickling client is dropped.
constexpr auto requestDeadline = std::chrono::seconds(60);

class Session : public std::enable_shared_from_this<Session>
{
public:
    explicit Session(tcp::socket socket) : m_stream(std::move(socket)) {}

    void read()
    {
        m_parser.emplace();
        m_parser->header_limit(8 * 1024);
        m_parser->body_limit(Candidate::bodyLimit);
        m_stream.expires_after(requestDeadline);
        http::async_read(
            m_stream, m_buffer, *m_parser,
            [self = shared_from_this()](beast::error_code ec, std::size_t) { self->answer(ec); });
    }

private:
    void answer(beast::error_code ec)
    {
        if (ec == http::error::end_of_stream || ec == beast::error::timeout)
            return close();
        m_response = {};
        m_response.version(11);
        m_response.set(http::field::content_type, "application/json");
        if (ec == http::error::body_limit || ec == http::error::header_limit) {
            m_response.result(http::status::payload_too_large);
            m_response.keep_alive(false);
        } else if (ec) {
            return close();
        } else {
            const auto &request = m_parser->get();
            const bool known =
                request.method() == http::verb::post && request.target() == Candidate::path;
            m_response.result(known ? http::status::ok : http::status::not_found);
            if (known)
                m_response.body() = Candidate::answer;
            m_response.keep_alive(request.keep_alive());
        }
        m_response.prepare_payload();
        http::async_write(m_stream, m_response,
                          [self = shared_from_this()](beast::error_code ec, std::size_t) {
                              if (ec || !self->m_response.keep_alive())
                                  return self->close();
                              self->read();
                          });
    }

    void close()
    {
        beast::error_code ignored;
        m_stream.socket().shutdown(tcp::socket::shutdown_send, ignored);
    }

    beast::tcp_stream m_stream;
    beast::flat_buffer m_buffer;
    std::optional<http::request_parser<http::string_body>> m_parser;
    http::response<http::string_body> m_response;
};

#ifdef CANDIDATE_SHARED_CONTEXT
constexpr bool sharedContext = true;
#else
constexpr bool sharedContext = false;
#endif

void accept(std::vector<std::unique_ptr<asio::io_context>> &contexts, tcp::acceptor &acceptor,
            std::size_t next)
{
    asio::io_context &io = *contexts[next % contexts.size()];
    const asio::any_io_executor on =
        sharedContext ? asio::any_io_executor(asio::make_strand(io)) : io.get_executor();
    acceptor.async_accept(on,
                          [&contexts, &acceptor, next](beast::error_code ec, tcp::socket socket) {
                              if (!ec) {
                                  socket.set_option(tcp::no_delay(true), ec);
                                  std::make_shared<Session>(std::move(socket))->read();
                              }
                              if (acceptor.is_open())
                                  accept(contexts, acceptor, next + 1);
                          });
}

} // namespace

int main(int argc, char *argv[])
{
    const unsigned short port = Candidate::portArgument(argc, argv);
    const sigset_t stopSignals = Candidate::blockStopSignals();
    std::vector<std::unique_ptr<asio::io_context>> contexts;
    for (int i = 0; i < (sharedContext ? 1 : Candidate::threads); ++i)
        contexts.push_back(
            std::make_unique<asio::io_context>(sharedContext ? Candidate::threads : 1));
    tcp::acceptor acceptor(*contexts.front());
    // A context whose thread has no connection yet must not run out of work and return.
    std::vector<asio::executor_work_guard<asio::io_context::executor_type>> busy;
    for (auto &io : contexts)
        busy.push_back(asio::make_work_guard(*io));
    try {
        const tcp::endpoint at(asio::ip::make_address("127.0.0.1"), port);
        acceptor.open(at.protocol());
        acceptor.set_option(asio::socket_base::reuse_address(true));
        acceptor.bind(at);
        acceptor.listen(asio::socket_base::max_listen_connections);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "não foi possível escutar na porta %u: %s\n", port, e.what());
        return 1;
    }
    accept(contexts, acceptor, 0);
    std::vector<std::thread> threads;
    for (int i = 0; i < Candidate::threads; ++i)
        threads.emplace_back([&io = *contexts[i % contexts.size()]] { io.run(); });
    Candidate::announcePort(acceptor.local_endpoint().port());
    Candidate::waitForStop(stopSignals);
    for (auto &io : contexts)
        io->stop();
    for (std::thread &t : threads)
        t.join();
    return 0;
}
