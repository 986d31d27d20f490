// The four period lookups of Fis01400.rdmDocForne, called through TNetConnection against the
// server running as a separate process.
#include "ConnectionHelpers.h"
#include "MapFixture.h"
#include "ServerProcess.h"

#include "rtl/DateConvert.h"
#include "rtl/Exceptions.h"

#include <gtest/gtest.h>

namespace {

double day(int y, int m, int d)
{
    return TDateTime::fromDate(QDate(y, m, d)).value();
}

QVariant date(int y, int m, int d)
{
    return QVariant::fromValue(TDateTime::fromDate(QDate(y, m, d)));
}

QJsonArray row(std::initializer_list<QJsonValue> values)
{
    return QJsonArray(values);
}

class RdmDocForne : public testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        fixture = new MapFixture;
        QString error;
        ASSERT_TRUE(fixture->createMaps(standardMaps(), &error)) << error.toStdString();
        settingsPath = fixture->writeSettings(QStringLiteral("docforne"));
        server = new ServerProcess;
        ASSERT_TRUE(server->start(settingsPath)) << server->errorOutput().toStdString();
    }
    static void TearDownTestSuite()
    {
        delete server;
        delete fixture;
    }
    void SetUp() override
    {
        useServer(settingsPath, server->port());
        connection = makeConnection(address);
        connection->SetConnected(true);
    }

    QJsonValue call(const QString &method, const QVariantList &args)
    {
        return connection->Call(method, args);
    }

    static inline MapFixture *fixture = nullptr;
    static inline ServerProcess *server = nullptr;
    static inline QString settingsPath;
    SettingsAddress address;
    std::unique_ptr<TNetConnection> connection;
};

QJsonArray fields(std::initializer_list<std::tuple<const char *, const char *, int>> list)
{
    QJsonArray out;
    for (const auto &[name, type, size] : list)
        out.append(QJsonObject{{"name", name}, {"type", type}, {"size", size}});
    return out;
}

TEST_F(RdmDocForne, GetDtIniListsEveryMapNewestFirst)
{
    const QJsonObject packet = call("GetDtIni", {"01", "123456", "01"}).toObject();
    EXPECT_EQ(packet.value("fields").toArray(), fields({{"DTINICIAL", "string", 13},
                                                        {"DTINIPERIODO", "datetime", 0},
                                                        {"DTFIMPERIODO", "datetime", 0}}));
    EXPECT_EQ(packet.value("status").toInt(), 0);
    const QJsonArray expected{
        row({"01/03/2024", day(2024, 3, 1), day(2024, 3, 31)}),
        row({"01/02/2024", day(2024, 2, 1), day(2024, 2, 29)}),
        row({"01/01/2024", day(2024, 1, 1), day(2024, 1, 31)}),
        row({"01/12/2023", day(2023, 12, 1), day(2023, 12, 31)}),
    };
    EXPECT_EQ(rowsOf(packet), expected);
    // The text is what the screen turns back into a date.
    EXPECT_EQ(StrToDate(expected[0].toArray()[0].toString()).value(), day(2024, 3, 1));
}

TEST_F(RdmDocForne, GetDtFimListsMapsEndingOnOrAfterTheDate)
{
    const QJsonObject packet =
        call("GetDtFim", {"01", "123456", date(2024, 2, 15), "01"}).toObject();
    EXPECT_EQ(packet.value("fields").toArray(), fields({{"DTINICIAL", "string", 13},
                                                        {"DTFINAL", "string", 13},
                                                        {"DTINIPERIODO", "datetime", 0},
                                                        {"DTFIMPERIODO", "datetime", 0}}));
    EXPECT_EQ(rowsOf(packet),
              QJsonArray({row({"01/02/2024", "29/02/2024", day(2024, 2, 1), day(2024, 2, 29)}),
                          row({"01/03/2024", "31/03/2024", day(2024, 3, 1), day(2024, 3, 31)})}));
    // A period ending on the date itself still counts.
    EXPECT_EQ(rowsOf(call("GetDtFim", {"01", "123456", date(2024, 1, 31), "01"})).size(), 3);
    EXPECT_EQ(rowsOf(call("GetDtFim", {"01", "123456", date(2024, 4, 1), "01"})).size(), 0);
}

TEST_F(RdmDocForne, GetVdDataIniFindsThePeriodHoldingTheDate)
{
    const QJsonArray first = rowsOf(call("GetVdDataIni", {"01", "123456", date(2024, 2, 1), "01"}));
    const QJsonArray last = rowsOf(call("GetVdDataIni", {"01", "123456", date(2024, 2, 29), "01"}));
    EXPECT_EQ(first, QJsonArray({row({day(2024, 2, 1), "01/02/2024"})}));
    EXPECT_EQ(last, first);
    const QJsonObject none =
        call("GetVdDataIni", {"01", "123456", date(2024, 4, 15), "01"}).toObject();
    EXPECT_TRUE(rowsOf(none).isEmpty());
    EXPECT_EQ(none.value("fields").toArray(),
              fields({{"DTINIPERIODO", "datetime", 0}, {"DTINICIAL", "string", 10}}));
    // The time of day does not matter.
    const QVariant evening = QVariant::fromValue(TDateTime(day(2024, 3, 31) + 0.75));
    EXPECT_EQ(rowsOf(call("GetVdDataIni", {"01", "123456", evening, "01"})).size(), 1);
}

TEST_F(RdmDocForne, GetVdDataFinalAnswersThePeriodEnd)
{
    const QJsonObject packet =
        call("GetVdDataFinal", {"01", "123456", QDate(2024, 1, 1), "01"}).toObject();
    EXPECT_EQ(packet.value("fields").toArray(),
              fields({{"DTFIMPERIODO", "datetime", 0}, {"DTFINAL", "string", 10}}));
    EXPECT_EQ(rowsOf(packet), QJsonArray({row({day(2024, 1, 31), "31/01/2024"})}));
    EXPECT_TRUE(
        rowsOf(call("GetVdDataFinal", {"01", "123456", date(2023, 11, 30), "01"})).isEmpty());
}

TEST_F(RdmDocForne, ARegistrationOfAnotherCompanyIsNotSeen)
{
    EXPECT_EQ(rowsOf(call("GetDtIni", {"02", "123456", "01"})),
              QJsonArray({row({"01/04/2024", day(2024, 4, 1), day(2024, 4, 30)})}));
    EXPECT_TRUE(rowsOf(call("GetVdDataIni", {"01", "123456", date(2024, 4, 10), "01"})).isEmpty());
    EXPECT_TRUE(rowsOf(call("GetVdDataIni", {"01", "123456", date(2024, 5, 10), "01"})).isEmpty());
    EXPECT_EQ(rowsOf(call("GetVdDataIni", {"01", "999", date(2024, 5, 10), "01"})).size(), 1);
}

TEST_F(RdmDocForne, ATaxWithoutRegistrationTakesTheEmptyText)
{
    EXPECT_EQ(rowsOf(call("GetDtIni", {"01", QString(), "02"})),
              QJsonArray({row({"01/01/2024", day(2024, 1, 1), day(2024, 6, 30)})}));
    EXPECT_EQ(rowsOf(call("GetVdDataFinal", {"01", "", date(2024, 6, 30), "02"})),
              QJsonArray({row({day(2024, 6, 30), "30/06/2024"})}));
    EXPECT_TRUE(rowsOf(call("GetDtIni", {"01", "123456", "02"})).isEmpty());
    EXPECT_TRUE(rowsOf(call("GetDtIni", {"01", "", "01"})).isEmpty());
}

TEST_F(RdmDocForne, ACodeWiderThanItsColumnMatchesNothing)
{
    EXPECT_TRUE(rowsOf(call("GetDtIni", {"011", "123456", "01"})).isEmpty());
    EXPECT_TRUE(
        rowsOf(call("GetVdDataIni", {"01", QString(17, '1'), date(2024, 2, 1), "01"})).isEmpty());
}

TEST(RdmDocForneFormat, DateTextsFollowTheShortDateFormat)
{
    MapFixture fixture;
    QString error;
    ASSERT_TRUE(fixture.createMaps(standardMaps(), &error)) << error.toStdString();
    const QString path = fixture.writeSettings("iso", {}, QStringLiteral("yyyy-MM-dd"));
    ServerProcess server;
    ASSERT_TRUE(server.start(path)) << server.errorOutput().toStdString();
    useServer(path, server.port());
    SettingsAddress address;
    auto connection = makeConnection(address);
    const QJsonArray rows =
        rowsOf(connection->Call("GetDtFim", {"01", "", date(2024, 1, 1), "02"}));
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows[0].toArray()[0].toString(), "2024-01-01");
    EXPECT_EQ(rows[0].toArray()[1].toString(), "2024-06-30");
    EXPECT_EQ(StrToDate(rows[0].toArray()[1].toString()).value(), day(2024, 6, 30));
}

} // namespace
