#include "HttpSession.h"

#include "RequestLog.h"

#include <boost/asio/dispatch.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/http/error.hpp>
#include <boost/beast/http/read.hpp>
#include <boost/beast/http/write.hpp>

namespace AppServer {

namespace asio = boost::asio;
namespace http = boost::beast::http;
using boost::beast::error_code;

namespace {

const char *const contentType = "application/json; charset=utf-8";
const char interimContinue[] = "HTTP/1.1 100 Continue\r\n\r\n";
// After a refusal the client may still be sending: its bytes are read and dropped for a while,
// so that closing does not reset the connection before the refusal reached the client.
constexpr std::chrono::milliseconds lingerTime{2000};
constexpr std::size_t lingerBytes = 1 << 20;

std::string shown(std::string_view text)
{
    return text.size() <= 80 ? std::string(text) : std::string(text.substr(0, 80)) + "...";
}

} // namespace

HttpSession::HttpSession(asio::ip::tcp::socket socket, const HttpLimits &limits,
                         const RequestHandler &handler, std::unique_ptr<ConnectionTable::Slot> slot,
                         std::string client)
    : m_socket(std::move(socket)), m_timer(m_socket.get_executor()), m_limits(limits),
      m_handler(handler), m_slot(std::move(slot)), m_client(std::move(client)),
      m_buffer(limits.maxHeaderBytes)
{}

void HttpSession::start()
{
    awaitRequest();
}

void HttpSession::refuse(const HttpRefusal &refusal, const std::string &detail)
{
    logRequest(logTarget(), elapsedMs(), refusal.code,
               "HTTP " + std::to_string(refusal.status) + " " + std::to_string(refusal.code),
               detail.empty() ? "cliente " + m_client : detail);
    write({refusal.status, refusal.body()}, true);
}

void HttpSession::awaitRequest()
{
    m_parser.emplace();
    m_parser->header_limit(static_cast<std::uint32_t>(m_limits.maxHeaderBytes));
    m_parser->body_limit(m_limits.maxBodyBytes);
    if (m_buffer.size() > 0) {
        // The next request came with the last one.
        beginRequest();
        return;
    }
    // An idle connection costs a socket and this read, no thread. A read rather than a wait
    // for readability: the reactor keeps the socket registered as it is, where a wait would
    // register it again for each request.
    m_phase = Phase::Idle;
    arm(m_limits.idleTimeout);
    const std::size_t room = std::min<std::size_t>(m_buffer.max_size(), 4096);
    m_socket.async_read_some(m_buffer.prepare(room),
                             [self = shared_from_this()](error_code ec, std::size_t n) {
                                 if (ec || n == 0 || self->m_phase != Phase::Idle)
                                     return self->closeNow();
                                 self->m_buffer.commit(n);
                                 self->beginRequest();
                             });
}

void HttpSession::beginRequest()
{
    m_phase = Phase::Reading;
    m_started = std::chrono::steady_clock::now();
    // One deadline for the whole request, however slowly it trickles in.
    arm(m_limits.requestTimeout);
    m_headerSearched = 0;
    readHeader();
}

// The buffer holds at most the header limit, so a header without end is refused as it passes
// it. The header is parsed once whole: a request line the parser cannot finish is then known
// malformed, where the parser would wait for more.
void HttpSession::readHeader()
{
    const std::string_view held(static_cast<const char *>(m_buffer.data().data()), m_buffer.size());
    constexpr std::string_view end = "\r\n\r\n";
    if (held.find(end, m_headerSearched) != std::string_view::npos)
        return onHeaderBytes({});
    m_headerSearched = held.size() < end.size() ? 0 : held.size() - end.size() + 1;
    const std::size_t room = std::min<std::size_t>(m_buffer.max_size() - m_buffer.size(), 4096);
    if (room == 0)
        return onHeaderBytes(asio::error::not_found);
    m_socket.async_read_some(m_buffer.prepare(room),
                             [self = shared_from_this()](error_code ec, std::size_t n) {
                                 self->m_buffer.commit(n);
                                 if (ec || self->m_timedOut)
                                     return self->onHeaderBytes(ec);
                                 self->readHeader();
                             });
}

void HttpSession::onHeaderBytes(error_code ec)
{
    if (ec == asio::error::not_found && !m_timedOut)
        return refuse(HttpRefusal::headersTooLarge(m_limits.maxHeaderBytes, m_limits.maxHeaders),
                      {});
    if (failed(ec))
        return;
    const std::size_t used = m_parser->put(m_buffer.data(), ec);
    m_buffer.consume(used);
    if (ec == http::error::need_more || (!ec && !m_parser->is_header_done()))
        return refuse(HttpRefusal::malformed(), {});
    if (failed(ec))
        return;
    onHeader();
}

void HttpSession::onHeader()
{
    if (const std::optional<HttpRefusal> refusal = headerRefusal())
        return refuse(*refusal, {});
    const auto expect = m_parser->get().find(http::field::expect);
    if (expect != m_parser->get().end() && !m_parser->is_done() &&
        boost::beast::iequals(expect->value(), "100-continue")) {
        asio::async_write(m_socket, asio::buffer(interimContinue, sizeof interimContinue - 1),
                          [self = shared_from_this()](error_code ec, std::size_t) {
                              if (!self->failed(ec))
                                  self->readBody();
                          });
        return;
    }
    readBody();
}

std::optional<HttpRefusal> HttpSession::headerRefusal() const
{
    const auto &request = m_parser->get();
    if (std::distance(request.begin(), request.end()) > m_limits.maxHeaders)
        return HttpRefusal::headersTooLarge(m_limits.maxHeaderBytes, m_limits.maxHeaders);
    // The parser takes a repeated length when the values agree; a request that repeats it is
    // refused all the same, as a proxy in front may have read it differently.
    const auto lengths = request.equal_range(http::field::content_length);
    if (lengths.first != lengths.second &&
        (std::next(lengths.first) != lengths.second ||
         lengths.first->value().find(',') != boost::string_view::npos))
        return HttpRefusal::badContentLength();
    return std::nullopt;
}

void HttpSession::readBody()
{
    // What came with the header first: most bodies are there whole.
    while (!m_parser->is_done() && m_buffer.size() > 0) {
        error_code ec;
        const std::size_t used = m_parser->put(m_buffer.data(), ec);
        m_buffer.consume(used);
        if (ec == http::error::need_more || (!ec && used == 0))
            break;
        if (failed(ec))
            return;
    }
    if (m_parser->is_done())
        return dispatch();
    http::async_read(m_socket, m_buffer, *m_parser,
                     [self = shared_from_this()](error_code ec, std::size_t) { self->onBody(ec); });
}

void HttpSession::onBody(error_code ec)
{
    if (!failed(ec))
        dispatch();
}

bool HttpSession::failed(error_code ec)
{
    // Past the deadline, whatever the read brought: a read that won the race against the
    // deadline's cancel must not go on without one.
    if (m_timedOut)
        refuse(HttpRefusal::notInTime(static_cast<int>(m_limits.requestTimeout.count())), {});
    else if (!ec)
        return false;
    else if (ec.category() != error_code(http::error::bad_target).category() ||
             ec == http::error::end_of_stream || ec == http::error::partial_message)
        closeNow(); // the client went away (closed, reset) before sending a whole request
    else if (ec == http::error::header_limit)
        refuse(HttpRefusal::headersTooLarge(m_limits.maxHeaderBytes, m_limits.maxHeaders), {});
    else if (ec == http::error::body_limit)
        refuse(HttpRefusal::bodyTooLarge(m_limits.maxBodyBytes), {});
    else if (ec == http::error::bad_content_length || ec == http::error::multiple_content_length)
        refuse(HttpRefusal::badContentLength(), {});
    else
        refuse(HttpRefusal::malformed(), {});
    return true;
}

void HttpSession::dispatch()
{
    m_phase = Phase::Working;
    disarm();
    http::request<http::string_body> message = m_parser->release();
    m_keepAlive = message.keep_alive();
    HttpRequest request;
    request.method = std::string(message.method_string());
    request.target = std::string(message.target());
    if (const auto it = message.find(http::field::authorization); it != message.end())
        request.authorization = std::string(it->value());
    request.body = std::move(message.body());
    // A call answered on this loop writes its reply at once; a worker's reply comes back here.
    m_handler(std::move(request), [self = shared_from_this()](HttpReply reply) {
        asio::dispatch(self->m_socket.get_executor(), [self, reply = std::move(reply)]() mutable {
            self->write(std::move(reply), !self->m_keepAlive);
        });
    });
}

void HttpSession::write(HttpReply reply, bool close)
{
    if (m_phase == Phase::Closed)
        return;
    m_phase = Phase::Writing;
    if (reply.file)
        return writeFile(*reply.file, reply.status, close);
    m_response = {};
    m_response.version(11);
    m_response.result(static_cast<unsigned>(reply.status));
    if (!reply.body.empty())
        m_response.set(http::field::content_type, contentType);
    m_response.keep_alive(!close);
    m_response.body() = std::move(reply.body);
    m_response.prepare_payload();
    // A client that does not read its answer is given as long as to send a request.
    arm(m_limits.requestTimeout);
    http::async_write(m_socket, m_response,
                      [self = shared_from_this(), close](error_code ec, std::size_t) {
                          if (ec)
                              return self->closeNow();
                          self->written(close);
                      });
}

void HttpSession::written(bool close)
{
    if (close)
        return linger();
    awaitRequest();
}

void HttpSession::writeFile(HttpFile &file, int status, bool close)
{
    m_fileResponse.emplace();
    auto &response = *m_fileResponse;
    response.version(11);
    response.result(static_cast<unsigned>(status));
    response.set(http::field::content_type, file.contentType);
    for (const auto &[name, value] : file.headers)
        response.set(name, value);
    response.keep_alive(!close);
    response.body() = std::move(file.body);
    response.prepare_payload();
    m_fileWriter.emplace(response);
    writeFileChunk(close);
}

// A large file takes a slow client long to read: the time limit holds for each chunk, so a
// client is dropped only when it takes nothing for that long.
void HttpSession::writeFileChunk(bool close)
{
    arm(m_limits.requestTimeout);
    http::async_write_some(m_socket, *m_fileWriter,
                           [self = shared_from_this(), close](error_code ec, std::size_t) {
                               if (ec)
                                   return self->closeNow();
                               if (!self->m_fileWriter->is_done())
                                   return self->writeFileChunk(close);
                               self->m_fileWriter.reset();
                               self->m_fileResponse.reset();
                               self->written(close);
                           });
}

void HttpSession::linger()
{
    m_phase = Phase::Closing;
    error_code ignored;
    m_socket.shutdown(asio::ip::tcp::socket::shutdown_send, ignored);
    arm(std::min(lingerTime, m_limits.requestTimeout));
    drain();
}

void HttpSession::drain()
{
    m_socket.async_read_some(asio::buffer(m_drainBuffer),
                             [self = shared_from_this()](error_code ec, std::size_t n) {
                                 self->m_drained += n;
                                 if (ec || self->m_drained > lingerBytes)
                                     return self->closeNow();
                                 self->drain();
                             });
}

void HttpSession::closeNow()
{
    if (m_phase == Phase::Closed)
        return;
    m_phase = Phase::Closed;
    // The wait holds the session (and its connection slot): let it go now.
    disarm();
    m_timer.cancel();
    error_code ignored;
    m_socket.close(ignored);
}

// The deadline moves with each phase of each request, but the timer is set again only when the
// deadline comes before the running wait ends: when that wait ends early it waits on. Setting
// the timer at each phase would cost the loop system calls and turns for every request.
void HttpSession::arm(std::chrono::milliseconds after)
{
    m_timedOut = false;
    m_armed = true;
    m_deadline = std::chrono::steady_clock::now() + after;
    if (!m_timerWaiting || m_timer.expiry() > m_deadline)
        waitUntilDeadline();
}

void HttpSession::disarm()
{
    m_armed = false;
}

void HttpSession::waitUntilDeadline()
{
    m_timer.expires_at(m_deadline); // a wait still running ends with operation_aborted
    m_timerWaiting = true;
    m_timer.async_wait([self = shared_from_this()](error_code ec) {
        if (ec == asio::error::operation_aborted)
            return; // replaced by a nearer deadline, or the connection closed
        self->m_timerWaiting = false;
        if (!self->m_armed || self->m_phase == Phase::Closed)
            return;
        if (std::chrono::steady_clock::now() < self->m_deadline)
            return self->waitUntilDeadline();
        self->m_armed = false;
        self->onDeadline();
    });
}

void HttpSession::onDeadline()
{
    switch (m_phase) {
    case Phase::Reading:
        // The pending read ends with operation_aborted and answers the time-out.
        m_timedOut = true;
        {
            error_code ignored;
            m_socket.cancel(ignored);
        }
        break;
    case Phase::Idle:
    case Phase::Writing:
    case Phase::Closing:
        closeNow();
        break;
    case Phase::Working:
    case Phase::Closed:
        break;
    }
}

std::string HttpSession::logTarget() const
{
    if (m_parser && !m_parser->get().target().empty())
        return std::string(m_parser->get().method_string()) + " " + shown(m_parser->get().target());
    return "HTTP";
}

double HttpSession::elapsedMs() const
{
    if (m_phase != Phase::Reading)
        return 0;
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - m_started)
        .count();
}

} // namespace AppServer
