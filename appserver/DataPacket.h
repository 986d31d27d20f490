#pragma once

#include <nlohmann/json.hpp>

#include <string>
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

// The answer of every data-module method: {"fields":[...],"rows":[[...]],"status":0,"message":""}.
// Failures never travel as packets (they are JSON-RPC errors), so status is always 0 here.
class DataPacket
{
public:
    explicit DataPacket(std::vector<PacketField> fields);

    // One value per field, in field order.
    void addRow(nlohmann::json row);
    std::size_t rowCount() const { return m_rows.size(); }
    nlohmann::json toJson() const;

private:
    std::vector<PacketField> m_fields;
    nlohmann::json m_rows = nlohmann::json::array();
};

} // namespace AppServer
