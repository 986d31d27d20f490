// The reporting period against the running server: which calls the period check and the
// lookups make (the server logs each answered call), and what they leave in the datasets.
#include "ScreenTest.h"

#include "data/TClientDataSet.h"

namespace {

class Period : public ScreenTest
{
protected:
    void SetUp() override
    {
        ScreenTest::SetUp();
        ASSERT_TRUE(enter("medCdImposto", QStringLiteral("01")));
        ASSERT_TRUE(enter("medCdEmpresa", QStringLiteral("01")));
        ASSERT_TRUE(enter("edtInscricao", QStringLiteral("110042490114")));
        ASSERT_TRUE(messages().isEmpty()) << qPrintable(messages().join('\n'));
    }
    // Calls of the two map checks answered since the last look.
    QPair<int, int> newChecks()
    {
        const int ini = Environment().answeredCalls(QStringLiteral("GetVdDataIni"));
        const int fin = Environment().answeredCalls(QStringLiteral("GetVdDataFinal"));
        const QPair<int, int> seen{ini - m_ini, fin - m_fin};
        m_ini = ini;
        m_fin = fin;
        return seen;
    }
    void print()
    {
        recorder.clear();
        click("sbtPrint"); // no file is chosen: a check that passes prints nothing
    }
    int rows(const char *dataSet) const
    {
        return component<TClientDataSet>(dataSet)->RecordCount();
    }

    int m_ini = 0, m_fin = 0;
};

TEST_F(Period, NoServerCallWhileADateIsEmpty)
{
    newChecks();
    print();
    EXPECT_EQ(messages(), QStringList{QStringLiteral("Data inicial deve ser informada.")});
    EXPECT_EQ(focusName(), QStringLiteral("depDtInicial"));
    EXPECT_EQ(newChecks(), qMakePair(0, 0));

    ASSERT_TRUE(enter("depDtFinal", QStringLiteral("31012024")));
    print();
    EXPECT_EQ(messages(), QStringList{QStringLiteral("Data inicial deve ser informada.")});
    EXPECT_EQ(focusName(), QStringLiteral("depDtInicial"));

    ASSERT_TRUE(enter("depDtInicial", QStringLiteral("01012024")));
    ASSERT_TRUE(enter("depDtFinal", QString()));
    print();
    EXPECT_EQ(messages(), QStringList{QStringLiteral("Data final deve ser informada.")});
    EXPECT_EQ(focusName(), QStringLiteral("depDtFinal"));
    EXPECT_EQ(newChecks(), qMakePair(0, 0));
    EXPECT_EQ(rows("cdsVdDataIni"), 0);
    EXPECT_EQ(rows("cdsVdDataFinal"), 0);
}

TEST_F(Period, BothMapsAreAskedForEvenWhenTheFirstIsMissing)
{
    newChecks();
    // A map for each date: the check passes with one call of each.
    ASSERT_TRUE(enter("depDtInicial", QStringLiteral("15012024")));
    ASSERT_TRUE(enter("depDtFinal", QStringLiteral("15032024")));
    print();
    EXPECT_TRUE(messages().isEmpty()) << qPrintable(messages().join('\n'));
    EXPECT_EQ(newChecks(), qMakePair(1, 1));
    EXPECT_EQ(rows("cdsVdDataIni"), 1);
    EXPECT_EQ(rows("cdsVdDataFinal"), 1);

    // No map for the initial date: the final date is asked for all the same.
    ASSERT_TRUE(enter("depDtInicial", QStringLiteral("15122023")));
    print();
    EXPECT_EQ(messages(),
              QStringList{QStringLiteral("Não existe mapa de apuração para a data informada.")});
    EXPECT_EQ(focusName(), QStringLiteral("depDtInicial"));
    EXPECT_EQ(newChecks(), qMakePair(1, 1));
    EXPECT_EQ(rows("cdsVdDataIni"), 0);
    EXPECT_EQ(rows("cdsVdDataFinal"), 1);

    // No map for the final date: one message for both, the focus on the initial date.
    ASSERT_TRUE(enter("depDtInicial", QStringLiteral("01022024")));
    ASSERT_TRUE(enter("depDtFinal", QStringLiteral("01042024")));
    print();
    EXPECT_EQ(messages(),
              QStringList{QStringLiteral("Não existe mapa de apuração para a data informada.")});
    EXPECT_EQ(focusName(), QStringLiteral("depDtInicial"));
    EXPECT_EQ(newChecks(), qMakePair(1, 1));
    EXPECT_EQ(rows("cdsVdDataIni"), 1);
    EXPECT_EQ(rows("cdsVdDataFinal"), 0);
    EXPECT_EQ(text("depDtInicial"), QStringLiteral("01/02/2024"));
    EXPECT_EQ(text("depDtFinal"), QStringLiteral("01/04/2024"));
}

TEST_F(Period, TheFinalDateLookupSendsTheInitialDate)
{
    const int before = Environment().answeredCalls(QStringLiteral("GetDtFim"));
    // Without an initial date every map of the key is offered.
    click("btnDataFim");
    EXPECT_EQ(rows("cdsDtFim"), 3);
    ASSERT_TRUE(enter("depDtInicial", QStringLiteral("01022024")));
    ASSERT_TRUE(enter("depDtFinal", QStringLiteral("15012024")));
    // The maps ending on or after the initial date, whatever the final date says.
    lookupRow("btnDataFim", 1);
    EXPECT_EQ(rows("cdsDtFim"), 2);
    EXPECT_EQ(text("depDtFinal"), QStringLiteral("31/03/2024"));
    EXPECT_EQ(Environment().answeredCalls(QStringLiteral("GetDtFim")), before + 2);
    const QList<QJsonObject> dialogs = recorder.of(QStringLiteral("dialog"));
    ASSERT_EQ(dialogs.size(), 2);
    EXPECT_EQ(dialogs[1].value(QLatin1String("title")).toString(), QStringLiteral("Data Final"));
    EXPECT_EQ(dialogs[1].value(QLatin1String("rows")).toInt(), 2);
    EXPECT_TRUE(messages().isEmpty()) << qPrintable(messages().join('\n'));
}

TEST_F(Period, TheInitialDateLookupNewestFirstAndEachPressAsksAgain)
{
    const int before = Environment().answeredCalls(QStringLiteral("GetDtIni"));
    lookupRow("btnDataIni", 0);
    EXPECT_EQ(text("depDtInicial"), QStringLiteral("01/03/2024"));
    lookupRow("btnDataIni", 2);
    EXPECT_EQ(text("depDtInicial"), QStringLiteral("01/01/2024"));
    EXPECT_EQ(Environment().answeredCalls(QStringLiteral("GetDtIni")), before + 2);
    EXPECT_EQ(rows("cdsDtIni"), 3);
    EXPECT_EQ(recorder.of(QStringLiteral("dialog")).last().value(QLatin1String("title")).toString(),
              QStringLiteral("Data Inicial"));

    // A company without maps: the empty text, and the date stays.
    ASSERT_TRUE(enter("medCdEmpresa", QStringLiteral("05")));
    lookupRow("btnDataIni", 0);
    EXPECT_EQ(messages(), QStringList{QStringLiteral("Não há data inicial cadastrada.")});
    EXPECT_EQ(text("depDtInicial"), QStringLiteral("01/01/2024"));
    EXPECT_EQ(rows("cdsDtIni"), 0);
}

TEST_F(Period, ATaxWithoutRegistrationSendsTheEmptyRegistration)
{
    ASSERT_TRUE(enter("medCdImposto", QStringLiteral("02")));
    ASSERT_FALSE(enabled("edtInscricao"));
    ASSERT_TRUE(text("edtInscricao").isEmpty());
    lookupRow("btnDataIni", 0);
    EXPECT_EQ(rows("cdsDtIni"), 2) << "the maps kept under the empty registration";
    EXPECT_EQ(text("depDtInicial"), QStringLiteral("01/02/2024"));
    EXPECT_TRUE(messages().isEmpty()) << qPrintable(messages().join('\n'));
}

// A server that went away: its failure is reported once, as it is, and no date is blamed.
TEST_F(Period, AFailedServerCallIsReportedAsItIsWithoutMovingTheFocus)
{
    ASSERT_TRUE(enter("depDtInicial", QStringLiteral("15012024")));
    ASSERT_TRUE(enter("depDtFinal", QStringLiteral("15032024")));
    click("medCdEmpresa");
    ASSERT_EQ(focusName(), QStringLiteral("medCdEmpresa"));
    const int port = Environment().serverPort();
    Environment().stopServer();
    print();
    Environment().startServer(); // the next tests' server, on a new port
    ASSERT_EQ(messages().size(), 1);
    EXPECT_TRUE(messages()[0].contains(QStringLiteral("127.0.0.1:%1").arg(port)))
        << qPrintable(messages()[0]);
    EXPECT_NE(messages()[0], QStringLiteral("Não existe mapa de apuração para a data informada."));
    EXPECT_EQ(focusName(), QStringLiteral("medCdEmpresa"));
    EXPECT_TRUE(recorder.of(QStringLiteral("report")).isEmpty());
}

// A tax that asks for no registration: whatever the disabled field holds is not checked.
TEST_F(Period, TheFullCheckSkipsADisabledRegistration)
{
    // The kind stays on state registrations, so a check of it could only fail.
    ASSERT_TRUE(enter("medCdImposto", QStringLiteral("02")));
    ASSERT_TRUE(enter("depDtInicial", QStringLiteral("15012024")));
    ASSERT_TRUE(enter("depDtFinal", QStringLiteral("15022024")));
    ASSERT_FALSE(enabled("edtInscricao"));
    control("edtInscricao")->setProperty("Text", QStringLiteral("não é inscrição"));
    print();
    // The period check ran with the text as it stands: no map under that registration.
    EXPECT_EQ(messages(),
              QStringList{QStringLiteral("Não existe mapa de apuração para a data informada.")});
    EXPECT_EQ(focusName(), QStringLiteral("depDtInicial"));
    control("edtInscricao")->setProperty("Text", QString());
    print();
    EXPECT_TRUE(messages().isEmpty()) << qPrintable(messages().join('\n'));
}

} // namespace
