// The search and list dialogs over a query larger than its first packet, on every engine:
// what the clerk does before the last row arrives gives what it gives over a whole answer.
#include "RecordingServices.h"
#include "TestDatabases.h"
#include "data/TADOIBQuery.h"
#include "framework/dialogs/ListDialog.h"
#include "framework/dialogs/SearchDialog.h"

#include <QLabel>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

using Velmora::Test::ScratchDatabase;

namespace {

constexpr int Suppliers = 3000;
constexpr int Packet = 100;

const auto key = Velmora::Test::SupplierKey;

// Odd names are in small letters, which a database comparing case apart puts after all
// capitals.
QString name(int i)
{
    const QString text = Velmora::Test::SupplierName(i);
    return i % 2 ? text.toLower() : text;
}

class LargeListTest : public ::testing::TestWithParam<QString>
{
protected:
    void SetUp() override
    {
        db = std::make_unique<ScratchDatabase>(GetParam());
        // The keys run against the names, so the dialog sorts by the names.
        Velmora::Test::LoadSuppliers(
            db->Connection(), Suppliers, [](int i) { return key(Suppliers - 1 - i); }, name);
        query.setObjectName(QStringLiteral("qryFornecedor"));
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

    std::unique_ptr<ScratchDatabase> db;
    TADOIBQuery query;
    RecordingServices recorder;
};

TEST_P(LargeListTest, TheListWorksOnTheWholeTableBeforeTheLastRowArrives)
{
    using Steps = std::function<void(ListDialog &)>;
    const QString reg = QStringLiteral("NRINSJURFORN");
    const struct
    {
        const char *name;
        QString opening;
        Steps steps;
    } cases[] = {
        {"select all", {}, [](ListDialog &d) { d.CheckAll(); }},
        {"select all, then none of a filter",
         {},
         [](ListDialog &d) {
             d.CheckAll();
             d.SetFilter(QStringLiteral("FORNECEDOR 015"));
             d.UncheckAll();
             d.SetFilter({});
         }},
        {"a filter past the first rows, a paste from the end, the opening selection",
         QStringLiteral("'%1','%2'").arg(key(2), key(2750)),
         [](ListDialog &d) {
             d.SetFilter(QStringLiteral("fornecedor 0201"));
             d.CheckAll();
             d.SetFilter({});
             EXPECT_TRUE(d.PasteCodes(QStringLiteral("%1\r\n00.000.000/0029-99\r\n").arg(key(2998)))
                             .isEmpty());
             d.SetChecked(3, true);
         }},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        open(0);
        QString whole;
        {
            ListDialog dialog(&query, reg, QString(), c.opening);
            c.steps(dialog);
            whole = dialog.Selection();
        }
        open(Packet);
        ListDialog dialog(&query, reg, QString(), c.opening);
        EXPECT_EQ(dialog.RowCount(), Packet + 1);
        c.steps(dialog);
        EXPECT_FALSE(query.FetchComplete());
        EXPECT_TRUE(dialog.CountLabel()->text().contains(QLatin1Char('+')));
        EXPECT_EQ(dialog.Selection(), whole);
        EXPECT_EQ(dialog.RowCount(), Suppliers);
        EXPECT_FALSE(dialog.CountLabel()->text().contains(QLatin1Char('+')));
    }
    EXPECT_TRUE(recorder.messages().isEmpty()) << recorder.messages().join('\n').toStdString();
}

TEST_P(LargeListTest, TypeAheadFindsANameNotYetArrived)
{
    const struct
    {
        const char *typed;
        int name;
    } cases[] = {{"fornecedor 02999", 2999}, {"Fornecedor 0299", 2990}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.typed);
        open(Packet);
        SearchDialog dialog(&query, QString());
        EXPECT_EQ(dialog.findChild<QLabel *>(QStringLiteral("Registros"))->text(),
                  QStringLiteral("%1+ registros").arg(Packet + 1));
        EXPECT_FALSE(dialog.TypeAhead(QStringLiteral("fornecedor 03")));
        EXPECT_TRUE(dialog.TypeAhead(QString::fromLatin1(c.typed)));
        EXPECT_FALSE(query.FetchComplete());
        // Picking the row waits for it to arrive.
        dialog.accept();
        ASSERT_GE(dialog.ChosenRow(), 0);
        query.MoveTo(dialog.ChosenRow());
        EXPECT_EQ(query.FieldByName(QStringLiteral("NMRAZSOCFORN"))->AsString(), name(c.name));
        EXPECT_EQ(query.FieldByName(QStringLiteral("NRINSJURFORN"))->AsString(),
                  key(Suppliers - 1 - c.name));
    }
}

INSTANTIATE_TEST_SUITE_P(Engines, LargeListTest, ::testing::ValuesIn(Velmora::Test::EngineNames()),
                         [](const auto &info) { return Velmora::Test::EngineLabel(info.param); });

} // namespace
