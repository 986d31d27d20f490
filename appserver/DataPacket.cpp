#include "DataPacket.h"

#include <nlohmann/json.hpp>

#include <cassert>
#include <charconv>
#include <cmath>

namespace AppServer {

namespace {
std::string dumped(const nlohmann::json &value)
{
    return value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}
} // namespace

void appendJsonText(std::string &out, std::string_view text)
{
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u >= 0x7f || c == '"' || c == '\\') {
            // Escapes and UTF-8 (invalid sequences replaced) as the library writes them.
            out += dumped(std::string(text));
            return;
        }
    }
    out += '"';
    out += text;
    out += '"';
}

void appendJsonNumber(std::string &out, double value)
{
    // Dates are whole days: written as the library writes an integral double ("45352.0").
    // Up to 15 digits the library writes them plainly; -0 keeps its sign there.
    if (std::isfinite(value) && value == std::trunc(value) && std::fabs(value) < 1e15 &&
        !(value == 0 && std::signbit(value))) {
        char digits[32];
        const auto end =
            std::to_chars(digits, digits + sizeof digits, static_cast<long long>(value)).ptr;
        out.append(digits, end);
        out += ".0";
        return;
    }
    out += dumped(value);
}

PacketLayout::PacketLayout(std::vector<PacketField> fields) : m_fields(std::move(fields))
{
    nlohmann::json list = nlohmann::json::array();
    for (const PacketField &f : m_fields)
        list.push_back({{"name", f.name},
                        {"type", f.type == PacketField::Type::String ? "string" : "datetime"},
                        {"size", f.size}});
    m_fieldsJson = dumped(list);
}

DataPacket::DataPacket(std::shared_ptr<const PacketLayout> layout) : m_layout(std::move(layout)) {}

void DataPacket::addRow(std::initializer_list<PacketValue> values)
{
    assert(values.size() == m_layout->fieldCount());
    m_rows += m_rowCount++ == 0 ? "[" : ",[";
    bool first = true;
    for (const PacketValue &v : values) {
        if (!first)
            m_rows += ',';
        first = false;
        if (const auto *text = std::get_if<std::string_view>(&v))
            appendJsonText(m_rows, *text);
        else if (std::holds_alternative<std::monostate>(v))
            m_rows += "null";
        else
            appendJsonNumber(m_rows, std::get<double>(v));
    }
    m_rows += ']';
}

std::string DataPacket::toJson() const
{
    std::string out;
    out.reserve(m_layout->fieldsJson().size() + m_rows.size() + 48);
    out += R"({"fields":)";
    out += m_layout->fieldsJson();
    out += R"(,"message":"","rows":[)";
    out += m_rows;
    out += R"(],"status":0})";
    return out;
}

} // namespace AppServer
