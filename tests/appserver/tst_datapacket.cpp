// The packet text is written by hand for speed; it must read back as the same JSON, and match
// byte for byte what the JSON library writes, so clients and recorded answers see no change.
#include "DataPacket.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

using AppServer::DataPacket;
using AppServer::PacketField;
using AppServer::PacketLayout;
using json = nlohmann::json;

std::string libraryText(const json &value)
{
    return value.dump(-1, ' ', false, json::error_handler_t::replace);
}

TEST(DataPacket, TextMatchesTheJsonLibrary)
{
    const auto layout = std::make_shared<const PacketLayout>(
        std::vector<PacketField>{{"DTINICIAL", PacketField::Type::String, 10},
                                 {"DT\"FIM\\", PacketField::Type::DateTime, 0}});
    const std::vector<std::pair<std::string, double>> rows = {
        {"01/03/2024", 45352.0},
        {"aspas \" e barra \\ e /", -2.0},
        {"linha\nnova\ttab\x01", 0.0},
        {"Ação, número º", 45352.5},
        {"inválido \xff\xfe", 1e20},
        {"", -0.25},
        {"\x7f", std::numeric_limits<double>::quiet_NaN()},
    };
    DataPacket packet(layout);
    json expectedRows = json::array();
    for (const auto &[text, number] : rows) {
        packet.addRow({text, number});
        expectedRows.push_back({text, number});
    }
    const json expected = {{"fields",
                            {{{"name", "DTINICIAL"}, {"type", "string"}, {"size", 10}},
                             {{"name", "DT\"FIM\\"}, {"type", "datetime"}, {"size", 0}}}},
                           {"rows", expectedRows},
                           {"status", 0},
                           {"message", ""}};
    EXPECT_EQ(packet.rowCount(), rows.size());
    EXPECT_EQ(packet.toJson(), libraryText(expected));
}

TEST(DataPacket, AnEmptyPacketStillListsItsFields)
{
    const auto layout = std::make_shared<const PacketLayout>(
        std::vector<PacketField>{{"DTFINAL", PacketField::Type::String, 13}});
    EXPECT_EQ(DataPacket(layout).toJson(),
              R"({"fields":[{"name":"DTFINAL","size":13,"type":"string"}],)"
              R"("message":"","rows":[],"status":0})");
    EXPECT_EQ(DataPacket(std::make_shared<const PacketLayout>(std::vector<PacketField>{})).toJson(),
              R"({"fields":[],"message":"","rows":[],"status":0})");
}

TEST(DataPacket, WholeDaysAreWrittenAsTheLibraryWritesThem)
{
    for (const double day : {0.0, -0.0, 1.0, -1.0, 2958465.0, -693593.0, 9.5e14, 1e15, 1e16}) {
        std::string text;
        AppServer::appendJsonNumber(text, day);
        EXPECT_EQ(text, libraryText(day)) << day;
        EXPECT_EQ(json::parse(text).get<double>(), day);
    }
}

} // namespace
