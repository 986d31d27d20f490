#pragma once

#include "ConnectionTable.h"
#include "HttpRefusal.h"

#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/http/file_body.hpp>
#include <boost/beast/http/parser.hpp>
#include <boost/beast/http/serializer.hpp>
#include <boost/beast/http/string_body.hpp>

#include <array>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace AppServer {

struct HttpLimits
{
    std::chrono::milliseconds requestTimeout{5000}; // a whole request, from its first byte
    std::chrono::milliseconds idleTimeout{5000};    // waiting for the next request
    std::size_t maxHeaderBytes = 16 * 1024;
    int maxHeaders = 100;
    std::size_t maxBodyBytes = 64 * 1024;
};

struct HttpRequest
{
    std::string method;
    std::string target;
    std::string authorization;
    std::string body;
};

// A file sent as a reply's body, opened by whoever answers: read in chunks as the client takes
// them, never whole in memory.
struct HttpFile
{
    boost::beast::http::file_body::value_type body;
    std::string contentType;
    std::vector<std::pair<std::string, std::string>> headers;
};

struct HttpReply
{
    HttpReply() = default;
    HttpReply(int status, std::string body) : status(status), body(std::move(body)) {}
    explicit HttpReply(std::shared_ptr<HttpFile> file) : file(std::move(file)) {}

    int status = 200;
    std::string body; // JSON; empty for 204
    // When set, the reply's body instead of `body`.
    std::shared_ptr<HttpFile> file;
};

// Called from any thread, exactly once per request.
using ReplyHandler = std::function<void(HttpReply)>;
using RequestHandler = std::function<void(HttpRequest, ReplyHandler)>;

// One client connection on the event loop: reads a request within the limits, hands it to the
// request handler and writes the reply, then waits for the next one. Requests sent together
// (pipelined) are answered in order, one at a time. Anything beyond a limit is answered with
// its refusal and the connection closed; the session holds its connection slot until then.
class HttpSession : public std::enable_shared_from_this<HttpSession>
{
public:
    HttpSession(boost::asio::ip::tcp::socket socket, const HttpLimits &limits,
                const RequestHandler &handler, std::unique_ptr<ConnectionTable::Slot> slot,
                std::string client);

    void start();
    // Answers the refusal at once and closes, without reading a request.
    void refuse(const HttpRefusal &refusal, const std::string &detail);

    boost::asio::ip::tcp::socket::executor_type executor() { return m_socket.get_executor(); }

private:
    using Parser = boost::beast::http::request_parser<boost::beast::http::string_body>;
    enum class Phase { Idle, Reading, Working, Writing, Closing, Closed };

    void awaitRequest();
    void beginRequest();
    void readHeader();
    void onHeaderBytes(boost::beast::error_code ec);
    void onHeader();
    void readBody();
    void onBody(boost::beast::error_code ec);
    // Answers a failed read; false when the read succeeded.
    bool failed(boost::beast::error_code ec);
    std::optional<HttpRefusal> headerRefusal() const;
    void dispatch();
    void write(HttpReply reply, bool close);
    void writeFile(HttpFile &file, int status, bool close);
    void writeFileChunk(bool close);
    void written(bool close);
    void linger();
    void drain();
    void closeNow();
    void arm(std::chrono::milliseconds after);
    void disarm();
    void waitUntilDeadline();
    void onDeadline();
    std::string logTarget() const;
    double elapsedMs() const;

    boost::asio::ip::tcp::socket m_socket;
    boost::asio::steady_timer m_timer;
    const HttpLimits &m_limits;
    const RequestHandler &m_handler;
    std::unique_ptr<ConnectionTable::Slot> m_slot;
    std::string m_client;

    Phase m_phase = Phase::Idle;
    std::chrono::steady_clock::time_point m_deadline;
    bool m_armed = false;        // a deadline holds
    bool m_timerWaiting = false; // a wait of the timer is running
    bool m_timedOut = false;
    bool m_keepAlive = true;
    std::chrono::steady_clock::time_point m_started;
    boost::beast::flat_buffer m_buffer;
    std::optional<Parser> m_parser;
    boost::beast::http::response<boost::beast::http::string_body> m_response;
    // A file's reply and its writer, which holds the reply: declared after it, so gone before.
    std::optional<boost::beast::http::response<boost::beast::http::file_body>> m_fileResponse;
    std::optional<boost::beast::http::response_serializer<boost::beast::http::file_body>>
        m_fileWriter;
    std::array<char, 4096> m_drainBuffer{};
    std::size_t m_drained = 0;
    std::size_t m_headerSearched = 0; // where the search for the header's end goes on
};

} // namespace AppServer
