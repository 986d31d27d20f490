#pragma once

#include "DataPacket.h"
#include "rtl/TDateTime.h"

#include <QString>
#include <nlohmann/json.hpp>

#include <functional>
#include <map>
#include <string>
#include <variant>
#include <vector>

namespace AppServer {

class DatabaseAccess;

// The kinds a positional parameter may have: a text travels as a JSON string, a date as a JSON
// number (a TDateTime value).
enum class ParamKind { Text, Date };

struct ParamSpec
{
    ParamKind kind;
    const char *label; // named in error messages: "empresa", "data"
};

// The checked parameters of one call, in order. Texts stay in the request's UTF-8: a lookup
// binds them to its statement without a detour through QString.
class Arguments
{
public:
    explicit Arguments(std::vector<std::variant<std::string, TDateTime>> values)
        : m_values(std::move(values))
    {}
    const std::string &utf8(std::size_t i) const { return std::get<std::string>(m_values.at(i)); }
    QString text(std::size_t i) const { return QString::fromStdString(utf8(i)); }
    TDateTime date(std::size_t i) const { return std::get<TDateTime>(m_values.at(i)); }

private:
    std::vector<std::variant<std::string, TDateTime>> m_values;
};

struct RemoteMethod
{
    std::string name;
    std::vector<ParamSpec> params;
    // Answers a data packet; raises RpcError on failure.
    std::function<DataPacket(const Arguments &, DatabaseAccess &)> run;
};

// A remote data module: a named set of methods called late-bound by name with positional
// parameters. The module checks the parameters against each method's list before it runs it.
class DataModule
{
public:
    explicit DataModule(std::string name) : m_name(std::move(name)) {}
    virtual ~DataModule() = default;

    const std::string &name() const { return m_name; }
    std::vector<std::string> methodNames() const;
    bool hasMethod(const std::string &method) const { return m_methods.count(method) != 0; }

    // Raises RpcError: MethodNotFound, InvalidParams, or whatever the method raises.
    DataPacket call(const std::string &method, const nlohmann::json &params,
                    DatabaseAccess &database) const;

protected:
    void addMethod(RemoteMethod method);

private:
    std::string m_name;
    std::map<std::string, RemoteMethod> m_methods;
};

} // namespace AppServer
