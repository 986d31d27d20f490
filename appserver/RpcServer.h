#pragma once

#include "ServerOptions.h"

#include <memory>
#include <string>

namespace httplib {
class Server;
struct Request;
struct Response;
} // namespace httplib

namespace AppServer {

class DataModuleRegistry;
class DatabaseAccess;

// JSON-RPC 2.0 over HTTP/1.1:
//   POST /rpc/<module>  {"jsonrpc":"2.0","id":1,"method":"GetDtIni","params":["01","","02"]}
//   GET  /rpc           the handshake: {"jsonrpc":"2.0","servers":["Fis01400.rdmDocForne",...]}
// Answers carry {"result": <data packet>} or {"error": {"code", "message"}}; every refusal,
// including those of the HTTP layer (body too large, incomplete request, unknown path), is a
// JSON-RPC error body. With a token configured every request must carry
// "Authorization: Bearer <token>".
class RpcServer
{
public:
    RpcServer(const ServerOptions &options, const DataModuleRegistry &modules,
              DatabaseAccess &database);
    ~RpcServer();

    // Binds the address; returns the port (the chosen one for port 0), or -1 on failure.
    int bind();
    // Serves until stop(); returns false when serving failed.
    bool serve();
    void stop();

    struct Answer
    {
        int status = 200;
        std::string body; // empty for a notification (status 204)
    };
    // The answer to POST /rpc/<module>: the request body and its Authorization header in, the
    // HTTP status and the JSON-RPC body out. Never raises.
    Answer answerCall(const std::string &module, const std::string &body,
                      const std::string &authorization) const;

private:
    void handleCall(const httplib::Request &request, httplib::Response &response);
    void handleHandshake(const httplib::Request &request, httplib::Response &response);
    bool authorized(const std::string &authorization) const;

    ServerOptions m_options;
    const DataModuleRegistry &m_modules;
    DatabaseAccess &m_database;
    std::string m_expectedAuthorization; // empty: no token configured
    std::unique_ptr<httplib::Server> m_http;
};

} // namespace AppServer
