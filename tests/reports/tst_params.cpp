#include "RecordingServices.h"
#include "ReportTestSupport.h"
#include "TestReportScreen.h"

#include "data/TParams.h"
#include "framework/TApplication.h"
#include "reports/ExistParam.h"
#include "reports/ReportConnection.h"
#include "reports/ReportQuery.h"
#include "reports/TReportDesignerDialog.h"

#include <QJsonObject>
#include <gtest/gtest.h>

using namespace Velmora::Reports;

namespace {

TEST(ExistParamTest, MatchesNamesInAnyLetterCase)
{
    TParams params;
    ParamsFromText(QStringLiteral("SELECT * FROM T WHERE A = :P_CdEmpresa AND B = ':P_TEXTO' "
                                  "AND C = :p_cdempresa AND D::text = :P_DTINICIAL"),
                   params);
    EXPECT_EQ(params.Names(),
              (QStringList{QStringLiteral("P_CdEmpresa"), QStringLiteral("P_DTINICIAL")}));
    EXPECT_TRUE(ExistParam(&params, QStringLiteral("P_CDEMPRESA")));
    EXPECT_TRUE(ExistParam(&params, QStringLiteral("p_dtinicial")));
    EXPECT_FALSE(ExistParam(&params, QStringLiteral("P_TEXTO")));
    EXPECT_FALSE(ExistParam(&params, QStringLiteral("P_CDEMPRES")));
    EXPECT_FALSE(ExistParam(&params, QString()));
    EXPECT_FALSE(ExistParam(nullptr, QStringLiteral("P_CDEMPRESA")));
}

// The report machinery builds the list from the query text, the screen fills only what the
// query declares, and the values reach the services as they were handed to the query.
class QueryParamsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        screen = std::make_unique<TestReportScreen>(&Application());
        screen->Create();
        designer = screen->findChild<TReportDesignerDialog *>(QStringLiteral("rpddPadrao"));
        ASSERT_TRUE(designer);
    }
    QVariantMap fill(const QString &sql)
    {
        ReportLayout layout;
        layout.queries.insert(QStringLiteral("SQL"), sql);
        TParams params;
        EXPECT_TRUE(designer->GetQueryParams(layout, ReportConnection{}, params));
        QVariantMap values;
        for (int i = 0; i < params.Count(); ++i)
            values.insert(params.Items(i)->Name(), params.Items(i)->Value());
        return values;
    }

    LayoutDirectory layouts;
    RecordingServices services;
    std::unique_ptr<TestReportScreen> screen;
    TReportDesignerDialog *designer = nullptr;
};

TEST_F(QueryParamsTest, NoneSomeOrAllOfTheNineNames)
{
    QVariantMap none = fill(QStringLiteral("SELECT * FROM X WHERE Y = :P_OUTRO"));
    EXPECT_EQ(none.size(), 1);
    EXPECT_TRUE(none.value(QStringLiteral("P_OUTRO")).isNull());

    screen->fornecedores = QStringLiteral("'11111111000111','22222222000122'");
    QVariantMap some =
        fill(QStringLiteral("SELECT * FROM X WHERE :p_tcdforneced = 'T' OR :P_CDFILIAL = ''"));
    EXPECT_EQ(some.value(QStringLiteral("p_tcdforneced")).toString(), QString());
    EXPECT_FALSE(some.value(QStringLiteral("p_tcdforneced")).isNull());
    EXPECT_EQ(some.value(QStringLiteral("P_CDFILIAL")).toString(), QString());
    EXPECT_FALSE(some.value(QStringLiteral("P_CDFILIAL")).isNull());

    screen->fornecedores.clear();
    const ReportLayout fis014 = ReportLayout::load(QStringLiteral(FIS014_LAYOUT));
    for (DatabaseKind kind : {DatabaseKind::Generic, DatabaseKind::InterBase}) {
        QVariantMap all = fill(fis014.queryText(kind));
        EXPECT_EQ(all.size(), 9);
        EXPECT_EQ(all.value(QStringLiteral("P_CDEMPRESA")).toString(), QStringLiteral("01"));
        EXPECT_EQ(all.value(QStringLiteral("P_TCDFILIAL")).toString(), QStringLiteral("T"));
        EXPECT_EQ(all.value(QStringLiteral("P_TCDFORNECED")).toString(), QStringLiteral("T"));
        EXPECT_EQ(all.value(QStringLiteral("P_CDFORNECED")).toString(), QString());
        EXPECT_FALSE(all.value(QStringLiteral("P_CDINSCRICAO")).isNull());
        EXPECT_EQ(all.value(QStringLiteral("P_DTINICIAL")).value<TDateTime>().toDate(),
                  QDate(2024, 1, 1));
    }

    // Every request told the services what it handed over.
    int told = 0;
    for (const QJsonObject &e : services.events)
        told += e.value(QStringLiteral("event")).toString() == QLatin1String("params");
    EXPECT_EQ(told, 4);
}

TEST_F(QueryParamsTest, HandlerCanCancelTheRun)
{
    screen->cancelParams = true;
    ReportLayout layout;
    layout.queries.insert(QStringLiteral("SQL"), QStringLiteral("SELECT :P_CDEMPRESA AS A"));
    TParams params;
    EXPECT_FALSE(designer->GetQueryParams(layout, ReportConnection{}, params));
}

} // namespace
