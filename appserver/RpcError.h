#pragma once

#include <stdexcept>
#include <string>

namespace AppServer {

// JSON-RPC 2.0 error codes: the standard ones and the server's own (-32000 and below).
namespace RpcCode {
constexpr int ParseError = -32700;
constexpr int InvalidRequest = -32600;
constexpr int MethodNotFound = -32601;
constexpr int InvalidParams = -32602;
constexpr int InternalError = -32603;
constexpr int Unauthorized = -32001;
constexpr int DatabaseUnavailable = -32002;
constexpr int DatabaseFailure = -32003;
constexpr int PayloadTooLarge = -32004;
constexpr int Timeout = -32005;
constexpr int BadHttpRequest = -32006;
constexpr int HeadersTooLarge = -32007;
constexpr int TooManyConnections = -32008;
// Sent by the load balancer in front of several servers (deploy/nginx), never by a server.
constexpr int NoServerAnswered = -32009;
// A background report the owner has not (unknown, another's), not yet (not ready) or no longer
// (its file removed), or one past cancelling.
constexpr int ReportUnavailable = -32010;
} // namespace RpcCode

// A failure that the client receives as a JSON-RPC error. The message is shown to the user as
// it stands (Portuguese), so it never carries SQL text or internal detail; `detail` goes to the
// server's log only. message() is the whole text: what() stops at a NUL that a name echoed from
// the request may hold.
class RpcError : public std::runtime_error
{
public:
    RpcError(int code, const std::string &message, std::string detail = {})
        : std::runtime_error(message), m_code(code), m_message(message), m_detail(std::move(detail))
    {}
    int code() const { return m_code; }
    const std::string &message() const { return m_message; }
    const std::string &detail() const { return m_detail; }

private:
    int m_code;
    std::string m_message;
    std::string m_detail;
};

} // namespace AppServer
