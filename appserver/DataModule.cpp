#include "DataModule.h"

#include "RpcError.h"

#include <cmath>

namespace AppServer {

namespace {
std::string parameterList(const RemoteMethod &m)
{
    std::string list;
    for (const ParamSpec &p : m.params)
        list += (list.empty() ? "" : ", ") + std::string(p.label);
    return list;
}

std::variant<std::string, TDateTime> checked(const RemoteMethod &m, std::size_t i,
                                             const nlohmann::json &value)
{
    const ParamSpec &declared = m.params[i];
    const auto refused = [&](const char *what) {
        return RpcError(RpcCode::InvalidParams, "Parâmetro " + std::to_string(i + 1) + " (" +
                                                    declared.label + ") de " + m.name + what);
    };
    if (declared.kind == ParamKind::Text) {
        if (!value.is_string())
            throw refused(" deve ser um texto.");
        return value.get_ref<const std::string &>();
    }
    if (!value.is_number())
        throw refused(" deve ser uma data (número).");
    const TDateTime date(value.get<double>());
    if (!std::isfinite(date.value()) || !date.isValid())
        throw refused(" não é uma data válida.");
    return date.datePart();
}
} // namespace

std::vector<std::string> DataModule::methodNames() const
{
    std::vector<std::string> names;
    for (const auto &entry : m_methods)
        names.push_back(entry.first);
    return names;
}

void DataModule::addMethod(RemoteMethod method)
{
    const std::string name = method.name;
    m_methods.emplace(name, std::move(method));
}

DataPacket DataModule::call(const std::string &method, const nlohmann::json &params,
                            DatabaseAccess &database) const
{
    const auto it = m_methods.find(method);
    if (it == m_methods.end())
        throw RpcError(RpcCode::MethodNotFound,
                       "Método '" + method + "' não existe em " + m_name + ".");
    const RemoteMethod &m = it->second;
    if (!params.is_array())
        throw RpcError(RpcCode::InvalidParams,
                       "Os parâmetros de " + m.name + " devem ser uma lista posicional.");
    if (params.size() != m.params.size())
        throw RpcError(RpcCode::InvalidParams,
                       m.name + " espera " + std::to_string(m.params.size()) + " parâmetro(s) (" +
                           parameterList(m) + "); recebeu " + std::to_string(params.size()) + ".");
    std::vector<std::variant<std::string, TDateTime>> values;
    values.reserve(params.size());
    for (std::size_t i = 0; i < params.size(); ++i)
        values.push_back(checked(m, i, params[i]));
    return m.run(Arguments(std::move(values)), database);
}

} // namespace AppServer
