// A query whose answer is larger than its first packet: Open returns with that packet and the
// rest is read in the background, yet the handlers see one whole answer on every engine.
#include "TestDatabases.h"
#include "data/TADOIBQuery.h"
#include "rtl/Exceptions.h"

#include <gtest/gtest.h>

#include <memory>

using Velmora::Test::ScratchDatabase;

namespace {

constexpr int Suppliers = 2500;
constexpr int Packet = 100;

const auto key = Velmora::Test::SupplierKey;
const auto name = Velmora::Test::SupplierName;

class PacketTest : public ::testing::TestWithParam<QString>
{
protected:
    void SetUp() override
    {
        db = std::make_unique<ScratchDatabase>(GetParam());
        Velmora::Test::LoadSuppliers(db->Connection(), Suppliers, key, name);
        query.setObjectName(QStringLiteral("qryTeste"));
        query.SetConnection(&db->Connection());
        query.SetSQL(
            {"SELECT NRINSJURFORN, NMRAZSOCFORN FROM FORNECEDOR", "ORDER BY NMRAZSOCFORN"});
    }

    void open(int packet)
    {
        query.Close();
        query.SetPacketRecords(packet);
        query.Open();
    }

    QStringList names()
    {
        QStringList values;
        for (query.First(); !query.Eof(); query.Next())
            values << query.FieldByName(QStringLiteral("NMRAZSOCFORN"))->AsString();
        return values;
    }

    std::unique_ptr<ScratchDatabase> db;
    TADOIBQuery query;
};

TEST_P(PacketTest, TheRestArrivesYetHandlersSeeTheWholeAnswer)
{
    open(0);
    ASSERT_TRUE(query.FetchComplete());
    const QStringList whole = names();
    ASSERT_EQ(whole.size(), Suppliers);

    // Nothing takes the rest until the event loop runs or a reader asks.
    open(Packet);
    EXPECT_EQ(query.FetchedCount(), Packet + 1);
    EXPECT_FALSE(query.FetchComplete());
    EXPECT_FALSE(query.IsEmpty());
    // The database answers for the rows still to come.
    // A key wider than the column is no value of it, and asks no less.
    EXPECT_EQ(query.KeysInResult(QStringLiteral("NRINSJURFORN"),
                                 {key(Suppliers - 1), key(7), QStringLiteral("99999999999999"),
                                  QStringLiteral("000000") + key(8)}),
              QSet<QString>({key(Suppliers - 1), key(7)}));
    EXPECT_FALSE(query.FetchComplete());
    const std::unique_ptr<TDataSet> window =
        query.RowsStartingWith(QStringLiteral("NMRAZSOCFORN"), QStringLiteral("FORNECEDOR 024"), 3);
    ASSERT_TRUE(window);
    ASSERT_EQ(window->FetchedCount(), 3);
    EXPECT_EQ(window->FieldByName(QStringLiteral("NRINSJURFORN"))->TextAt(0), key(2400));
    EXPECT_EQ(window->FieldByName(QStringLiteral("NMRAZSOCFORN"))->TextAt(2), name(2402));
    EXPECT_EQ(
        query
            .RowsStartingWith(QStringLiteral("NMRAZSOCFORN"), QStringLiteral("FORNECEDOR 0249"), 20)
            ->FetchedCount(),
        10);
    EXPECT_FALSE(query.FetchComplete());

    EXPECT_EQ(names(), whole);
    EXPECT_EQ(query.RecordCount(), Suppliers);
    EXPECT_TRUE(query.FetchComplete());
    EXPECT_TRUE(query.FetchError().isEmpty());

    open(Packet);
    EXPECT_TRUE(query.Locate(QStringLiteral("NRINSJURFORN"), key(Suppliers - 1)));
    EXPECT_EQ(query.RecNo(), Suppliers - 1);

    // Closed while the rest comes: the reader stops, and the query opens again.
    open(Packet);
    query.Close();
    open(Packet);
    EXPECT_EQ(query.RecordCount(), Suppliers);

    // Inside a transaction a second reader would not see its changes: one read, as before.
    db->Connection().StartTransaction();
    open(Packet);
    EXPECT_TRUE(query.FetchComplete());
    EXPECT_EQ(query.FetchedCount(), Suppliers);
    db->Connection().Rollback();

    // An answer within its packet is whole at once.
    open(Suppliers);
    EXPECT_TRUE(query.FetchComplete());
    EXPECT_EQ(query.FetchedCount(), Suppliers);
}

TEST_P(PacketTest, AReadFailingInTheBackgroundIsTold)
{
    // The statement fails on the rows stored first, which the table gives last, past the
    // first packet, where only the reader goes.
    query.SetSQL({"SELECT NMRAZSOCFORN, ABS(CASE WHEN NRINSJURFORN < '00000000001000'",
                  "THEN -9223372036854775807 - 1 ELSE 1 END) AS N FROM FORNECEDOR"});
    query.SetSQL_IB({"SELECT NMRAZSOCFORN, 1 / (CASE WHEN NRINSJURFORN < '00000000001000'",
                     "THEN 0 ELSE 1 END) AS N FROM FORNECEDOR"});
    open(Packet);
    ASSERT_FALSE(query.FetchComplete());
    const QString raised = Velmora::Test::Raised([&] { query.RecordCount(); });
    EXPECT_TRUE(raised.startsWith(QStringLiteral("Erro ao ler o restante da consulta 'qryTeste'")))
        << raised.toStdString();
    EXPECT_TRUE(query.FetchComplete());
    EXPECT_EQ(query.FetchError(), raised);
    EXPECT_LT(query.FetchedCount(), Suppliers);
}

INSTANTIATE_TEST_SUITE_P(Engines, PacketTest, ::testing::ValuesIn(Velmora::Test::EngineNames()),
                         [](const auto &info) { return Velmora::Test::EngineLabel(info.param); });

} // namespace
