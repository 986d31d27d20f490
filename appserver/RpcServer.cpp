#include "RpcServer.h"

#include "DataModuleRegistry.h"
#include "DatabaseAccess.h"
#include "RequestLog.h"
#include "RpcError.h"

#include <httplib.h>
#include <nlohmann/json.hpp>

#include <chrono>
#include <sys/socket.h>

namespace AppServer {

namespace {

// cpp-httplib listens with a backlog of 5: a burst of clients connecting at once (every desktop
// opening its screen at nine) overflows it and the extra connections stall or fail. Linux lets
// a listening socket be given a longer queue by calling listen() again.
class HttpServer : public httplib::Server
{
public:
    void widenBacklog() { ::listen(svr_sock_, SOMAXCONN); }
};

using json = nlohmann::json;
using Clock = std::chrono::steady_clock;

const char *const contentType = "application/json; charset=utf-8";

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

} // namespace

RpcServer::RpcServer(const ServerOptions &options, const DataModuleRegistry &modules,
                     DatabaseAccess &database)
    : m_options(options), m_modules(modules), m_database(database),
      m_http(std::make_unique<HttpServer>())
{
    if (!m_options.settings.serverToken.isEmpty())
        m_expectedAuthorization = "Bearer " + m_options.settings.serverToken.toStdString();
    httplib::Server &http = *m_http;
    const std::size_t threads = static_cast<std::size_t>(m_options.workerThreads);
    http.new_task_queue = [threads] { return new httplib::ThreadPool(threads); };
    // Without TCP_NODELAY a keep-alive exchange of small answers stalls on delayed ACKs.
    http.set_tcp_nodelay(true);
    http.set_keep_alive_max_count(100000000);
    http.set_keep_alive_timeout(m_options.idleTimeoutSeconds);
    http.set_read_timeout(std::chrono::milliseconds(m_options.readTimeoutMs));
    http.set_write_timeout(std::chrono::milliseconds(m_options.readTimeoutMs));
    http.set_payload_max_length(m_options.maxBodyBytes);

    http.Post(R"(/rpc/([^/]+))",
              [this](const httplib::Request &request, httplib::Response &response) {
                  handleCall(request, response);
              });
    http.Get("/rpc", [this](const httplib::Request &request, httplib::Response &response) {
        handleHandshake(request, response);
    });
    // Refusals of the HTTP layer itself come without a body: give them a JSON-RPC one.
    http.set_error_handler(httplib::Server::HandlerWithResponse(
        [this](const httplib::Request &request, httplib::Response &response) {
            if (!response.body.empty())
                return httplib::Server::HandlerResponse::Unhandled;
            int code = RpcCode::BadHttpRequest;
            std::string message =
                "Requisição HTTP inválida ou incompleta (malformada ou enviada devagar demais).";
            if (response.status == 413) {
                code = RpcCode::PayloadTooLarge;
                message = "Requisição maior que o limite de " +
                          std::to_string(m_options.maxBodyBytes) + " bytes.";
            } else if (response.status == 404 || response.status == 405) {
                code = RpcCode::MethodNotFound;
                message = "Caminho inexistente: use POST /rpc/<módulo de dados>.";
            } else if (response.status >= 500) {
                code = RpcCode::InternalError;
                message = "Erro interno do servidor de aplicação.";
            }
            response.set_content(dump(errorAnswer(nullptr, code, message)), contentType);
            logRequest(request.method + " " + shown(request.path), 0, code,
                       "HTTP " + std::to_string(response.status) + " " + std::to_string(code));
            return httplib::Server::HandlerResponse::Handled;
        }));
    http.set_exception_handler(
        [](const httplib::Request &request, httplib::Response &response, std::exception_ptr) {
            response.status = 500;
            response.set_content(dump(errorAnswer(nullptr, RpcCode::InternalError,
                                                  "Erro interno do servidor de aplicação.")),
                                 contentType);
            logRequest(request.method + " " + shown(request.path), 0, RpcCode::InternalError,
                       "erro interno");
        });
}

RpcServer::~RpcServer() = default;

int RpcServer::bind()
{
    const int port = m_options.port == 0 ? m_http->bind_to_any_port(m_options.host)
                     : m_http->bind_to_port(m_options.host, m_options.port) ? m_options.port
                                                                            : -1;
    if (port > 0)
        static_cast<HttpServer &>(*m_http).widenBacklog();
    return port;
}

bool RpcServer::serve()
{
    return m_http->listen_after_bind();
}

void RpcServer::stop()
{
    m_http->stop();
}

bool RpcServer::authorized(const std::string &authorization) const
{
    if (m_expectedAuthorization.empty())
        return true;
    return sameText(authorization, m_expectedAuthorization);
}

void RpcServer::handleHandshake(const httplib::Request &request, httplib::Response &response)
{
    const Clock::time_point start = Clock::now();
    if (!authorized(request.get_header_value("Authorization"))) {
        response.status = 401;
        response.set_content(dump(errorAnswer(nullptr, RpcCode::Unauthorized,
                                              "Acesso negado: token ausente ou inválido.")),
                             contentType);
        logRequest("GET /rpc", millisecondsSince(start), RpcCode::Unauthorized, "acesso negado");
        return;
    }
    response.set_content(dump({{"jsonrpc", "2.0"}, {"servers", m_modules.names()}}), contentType);
    logRequest("GET /rpc", millisecondsSince(start), 0, "ok");
}

void RpcServer::handleCall(const httplib::Request &request, httplib::Response &response)
{
    Answer answer =
        answerCall(request.matches[1], request.body, request.get_header_value("Authorization"));
    response.status = answer.status;
    if (!answer.body.empty())
        response.set_content(std::move(answer.body), contentType);
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
        answer.body = dump(errorAnswer(envelope.id, e.code(), e.what()));
        logRequest(logTarget("?"), millisecondsSince(start), e.code(),
                   "erro " + std::to_string(e.code()) + ": " + e.what(), e.detail());
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
