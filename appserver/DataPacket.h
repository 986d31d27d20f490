#pragma once

#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace AppServer {

// A column of a data packet. The type names are the ones the client-side datasets read:
// "string" (a text, `size` characters wide) and "datetime" (a TDateTime number, size 0).
struct PacketField
{
    enum class Type { String, DateTime };
    std::string name;
    Type type;
    int size = 0;
};

// The columns of a method's answer, with their JSON text written once when the method is
// declared rather than on every call.
class PacketLayout
{
public:
    explicit PacketLayout(std::vector<PacketField> fields);
    std::size_t fieldCount() const { return m_fields.size(); }
    const std::string &fieldsJson() const { return m_fieldsJson; }

private:
    std::vector<PacketField> m_fields;
    std::string m_fieldsJson;
};

// A text, a number (a date as TDateTime), or null (std::monostate).
using PacketValue = std::variant<std::string_view, double, std::monostate>;

// The answer of every data-module method: {"fields":[...],"message":"","rows":[[...]],"status":0}
// (keys in that order). Failures never travel as packets (they are JSON-RPC errors), so status
// is always 0 here. The rows are written as JSON text as they are added: a lookup answers
// thousands of times a second, and a tree of JSON values per answer would cost more than the
// query.
class DataPacket
{
public:
    explicit DataPacket(std::shared_ptr<const PacketLayout> layout);

    // One value per field, in field order.
    void addRow(std::initializer_list<PacketValue> values);
    std::size_t rowCount() const { return m_rowCount; }
    std::string toJson() const;

private:
    std::shared_ptr<const PacketLayout> m_layout;
    std::string m_rows;
    std::size_t m_rowCount = 0;
};

// JSON text of a value, appended to `out` exactly as nlohmann::json::dump() writes it.
void appendJsonText(std::string &out, std::string_view text);
void appendJsonNumber(std::string &out, double value);

} // namespace AppServer
