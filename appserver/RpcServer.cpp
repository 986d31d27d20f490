#include "RpcServer.h"

#include "DataModuleRegistry.h"
#include "DatabaseAccess.h"
#include "HttpListener.h"
#include "RequestLog.h"
#include "RpcError.h"
#include "WorkerPool.h"
#include "data/DatabaseKind.h"
#include "jobs/ReportDownload.h"

#include <nlohmann/json.hpp>

#include <chrono>

namespace AppServer {

namespace {

using json = nlohmann::json;
using Clock = std::chrono::steady_clock;

double millisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Names from the request are echoed in messages: keep them short.
std::string shown(const std::string &name)
{
    return name.size() <= 80 ? name : name.substr(0, 80) + "...";
}

std::string dump(const json &value)
{
    return value.dump(-1, ' ', false, json::error_handler_t::replace);
}

json errorAnswer(const json &id, int code, const std::string &message)
{
    return {{"jsonrpc", "2.0"}, {"id", id}, {"error", {{"code", code}, {"message", message}}}};
}

// Compares without an early exit, so the time taken says nothing about the token.
bool sameText(const std::string &given, const std::string &expected)
{
    if (given.size() != expected.size())
        return false;
    unsigned char diff = 0;
    for (std::size_t i = 0; i < given.size(); ++i)
        diff |= static_cast<unsigned char>(given[i] ^ expected[i]);
    return diff == 0;
}

// The request's envelope, checked: method, parameters and id.
struct Envelope
{
    json id = nullptr;
    bool notification = false;
    std::string method;
    json params = json::array();
};

void readEnvelope(const std::string &body, Envelope &envelope)
{
    json request;
    try {
        request = json::parse(body);
    } catch (const json::exception &) {
        throw RpcError(RpcCode::ParseError, "Requisição com JSON malformado.");
    }
    if (request.is_array())
        throw RpcError(RpcCode::InvalidRequest, "Chamadas em lote não são aceitas.");
    if (!request.is_object())
        throw RpcError(RpcCode::InvalidRequest, "A requisição deve ser um objeto JSON-RPC.");
    if (const auto id = request.find("id"); id != request.end()) {
        if (!id->is_string() && !id->is_number() && !id->is_null())
            throw RpcError(RpcCode::InvalidRequest, "O campo id deve ser texto ou número.");
        envelope.id = std::move(*id);
    } else {
        envelope.notification = true;
    }
    if (const auto v = request.find("jsonrpc"); v == request.end() || *v != "2.0")
        throw RpcError(RpcCode::InvalidRequest, "O campo jsonrpc deve ser \"2.0\".");
    const auto method = request.find("method");
    if (method == request.end() || !method->is_string() || method->get<std::string>().empty())
        throw RpcError(RpcCode::InvalidRequest, "O campo method deve ser o nome do método.");
    envelope.method = method->get<std::string>();
    if (const auto params = request.find("params"); params != request.end()) {
        if (params->is_object())
            throw RpcError(RpcCode::InvalidParams,
                           "Parâmetros nomeados não são aceitos; envie-os em ordem, numa lista.");
        if (!params->is_array())
            throw RpcError(RpcCode::InvalidParams, "O campo params deve ser uma lista.");
        envelope.params = std::move(*params);
    }
}

HttpLimits limitsOf(const ServerOptions &options)
{
    HttpLimits limits;
    limits.requestTimeout = std::chrono::milliseconds(options.readTimeoutMs);
    limits.idleTimeout = std::chrono::seconds(options.idleTimeoutSeconds);
    limits.maxHeaderBytes = options.maxHeaderBytes;
    limits.maxHeaders = options.maxHeaders;
    limits.maxBodyBytes = options.maxBodyBytes;
    return limits;
}

bool isLoopback(const boost::asio::ip::address &address)
{
    if (address.is_v6() && address.to_v6().is_v4_mapped())
        return address.to_v6().to_v4().is_loopback();
    return address.is_loopback();
}

} // namespace

std::string percentDecoded(std::string_view text)
{
    std::string decoded;
    decoded.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto hex = [&](std::size_t at) {
            const char c = text[at];
            return c >= '0' && c <= '9'   ? c - '0'
                   : c >= 'a' && c <= 'f' ? c - 'a' + 10
                   : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                          : -1;
        };
        if (text[i] == '%' && i + 2 < text.size() && hex(i + 1) >= 0 && hex(i + 2) >= 0) {
            decoded += static_cast<char>(hex(i + 1) * 16 + hex(i + 2));
            i += 2;
        } else {
            decoded += text[i];
        }
    }
    return decoded;
}

RpcServer::RpcServer(const ServerOptions &options, const DataModuleRegistry &modules,
                     DatabaseAccess &database)
    : m_options(options), m_modules(modules), m_database(database),
      m_downloads(std::make_unique<ReportDownload>(database, options.settings.archiveDirectory))
{
    // Remote engines make each call wait on the network: those always go to the workers.
    m_callsOnLoop = m_options.callsOnLoop &&
                    Velmora::EngineOfDriver(m_options.settings.dbDriver) == Velmora::Engine::SQLite;
    if (!m_options.settings.serverToken.isEmpty())
        m_expectedAuthorization = "Bearer " + m_options.settings.serverToken.toStdString();
    m_listener = std::make_unique<HttpListener>(
        limitsOf(m_options), m_options.maxConnections, m_options.maxConnectionsPerClient,
        m_options.loopThreads, [this](HttpRequest request, ReplyHandler reply) {
            handle(std::move(request), std::move(reply));
        });
}

RpcServer::~RpcServer() = default;

int RpcServer::bind()
{
    const boost::asio::ip::tcp::endpoint endpoint =
        m_listener->resolve(m_options.host, m_options.port);
    if (!isLoopback(endpoint.address()) && m_expectedAuthorization.empty() &&
        !m_options.allowWithoutToken)
        throw ListenError(
            2, "recusado escutar em " + m_options.host +
                   " sem token: esse endereço aceita conexões de outras máquinas. Configure "
                   "[AppServer] Token=..., escute em 127.0.0.1, ou, se é mesmo a intenção, "
                   "declare [AppServer] AllowWithoutToken=true.");
    const int port = m_listener->listen(endpoint);
    m_workers = std::make_unique<WorkerPool>(m_options.workerThreads);
    return port;
}

bool RpcServer::serve()
{
    m_listener->run();
    return true;
}

void RpcServer::stop()
{
    m_listener->stop();
}

bool RpcServer::authorized(const std::string &authorization) const
{
    if (m_expectedAuthorization.empty())
        return true;
    return sameText(authorization, m_expectedAuthorization);
}

void RpcServer::handle(HttpRequest request, std::function<void(HttpReply)> reply)
{
    const std::string_view target = request.target;
    const std::string_view path = target.substr(0, target.find('?'));
    constexpr std::string_view callPrefix = "/rpc/";
    if (request.method == "POST" && path.starts_with(callPrefix)) {
        std::string module = percentDecoded(path.substr(callPrefix.size()));
        if (!module.empty() && module.find('/') == std::string::npos) {
            if (m_callsOnLoop) {
                try {
                    const NoLockWaits onTheLoop;
                    Answer answer = answerCall(module, request.body, request.authorization);
                    return reply({answer.status, std::move(answer.body)});
                } catch (const WouldWait &) {
                    // Another connection holds a lock: wait for it on a worker, not here.
                }
            }
            m_workers->post([this, module = std::move(module), request = std::move(request),
                             reply = std::move(reply)] {
                try {
                    Answer answer = answerCall(module, request.body, request.authorization);
                    reply({answer.status, std::move(answer.body)});
                } catch (...) {
                    // answerCall raises nothing of its own; this is memory running out.
                    const HttpRefusal failure = HttpRefusal::internalError();
                    reply({failure.status, failure.body()});
                }
            });
            return;
        }
    }
    if (request.method == "GET" && path == "/rpc")
        return reply(handshake(request.authorization));
    if (request.method == "GET" && path.starts_with(ReportDownload::prefix))
        return download(std::move(request), std::move(reply));
    const HttpRefusal refusal = HttpRefusal::unknownPath();
    logRequest(request.method + " " + shown(std::string(path)), 0, refusal.code,
               "HTTP " + std::to_string(refusal.status) + " " + std::to_string(refusal.code));
    reply({refusal.status, refusal.body()});
}

// A download reads the queue and opens a file: never on a loop.
void RpcServer::download(HttpRequest request, std::function<void(HttpReply)> reply)
{
    if (!authorized(request.authorization)) {
        const std::string path = request.target.substr(0, request.target.find('?'));
        logRequest("GET " + shown(path), 0, RpcCode::Unauthorized, "acesso negado");
        return reply(
            {401, errorBody(RpcCode::Unauthorized, "Acesso negado: token ausente ou inválido.")});
    }
    m_workers->post([this, target = std::move(request.target), reply = std::move(reply)] {
        try {
            reply(m_downloads->answer(target));
        } catch (...) {
            const HttpRefusal failure = HttpRefusal::internalError();
            reply({failure.status, failure.body()});
        }
    });
}

HttpReply RpcServer::handshake(const std::string &authorization) const
{
    const Clock::time_point start = Clock::now();
    if (!authorized(authorization)) {
        logRequest("GET /rpc", millisecondsSince(start), RpcCode::Unauthorized, "acesso negado");
        return {401, dump(errorAnswer(nullptr, RpcCode::Unauthorized,
                                      "Acesso negado: token ausente ou inválido."))};
    }
    logRequest("GET /rpc", millisecondsSince(start), 0, "ok");
    return {200, dump({{"jsonrpc", "2.0"}, {"servers", m_modules.names()}})};
}

RpcServer::Answer RpcServer::answerCall(const std::string &module, const std::string &body,
                                        const std::string &authorization) const
{
    const Clock::time_point start = Clock::now();
    Answer answer;
    Envelope envelope;
    // The log line's target, written only when the line is.
    const auto logTarget = [&](const char *unknownMethod) {
        return shown(module) + "." +
               (envelope.method.empty() ? std::string(unknownMethod) : shown(envelope.method));
    };
    try {
        if (!authorized(authorization)) {
            answer.status = 401;
            throw RpcError(RpcCode::Unauthorized, "Acesso negado: token ausente ou inválido.");
        }
        readEnvelope(body, envelope);
        const DataModule *target = m_modules.find(module);
        if (!target)
            throw RpcError(RpcCode::MethodNotFound, "Módulo de dados '" + shown(module) +
                                                        "' não está hospedado neste servidor.");
        const DataPacket packet = target->call(envelope.method, envelope.params, m_database);
        if (envelope.notification) {
            answer.status = 204;
            if (requestLogged(0))
                logRequest(logTarget(""), millisecondsSince(start), 0,
                           "ok (notificação, sem resposta)");
            return answer;
        }
        const std::string result = packet.toJson();
        answer.body.reserve(result.size() + 64);
        answer.body += R"({"id":)";
        answer.body += dump(envelope.id);
        answer.body += R"(,"jsonrpc":"2.0","result":)";
        answer.body += result;
        answer.body += '}';
        if (requestLogged(0))
            logRequest(logTarget(""), millisecondsSince(start), 0,
                       "ok, " + std::to_string(packet.rowCount()) + " linha(s)");
    } catch (const RpcError &e) {
        answer.body = dump(errorAnswer(envelope.id, e.code(), e.message()));
        logRequest(logTarget("?"), millisecondsSince(start), e.code(),
                   "erro " + std::to_string(e.code()) + ": " + e.message(), e.detail());
    } catch (const std::exception &e) {
        answer.status = 500;
        answer.body = dump(errorAnswer(envelope.id, RpcCode::InternalError,
                                       "Erro interno do servidor de aplicação."));
        logRequest(logTarget(""), millisecondsSince(start), RpcCode::InternalError, "erro interno",
                   e.what());
    }
    return answer;
}

} // namespace AppServer
