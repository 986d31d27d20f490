// The reporting period through the batch runner: the period check's three messages and
// their focus, the period lookups against the server, an invalid date.
#include "BatchRun.h"

namespace {

const QByteArray key = R"(
    {"do":"enter","control":"medCdImposto","text":"01"},
    {"do":"enter","control":"medCdEmpresa","text":"01"},
    {"do":"enter","control":"edtInscricao","text":"110042490114"},)";

TEST(BatchPeriod, ThePeriodChecksThreeMessages)
{
    const JobRun r = RunJob("[" + key + R"(
        {"do":"action","name":"print","file":"$DIR/periodo.pdf"},
        {"do":"enter","control":"depDtFinal","text":"31012024"},
        {"do":"action","name":"print","file":"$DIR/periodo.pdf"},
        {"do":"enter","control":"depDtInicial","text":"01012024"},
        {"do":"enter","control":"depDtFinal","text":""},
        {"do":"action","name":"print","file":"$DIR/periodo.pdf"},
        {"do":"enter","control":"depDtFinal","text":"15042024"},
        {"do":"action","name":"print","file":"$DIR/periodo.pdf"},
        {"do":"enter","control":"depDtInicial","text":"31122023"},
        {"do":"enter","control":"depDtFinal","text":"31012024"},
        {"do":"action","name":"print","file":"$DIR/periodo.pdf"},
        {"do":"enter","control":"depDtInicial","text":"01012024"},
        {"do":"action","name":"print","file":"$DIR/periodo.pdf"}])");
    const QString initial = QStringLiteral("Data inicial deve ser informada.");
    const QString final = QStringLiteral("Data final deve ser informada.");
    const QString noMap = QStringLiteral("Não existe mapa de apuração para a data informada.");
    EXPECT_EQ(r.messages(), (QStringList{At(initial, "depDtInicial"), At(initial, "depDtInicial"),
                                         At(final, "depDtFinal"), At(noMap, "depDtInicial"),
                                         At(noMap, "depDtInicial")}));
    EXPECT_EQ(r.status, 0) << "the last print passed";
    ASSERT_EQ(r.reports().size(), 1);
    EXPECT_EQ(r.params()["P_DTINICIAL"].toObject()["date"].toString(), "2024-01-01");
    EXPECT_EQ(r.params()["P_DTFINAL"].toObject()["date"].toString(), "2024-01-31");
}

TEST(BatchPeriod, LookupsOfferTheServersPeriods)
{
    const JobRun r = RunJob("[" + key + R"(
        {"do":"lookup","control":"btnDataIni","pick":1},
        {"do":"lookup","control":"btnDataFim","pick":0},
        {"do":"enter","control":"depDtInicial","text":"01032024"},
        {"do":"enter","control":"depDtFinal","text":"15012024"},
        {"do":"lookup","control":"btnDataFim","pick":{"DTFINAL":"31/03/2024"}},
        {"do":"dump"}])");
    ASSERT_EQ(r.status, 0) << qPrintable(r.errors);
    EXPECT_TRUE(r.messages().isEmpty()) << qPrintable(r.messages().join('\n'));
    const QList<QJsonObject> dialogs = r.dialogs();
    ASSERT_EQ(dialogs.size(), 3);
    EXPECT_EQ(dialogs[0]["title"].toString(), "Data Inicial");
    EXPECT_EQ(dialogs[0]["rows"].toInt(), 3);
    // The final dates on or after the initial date field's date, whatever the final date
    // field holds.
    EXPECT_EQ(dialogs[1]["title"].toString(), "Data Final");
    EXPECT_EQ(dialogs[1]["rows"].toInt(), 2);
    EXPECT_EQ(dialogs[2]["rows"].toInt(), 1);
    EXPECT_EQ(r.text("depDtInicial"), "01/03/2024");
    EXPECT_EQ(r.text("depDtFinal"), "31/03/2024");
}

TEST(BatchPeriod, ALookupWithoutPeriodsKeepsTheDate)
{
    const JobRun r = RunJob(R"([
        {"do":"enter","control":"medCdImposto","text":"01"},
        {"do":"enter","control":"medCdEmpresa","text":"05"},
        {"do":"enter","control":"depDtInicial","text":"01012024"},
        {"do":"lookup","control":"btnDataIni","pick":0},
        {"do":"lookup","control":"btnDataFim","pick":0},
        {"do":"dump"}])");
    ASSERT_EQ(r.events(QStringLiteral("message")).size(), 2);
    EXPECT_EQ(r.events(QStringLiteral("message"))[0]["text"].toString(),
              "Não há data inicial cadastrada.");
    EXPECT_EQ(r.events(QStringLiteral("message"))[1]["text"].toString(),
              "Não há data final cadastrada.");
    EXPECT_EQ(r.text("depDtInicial"), "01/01/2024");
    EXPECT_EQ(r.text("depDtFinal"), "");
}

TEST(BatchPeriod, ADateThatIsNoDateKeepsTheFocus)
{
    const JobRun r = RunJob(R"([
        {"do":"enter","control":"depDtInicial","text":"31022024"},
        {"do":"dump"}])");
    EXPECT_EQ(r.messages(), QStringList{At("Data inválida.", "depDtInicial")});
    EXPECT_FALSE(r.ok(1));
    EXPECT_EQ(r.text("depDtInicial"), "31/02/2024");
}

// The screen connects as it opens: with the server stopped, the job's own opening waits out
// the time-out, and an "open" step that gives up its wait ends silently.
TEST(BatchPeriod, AWaitGivenUpEndsTheStepWithNoMessage)
{
    struct Stopped
    {
        Stopped() { BatchEnvironment().pauseServer(); }
        ~Stopped() { BatchEnvironment().resumeServer(); }
    };
    JobRun r;
    {
        const Stopped stopped;
        r = RunJob(R"([{"do":"open","cancelWait":100}])");
    }
    EXPECT_EQ(r.messages(), QStringList{At(QStringLiteral("O servidor de aplicação em "
                                                          "127.0.0.1:%1 não respondeu em 5000 ms.")
                                               .arg(BatchEnvironment().serverPort()),
                                           QString())});
    EXPECT_EQ(r.events(QStringLiteral("wait")).size(), 1);
    EXPECT_FALSE(r.ok(1));
}

} // namespace
