#pragma once

#include "ServerOptions.h"

#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace AppServer {

class DataModuleRegistry;
class DatabaseAccess;
class HttpListener;
class ReportDownload;
class WorkerPool;
struct HttpReply;
struct HttpRequest;

// JSON-RPC 2.0 over HTTP/1.1:
//   POST /rpc/<module>  {"jsonrpc":"2.0","id":1,"method":"GetDtIni","params":["01","","02"]}
//   GET  /rpc           the handshake: {"jsonrpc":"2.0","servers":["Fis01400.rdmDocForne",...]}
//   GET  /relatorios/<idjob>?dono=<owner>   a background report's file (ReportDownload)
// Answers carry {"result": <data packet>} or {"error": {"code", "message"}}; every refusal,
// including those of the HTTP layer (body too large, incomplete request, unknown path), is a
// JSON-RPC error body. With a token configured every request must carry
// "Authorization: Bearer <token>".
//
// Connections live on event loops (HttpListener), so a connection waiting for its next request
// holds no thread. On SQLite a loop answers a call itself, over its own connection, unless the
// call would wait for a lock; otherwise, and on the remote engines, the call goes to a fixed pool
// of database workers and its answer back to the loop.
class RpcServer
{
public:
    RpcServer(const ServerOptions &options, const DataModuleRegistry &modules,
              DatabaseAccess &database);
    ~RpcServer();

    // Binds the address; returns the port (the chosen one for port 0). Raises ListenError when
    // the port is taken or the address cannot be bound, and when the address reaches beyond
    // loopback with no token configured and AllowWithoutToken not set.
    int bind();
    // Serves until stop(); returns false when serving failed.
    bool serve();
    // From any thread.
    void stop();

    struct Answer
    {
        int status = 200;
        std::string body; // empty for a notification (status 204)
    };
    // The answer to POST /rpc/<module>: the request body and its Authorization header in, the
    // HTTP status and the JSON-RPC body out. Raises nothing but WouldWait, under NoLockWaits.
    Answer answerCall(const std::string &module, const std::string &body,
                      const std::string &authorization) const;

private:
    void handle(HttpRequest request, std::function<void(HttpReply)> reply);
    HttpReply handshake(const std::string &authorization) const;
    bool authorized(const std::string &authorization) const;
    void download(HttpRequest request, std::function<void(HttpReply)> reply);

    ServerOptions m_options;
    const DataModuleRegistry &m_modules;
    DatabaseAccess &m_database;
    std::unique_ptr<ReportDownload> m_downloads;
    std::string m_expectedAuthorization; // empty: no token configured
    bool m_callsOnLoop = false;
    // The workers go first: their jobs hold connections of the listener's loop.
    std::unique_ptr<HttpListener> m_listener;
    std::unique_ptr<WorkerPool> m_workers;
};

// The text with its %XX escapes decoded (a '+' stays a '+').
std::string percentDecoded(std::string_view text);

} // namespace AppServer
