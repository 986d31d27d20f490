#include "RecordingServices.h"
#include "ReportTestSupport.h"
#include "TestReportScreen.h"

#include "data/TParams.h"
#include "framework/ScriptedServices.h"
#include "framework/TApplication.h"
#include "framework/dialogs/SelectionString.h"
#include "reports/ReportQuery.h"
#include "reports/ReportSource.h"
#include "reports/TReportDesignerDialog.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace Velmora::Reports;

namespace {

// The FIS014 query's filters, on every engine, against sums computed in SQL.
class Fis014Test : public ::testing::TestWithParam<QString>
{
protected:
    void SetUp() override
    {
        db = std::make_unique<TestDatabase>(GetParam());
        db->loadFixture();
        screen = std::make_unique<TestReportScreen>(&Application());
        screen->Create();
        layout = ReportLayout::load(QStringLiteral(FIS014_LAYOUT));
    }

    struct Result
    {
        QStringList documents; // in report order
        QStringList details;   // each detail's values, as one text
        QStringList groups;
        QList<double> grand; // accounting value, base, tax
        qint64 rows = 0;
    };

    Result run()
    {
        auto *designer = screen->findChild<TReportDesignerDialog *>(QStringLiteral("rpddPadrao"));
        std::unique_ptr<ReportSource> source = designer->Open(layout);
        Result r;
        Band band;
        const int doc = layout.columnIndex(QStringLiteral("NRDOCUMENTO"));
        while (source->next(band)) {
            if (band.kind == Band::Detail) {
                r.documents << band.values.at(doc).toString();
                r.details << detailText(band);
            } else if (band.kind == Band::GroupHeader)
                r.groups << band.text;
            else if (band.kind == Band::Summary)
                for (const char *f : {"VLCONTABIL", "VLBASE", "VLIMPOSTO"})
                    r.grand << band.values.at(layout.columnIndex(QLatin1String(f))).toDouble();
        }
        r.rows = source->rows();
        return r;
    }

    // Dates as YYYY-MM-DD and numbers with four decimals, whatever type the driver gave.
    QString detailText(const Band &band) const
    {
        QStringList cells;
        for (qsizetype i = 0; i < layout.columns.size(); ++i) {
            const QVariant v = band.values.at(i);
            switch (layout.columns.at(i).type) {
            case ColumnType::Date:
                cells << v.toDate().toString(Qt::ISODate);
                break;
            case ColumnType::Number:
                cells << QString::number(v.toDouble(), 'f', 4);
                break;
            case ColumnType::Text:
                cells << v.toString();
                break;
            }
        }
        return cells.join(QLatin1Char('|'));
    }

    void expectTotals(const Result &r, const QString &where)
    {
        const QVariantList sql = db->expectedTotals(where);
        EXPECT_EQ(r.rows, sql.at(0).toLongLong());
        if (r.rows == 0)
            return;
        ASSERT_EQ(r.grand.size(), 3);
        for (int i = 0; i < 3; ++i)
            EXPECT_NEAR(r.grand.at(i), sql.at(i + 1).toDouble(), 0.005);
    }

    RecordingServices services;
    LayoutDirectory layouts;
    std::unique_ptr<TestDatabase> db;
    std::unique_ptr<TestReportScreen> screen;
    ReportLayout layout;
};

TEST_P(Fis014Test, AllBranchesAndSuppliersGroupedBySupplierName)
{
    const Result r = run();
    EXPECT_EQ(r.documents, (QStringList{"000000001", "000000002", "000000010", "000000011",
                                        "000000021", "000000020"}));
    EXPECT_EQ(r.groups, (QStringList{"Fornecedor: 11111111000111 - Alfa Comércio Ltda",
                                     "Fornecedor: 22222222000122 - Beta Indústria S.A.",
                                     "Fornecedor: 33333333333 - Carlos D'Ávila"}));
    expectTotals(r, QString());
}

// The rows, not only their keys, are the same on every engine: no padding, dates as dates,
// numbers with their scale.
TEST_P(Fis014Test, SameRowsOnEveryEngine)
{
    const Result r = run();
    EXPECT_EQ(
        r.details,
        (QStringList{"000000001|1|2024-01-02|2024-01-03|1|1000.0000|1000.0000|18.0000|180.0000",
                     "000000002|1|2024-01-05|2024-01-06|10|2500.5000|2500.5000|12.0000|300.0600",
                     "000000010|U|2024-01-10|2024-01-11|2|333.3300|333.3300|7.0000|23.3300",
                     "000000011|1|2024-01-31|2024-01-31|10|150.0000|150.0000|18.0000|27.0000",
                     "000000021|1|2023-12-31|2024-01-01|1|10.1000|10.1000|18.0000|1.8200",
                     "000000020|1|2024-01-15|2024-01-16|1|99.9900|99.9900|4.0000|4.0000"}));
}

TEST_P(Fis014Test, BranchListMatchesWholeKeysOnly)
{
    // Branch 1 is a prefix of branch 10: only the quoted key may match.
    screen->filiais = SelectionString::Format({QStringLiteral("1")});
    Result r = run();
    EXPECT_EQ(r.documents, (QStringList{"000000001", "000000021", "000000020"}));
    expectTotals(r, QStringLiteral("AND D.CDFILIAL = '1'"));

    screen->filiais = SelectionString::Format({QStringLiteral("10"), QStringLiteral("2")});
    r = run();
    EXPECT_EQ(r.documents, (QStringList{"000000002", "000000010", "000000011"}));
    expectTotals(r, QStringLiteral("AND D.CDFILIAL IN ('10', '2')"));
}

TEST_P(Fis014Test, SupplierListRegistrationAndTax)
{
    screen->fornecedores =
        SelectionString::Format({QStringLiteral("33333333333"), QStringLiteral("11111111000111")});
    Result r = run();
    EXPECT_EQ(r.documents, (QStringList{"000000001", "000000002", "000000021", "000000020"}));
    expectTotals(r, QStringLiteral("AND D.NRINSJURFORN IN ('33333333333', '11111111000111')"));

    screen->fornecedores.clear();
    screen->inscricao = QStringLiteral("987654321");
    r = run();
    EXPECT_EQ(r.documents, QStringList{"000000011"});

    screen->inscricao.clear();
    screen->imposto = QStringLiteral("99");
    r = run();
    EXPECT_TRUE(r.documents.isEmpty());
    EXPECT_EQ(r.rows, 0);
}

TEST_P(Fis014Test, TenThousandSuppliersInTheList)
{
    QStringList keys;
    for (int i = 0; i < 9999; ++i)
        keys << QStringLiteral("9%1").arg(i, 13, 10, QLatin1Char('0'));
    keys.insert(5000, QStringLiteral("22222222000122"));
    screen->fornecedores = SelectionString::Format(keys);
    ASSERT_GT(screen->fornecedores.size(), 32765);
    const Result r = run();
    EXPECT_EQ(r.documents, (QStringList{"000000010", "000000011"}));
    expectTotals(r, QStringLiteral("AND D.NRINSJURFORN = '22222222000122'"));
}

// A registration left unassigned (null, not the empty text) filters nothing, as on the
// InterBase text, where NVLSTR reads it as empty.
TEST_P(Fis014Test, UnassignedRegistrationFiltersNothing)
{
    TParams params;
    ParamsFromText(layout.queryText(CurrentReportConnection().kind), params);
    bool carryOn = true;
    screen->rpddPadraoBeforeGetQueryParams(&params, carryOn);
    params.ParamByName(QStringLiteral("P_CDINSCRICAO"))->Clear();
    ReportSource source(layout, CurrentReportConnection(), params);
    Band band;
    while (source.next(band)) {
    }
    EXPECT_EQ(source.rows(), 6);
}

INSTANTIATE_TEST_SUITE_P(Engines, Fis014Test, ::testing::ValuesIn(TestDatabase::Engines()),
                         [](const auto &info) { return Velmora::Test::EngineLabel(info.param); });

} // namespace
