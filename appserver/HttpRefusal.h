#pragma once

#include <cstddef>
#include <string>

namespace AppServer {

// What the HTTP layer answers when it turns a request away before any data module sees it: the
// status, and the JSON-RPC error (code and Portuguese message) of the body.
struct HttpRefusal
{
    int status = 400;
    int code = 0;
    std::string message;

    std::string body() const;

    static HttpRefusal malformed();
    static HttpRefusal notInTime(int timeoutMs);
    static HttpRefusal badContentLength();
    static HttpRefusal headersTooLarge(std::size_t maxBytes, int maxFields);
    static HttpRefusal bodyTooLarge(std::size_t maxBytes);
    static HttpRefusal tooManyConnections();
    static HttpRefusal unknownPath();
    static HttpRefusal internalError();
};

// A JSON-RPC error answer without id.
std::string errorBody(int code, const std::string &message);

} // namespace AppServer
