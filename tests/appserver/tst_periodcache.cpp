// The server keeps the periods of the keys it read in memory: it must answer exactly what the
// database holds at the time of the call, whoever changed it, and exactly what the statements
// answer.
#include "MapFixture.h"
#include "MapPeriodCache.h"
#include "RawHttp.h"
#include "ServerProcess.h"

#include "rtl/TDateTime.h"

#include <QDate>
#include <QJsonArray>

#include <gtest/gtest.h>

namespace {

const QByteArray module = "Fis01400.rdmDocForne";

QByteArray number(QDate date)
{
    return QByteArray::number(TDateTime::fromDate(date).value(), 'f', 1);
}

QByteArray lookup(const char *method, const char *registration, QDate date, const char *tax = "01")
{
    return rpcBody(method, QByteArray(R"(["01",")") + registration + "\"," + number(date) + ",\"" +
                               tax + "\"]");
}

QJsonArray rows(int port, const QByteArray &body)
{
    const RawAnswer answer = post(port, module, body);
    EXPECT_EQ(answer.status, 200) << answer.rawBody.toStdString();
    return answer.body.value("result").toObject().value("rows").toArray();
}

QString insert(const char *registration, const char *start, const char *end)
{
    return QStringLiteral("INSERT INTO MAPAAPURACAO VALUES ('01', '01', '%1', '%2', '%3')")
        .arg(QLatin1String(registration), QLatin1String(start), QLatin1String(end));
}

// On SQLite, in either journal mode: each tells of a commit in its own way.
class PeriodCacheChanges : public testing::TestWithParam<const char *>
{
};

INSTANTIATE_TEST_SUITE_P(JournalModes, PeriodCacheChanges, testing::Values("DELETE", "WAL"));

TEST_P(PeriodCacheChanges, ChangesMadeByAnotherProcessAreSeenAtTheNextCall)
{
    MapFixture fixture;
    QString error;
    ASSERT_TRUE(fixture.createMaps(standardMaps(), &error)) << error.toStdString();
    if (fixture.isSqlite())
        ASSERT_TRUE(
            fixture.execute({QStringLiteral("PRAGMA journal_mode = ") + GetParam()}, &error))
            << error.toStdString();
    else if (QLatin1String(GetParam()) != QLatin1String("DELETE"))
        GTEST_SKIP() << "journal modes are SQLite's";
    ServerProcess server;
    ASSERT_TRUE(server.start(fixture.writeSettings("changes"), 0, {"--threads", "3"}))
        << server.errorOutput().toStdString();
    const int port = server.port();
    const QDate july(2024, 7, 10);

    // Each post is a connection of its own: several workers read, and remember, the key.
    for (int i = 0; i < 6; ++i)
        ASSERT_TRUE(rows(port, lookup("GetVdDataIni", "123456", july)).isEmpty());
    ASSERT_EQ(rows(port, rpcBody("GetDtIni", R"(["01","123456","01"])")).size(), 4);

    ASSERT_TRUE(fixture.execute({insert("123456", "2024-07-01", "2024-07-31")}, &error))
        << error.toStdString();
    for (int i = 0; i < 6; ++i) {
        const QJsonArray found = rows(port, lookup("GetVdDataIni", "123456", july));
        ASSERT_EQ(found.size(), 1);
        EXPECT_EQ(found[0].toArray()[1].toString(), "01/07/2024");
    }
    EXPECT_EQ(rows(port, rpcBody("GetDtIni", R"(["01","123456","01"])")).size(), 5);

    ASSERT_TRUE(fixture.execute({"UPDATE MAPAAPURACAO SET DTFIMPERIODO = '2024-07-05' WHERE "
                                 "CDINSCRICAO = '123456' AND DTINIPERIODO = '2024-07-01'"},
                                &error))
        << error.toStdString();
    for (int i = 0; i < 6; ++i)
        EXPECT_TRUE(rows(port, lookup("GetVdDataIni", "123456", july)).isEmpty());
    const QJsonArray shortened = rows(port, lookup("GetVdDataFinal", "123456", QDate(2024, 7, 5)));
    ASSERT_EQ(shortened.size(), 1);
    EXPECT_EQ(shortened[0].toArray()[1].toString(), "05/07/2024");

    ASSERT_TRUE(fixture.execute({"DELETE FROM MAPAAPURACAO WHERE CDINSCRICAO = '123456'"}, &error))
        << error.toStdString();
    for (int i = 0; i < 6; ++i)
        EXPECT_TRUE(rows(port, rpcBody("GetDtIni", R"(["01","123456","01"])")).isEmpty());
}

// Overlapping periods, shared starts and ends, stored values that are not plain dates, and dates
// at the ends of the calendar: every method answers byte for byte what a server that keeps
// nothing in memory answers.
TEST(PeriodCache, AnswersAsTheStatementsDo)
{
    MapFixture fixture;
    QString error;
    ASSERT_TRUE(fixture.createMaps(standardMaps(), &error)) << error.toStdString();
    QStringList odd{
        insert("OV", "2024-01-01", "2024-12-31"), insert("OV", "2024-03-01", "2024-03-31"),
        insert("OV", "2024-03-01", "2024-04-30"), insert("OV", "2024-02-15", "2024-03-15"),
        insert("OV", "2024-03-01", "2024-03-31"), insert("OV", "0001-01-01", "9999-12-31")};
    if (fixture.isSqlite())
        odd << insert("T", "2024-03-01 00:00:00", "2024-03-31T12:00:00")
            << insert("T", "2024-02-01", "2024-02-29") << insert("BAD", "2024-03-01", "2024-13-31");
    ASSERT_TRUE(fixture.execute(odd, &error)) << error.toStdString();

    ServerProcess cached, plain;
    ASSERT_TRUE(cached.start(fixture.writeSettings("cached"), 0, {"--threads", "2"}))
        << cached.errorOutput().toStdString();
    ASSERT_TRUE(plain.start(fixture.writeSettings("plain", {{"CachedPeriods", "0"}}), 0,
                            {"--threads", "2"}))
        << plain.errorOutput().toStdString();

    std::vector<QDate> dates{QDate(1, 1, 1),      QDate(9999, 12, 31), QDate(1899, 12, 30),
                             QDate(2023, 11, 30), QDate(2023, 12, 1),  QDate(2023, 12, 31),
                             QDate(2024, 1, 1),   QDate(2024, 1, 31),  QDate(2024, 4, 30),
                             QDate(2024, 5, 1),   QDate(2024, 12, 31), QDate(2025, 1, 1)};
    for (QDate d(2024, 2, 12); d <= QDate(2024, 3, 18); d = d.addDays(1))
        dates.push_back(d);
    int compared = 0, found = 0;
    for (const char *registration : {"123456", "OV", "T", "BAD", "999"}) {
        const QByteArray all =
            rpcBody("GetDtIni", QByteArray(R"(["01",")") + registration + R"(","01"])");
        EXPECT_EQ(post(cached.port(), module, all).rawBody, post(plain.port(), module, all).rawBody)
            << registration;
        for (const QDate &d : dates)
            for (const char *method : {"GetDtFim", "GetVdDataIni", "GetVdDataFinal"}) {
                const QByteArray body = lookup(method, registration, d);
                const RawAnswer expected = post(plain.port(), module, body);
                ASSERT_EQ(post(cached.port(), module, body).rawBody, expected.rawBody)
                    << method << " " << registration << " "
                    << d.toString(Qt::ISODate).toStdString();
                ++compared;
                found +=
                    !expected.body.value("result").toObject().value("rows").toArray().isEmpty();
            }
    }
    EXPECT_GT(found, compared / 3); // the comparison is not of empty answers alone
}

AppServer::MapPeriodCache::Periods months(int count)
{
    auto periods = std::make_shared<std::vector<AppServer::Period>>();
    for (int m = 0; m < count; ++m) {
        const QDate start = QDate(2024, 1, 1).addMonths(m);
        periods->push_back({start, start.addMonths(1).addDays(-1)});
    }
    return periods;
}

TEST(PeriodCache, KeepsWithinItsBoundAndDropsLoadsOverrunByAChange)
{
    using AppServer::MapPeriodCache;
    MapPeriodCache cache(10);
    ASSERT_TRUE(cache.enabled());
    cache.store("a", months(4), cache.generation());
    cache.store("b", months(4), cache.generation());
    EXPECT_EQ(cache.periodCount(), 8u);
    cache.store("c", months(4), cache.generation()); // over the bound: the rest goes first
    EXPECT_EQ(cache.periodCount(), 4u);
    EXPECT_FALSE(cache.find("a"));
    ASSERT_TRUE(cache.find("c"));
    EXPECT_EQ(cache.find("c")->size(), 4u);
    cache.store("huge", months(11), cache.generation());
    EXPECT_FALSE(cache.find("huge"));

    // A load that started before a change was seen is not kept.
    const std::uint64_t before = cache.generation();
    cache.forgetAll();
    EXPECT_FALSE(cache.find("c"));
    cache.store("d", months(2), before);
    EXPECT_FALSE(cache.find("d"));
    EXPECT_EQ(cache.periodCount(), 0u);
    cache.store("d", months(2), cache.generation());
    EXPECT_TRUE(cache.find("d"));

    EXPECT_FALSE(MapPeriodCache(0).enabled());
}

} // namespace
