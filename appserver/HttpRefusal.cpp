#include "HttpRefusal.h"

#include "RpcError.h"

#include <nlohmann/json.hpp>

namespace AppServer {

std::string errorBody(int code, const std::string &message)
{
    const nlohmann::json answer = {
        {"jsonrpc", "2.0"}, {"id", nullptr}, {"error", {{"code", code}, {"message", message}}}};
    return answer.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::string HttpRefusal::body() const
{
    return errorBody(code, message);
}

HttpRefusal HttpRefusal::malformed()
{
    return {400, RpcCode::BadHttpRequest,
            "Requisição HTTP inválida ou incompleta (malformada ou enviada devagar demais)."};
}

HttpRefusal HttpRefusal::notInTime(int timeoutMs)
{
    return {408, RpcCode::BadHttpRequest,
            "Requisição HTTP não recebida por inteiro no prazo de " + std::to_string(timeoutMs) +
                " ms; envie-a de novo."};
}

HttpRefusal HttpRefusal::badContentLength()
{
    return {400, RpcCode::BadHttpRequest,
            "Requisição HTTP inválida: o cabeçalho Content-Length deve aparecer uma só vez, com "
            "um número inteiro não negativo."};
}

HttpRefusal HttpRefusal::headersTooLarge(std::size_t maxBytes, int maxFields)
{
    return {431, RpcCode::HeadersTooLarge,
            "Cabeçalhos HTTP grandes demais: no máximo " + std::to_string(maxFields) +
                " cabeçalhos e " + std::to_string(maxBytes) + " bytes."};
}

HttpRefusal HttpRefusal::bodyTooLarge(std::size_t maxBytes)
{
    return {413, RpcCode::PayloadTooLarge,
            "Requisição maior que o limite de " + std::to_string(maxBytes) + " bytes."};
}

HttpRefusal HttpRefusal::tooManyConnections()
{
    return {503, RpcCode::TooManyConnections,
            "Servidor de aplicação ocupado: conexões abertas demais. Feche conexões sem uso e "
            "tente de novo em instantes."};
}

HttpRefusal HttpRefusal::unknownPath()
{
    return {404, RpcCode::MethodNotFound, "Caminho inexistente: use POST /rpc/<módulo de dados>."};
}

HttpRefusal HttpRefusal::internalError()
{
    return {500, RpcCode::InternalError, "Erro interno do servidor de aplicação."};
}

} // namespace AppServer
