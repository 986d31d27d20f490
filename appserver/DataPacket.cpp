#include "DataPacket.h"

#include <cassert>

namespace AppServer {

DataPacket::DataPacket(std::vector<PacketField> fields) : m_fields(std::move(fields)) {}

void DataPacket::addRow(nlohmann::json row)
{
    assert(row.is_array() && row.size() == m_fields.size());
    m_rows.push_back(std::move(row));
}

nlohmann::json DataPacket::toJson() const
{
    nlohmann::json fields = nlohmann::json::array();
    for (const PacketField &f : m_fields)
        fields.push_back({{"name", f.name},
                          {"type", f.type == PacketField::Type::String ? "string" : "datetime"},
                          {"size", f.size}});
    return {{"fields", std::move(fields)}, {"rows", m_rows}, {"status", 0}, {"message", ""}};
}

} // namespace AppServer
