// Tax, company and registration through the batch runner: each message with the control
// that holds the focus afterwards, and the screen's values.
#include "BatchRun.h"
#include "ScreenMessages.h"

namespace {

using namespace ScreenMessages;

TEST(BatchTaxAndCompany, CodesArePaddedAndNamed)
{
    const JobRun r = RunJob(R"([
        {"do":"enter","control":"medCdImposto","text":"3"},
        {"do":"enter","control":"medCdEmpresa","text":"5"},
        {"do":"dump"}])");
    ASSERT_EQ(r.status, 0) << qPrintable(r.errors);
    EXPECT_TRUE(r.messages().isEmpty()) << qPrintable(r.messages().join('\n'));
    EXPECT_EQ(r.text("medCdImposto"), "03");
    EXPECT_EQ(r.text("edtNmImposto"), "ISS");
    EXPECT_EQ(r.text("medCdEmpresa"), "05");
    EXPECT_EQ(r.text("edtNmEmpresa"), "Cinco Irmãos Comércio Ltda");
    EXPECT_EQ(r.focusAfter(2), "edtInscricao") << "the registration is on the path now";
}

TEST(BatchTaxAndCompany, UnknownCodesKeepTheFocus)
{
    const JobRun r = RunJob(R"([
        {"do":"enter","control":"medCdImposto","text":"9"},
        {"do":"enter","control":"medCdEmpresa","text":"01"},
        {"do":"enter","control":"medCdImposto","text":"02"},
        {"do":"enter","control":"medCdEmpresa","text":"77"},
        {"do":"dump"}])");
    // A tax of IMPOSTONFE without any tax of IMPOSTO is no tax to report.
    EXPECT_EQ(r.messages(), (QStringList{At(taxCad, "medCdImposto"), At(taxCad, "medCdImposto"),
                                         At(companyCad, "medCdEmpresa")}));
    EXPECT_FALSE(r.ok(2)) << "the exit of the tax keeps the focus";
    EXPECT_TRUE(r.ok(3));
    EXPECT_EQ(r.text("medCdImposto"), "02");
    EXPECT_EQ(r.text("medCdEmpresa"), "77");
    EXPECT_EQ(r.text("edtNmEmpresa"), "");
}

TEST(BatchTaxAndCompany, CollectingBodiesAndTheRegistrationRow)
{
    const struct
    {
        const char *tax, *name;
        bool row;
    } cases[] = {{"01", "ICMS", true}, {"03", "ISS", true},     {"02", "IPI", false},
                 {"04", "PIS", false}, {"05", "COFINS", false}, {"08", "TAXA X", true}};
    for (const auto &c : cases) {
        const QByteArray job =
            QStringLiteral(R"([{"do":"enter","control":"medCdImposto","text":"%1"},
            {"do":"dump"}])")
                .arg(QLatin1String(c.tax))
                .toUtf8();
        const JobRun r = RunJob(job);
        EXPECT_EQ(r.status, 0) << c.tax;
        EXPECT_EQ(r.text("edtNmImposto"), QLatin1String(c.name)) << c.tax;
        for (const char *control : {"lblInscricao", "edtInscricao", "btpInscricao"})
            EXPECT_EQ(r.enabled(QLatin1String(control)), c.row) << c.tax << " " << control;
    }
}

// The registration kind shows in the full check of an empty registration: the state's
// message, the municipality's, or none at all while no tax has chosen a kind.
TEST(BatchTaxAndCompany, TheKindAnEarlierTaxChoseStays)
{
    const struct
    {
        const char *steps;
        QString message;
    } cases[] = {
        {R"([{"do":"enter","control":"medCdImposto","text":"08"},
             {"do":"enter","control":"medCdEmpresa","text":"01"},
             {"do":"action","name":"print"}])",
         At(initialInf, "depDtInicial")},
        {R"([{"do":"enter","control":"medCdImposto","text":"01"},
             {"do":"enter","control":"medCdImposto","text":"08"},
             {"do":"enter","control":"medCdEmpresa","text":"01"},
             {"do":"action","name":"print"}])",
         At(stateInf, "edtInscricao")},
        {R"([{"do":"enter","control":"medCdImposto","text":"03"},
             {"do":"enter","control":"medCdImposto","text":"08"},
             {"do":"enter","control":"medCdEmpresa","text":"01"},
             {"do":"action","name":"print"}])",
         At(cityInf, "edtInscricao")},
        // "F" turns the row off: the registration is not checked, whatever the kind.
        {R"([{"do":"enter","control":"medCdImposto","text":"01"},
             {"do":"enter","control":"medCdImposto","text":"02"},
             {"do":"enter","control":"medCdEmpresa","text":"01"},
             {"do":"action","name":"print"}])",
         At(initialInf, "depDtInicial")},
    };
    for (const auto &c : cases) {
        const JobRun r = RunJob(c.steps);
        EXPECT_EQ(r.status, 1) << c.steps;
        EXPECT_EQ(r.messages(), QStringList{c.message}) << c.steps;
    }
}

TEST(BatchTaxAndCompany, ChangingTheTaxEmptiesTheRegistrationAtOnce)
{
    const JobRun r = RunJob(R"([
        {"do":"enter","control":"medCdImposto","text":"01"},
        {"do":"enter","control":"medCdEmpresa","text":"01"},
        {"do":"enter","control":"edtInscricao","text":"110042490114"},
        {"do":"enter","control":"medCdImposto","text":"99"},
        {"do":"dump"}])");
    EXPECT_EQ(r.messages(), QStringList{At(taxCad, "medCdImposto")});
    EXPECT_EQ(r.text("edtInscricao"), "");
    EXPECT_TRUE(r.enabled("edtInscricao")) << "the row waits for a valid tax";
    EXPECT_EQ(r.text("edtNmImposto"), "");
}

TEST(BatchTaxAndCompany, ErasingTheTaxTurnsTheRowOffSilently)
{
    const JobRun r = RunJob(R"([
        {"do":"enter","control":"medCdImposto","text":"01"},
        {"do":"enter","control":"medCdImposto","text":""},
        {"do":"dump"}])");
    ASSERT_EQ(r.status, 0) << qPrintable(r.errors);
    EXPECT_TRUE(r.messages().isEmpty());
    EXPECT_FALSE(r.enabled("lblInscricao"));
    EXPECT_FALSE(r.enabled("edtInscricao"));
    EXPECT_FALSE(r.enabled("btpInscricao"));
    EXPECT_EQ(r.focusAfter(2), "medCdEmpresa");
}

TEST(BatchTaxAndCompany, ChangingTheCompanyKeepsTheRegistrationForTheNextCheck)
{
    const JobRun r = RunJob(R"([
        {"do":"enter","control":"medCdImposto","text":"01"},
        {"do":"enter","control":"medCdEmpresa","text":"01"},
        {"do":"enter","control":"edtInscricao","text":"110042490114"},
        {"do":"enter","control":"medCdEmpresa","text":"02"},
        {"do":"dump"},
        {"do":"action","name":"print"}])");
    EXPECT_EQ(r.text("edtNmEmpresa"), "Atlântica Distribuidora Ltda");
    EXPECT_EQ(r.text("edtInscricao"), "110042490114");
    EXPECT_EQ(r.messages(), QStringList{At(stateCad, "edtInscricao")});
}

TEST(BatchTaxAndCompany, LookupsCopyCodeAndNameOnly)
{
    const JobRun r = RunJob(R"([
        {"do":"enter","control":"medCdImposto","text":"01"},
        {"do":"enter","control":"medCdEmpresa","text":"01"},
        {"do":"enter","control":"edtInscricao","text":"110042490114"},
        {"do":"lookup","control":"btpImposto","pick":{"CDIMPOSTONFE":"02"}},
        {"do":"lookup","control":"btpEmpresa","pick":{"CDEMPRESA":"02"}},
        {"do":"dump"},
        {"do":"focus","control":"medCdImposto"},
        {"do":"focus","control":"medCdEmpresa"},
        {"do":"dump"}])");
    ASSERT_EQ(r.status, 0) << qPrintable(r.errors);
    const QList<QJsonObject> dialogs = r.dialogs();
    ASSERT_EQ(dialogs.size(), 2);
    EXPECT_EQ(dialogs[0]["title"].toString(), "Imposto");
    EXPECT_EQ(dialogs[0]["rows"].toInt(), 6); // every tax that has a tax of IMPOSTO
    EXPECT_EQ(dialogs[1]["title"].toString(), "Empresa");
    EXPECT_EQ(dialogs[1]["rows"].toInt(), 3);
    EXPECT_EQ(r.text("medCdImposto"), "02");
    EXPECT_EQ(r.text("edtNmImposto"), "IPI");
    EXPECT_EQ(r.text("edtInscricao"), "");
    EXPECT_TRUE(r.enabled("edtInscricao")) << "decided when the tax is left";
    EXPECT_EQ(r.text("medCdEmpresa"), "02");
    EXPECT_EQ(r.text("edtNmEmpresa"), "Atlântica Distribuidora Ltda");
    EXPECT_FALSE(r.enabled("edtInscricao", 1));
    EXPECT_TRUE(r.messages().isEmpty()) << qPrintable(r.messages().join('\n'));
}

TEST(BatchTaxAndCompany, AnEmptyCompanyPassesItsExitNotTheChecks)
{
    const JobRun r = RunJob(R"([
        {"do":"enter","control":"medCdImposto","text":"02"},
        {"do":"enter","control":"medCdEmpresa","text":""},
        {"do":"action","name":"print"},
        {"do":"action","name":"edit"}])");
    EXPECT_TRUE(r.ok(2));
    EXPECT_EQ(r.messages(),
              (QStringList{At(companyInf, "medCdEmpresa"), At(companyInf, "medCdEmpresa")}));
    EXPECT_TRUE(r.reports().isEmpty());
}

TEST(BatchRegistration, CheckedAgainstTheCompanyInEachKind)
{
    const struct
    {
        const char *steps;
        QString message;
    } cases[] = {
        // Another company's registration.
        {R"([{"do":"enter","control":"medCdImposto","text":"01"},
             {"do":"enter","control":"medCdEmpresa","text":"01"},
             {"do":"enter","control":"edtInscricao","text":"110099887766"}])",
         At(stateCad, "edtInscricao")},
        {R"([{"do":"enter","control":"medCdImposto","text":"03"},
             {"do":"enter","control":"medCdEmpresa","text":"01"},
             {"do":"enter","control":"edtInscricao","text":"55554444"}])",
         At(cityCad, "edtInscricao")},
        // No company: the state registration is looked for under an empty code, the
        // municipal one under "T"; neither exists.
        {R"([{"do":"enter","control":"medCdImposto","text":"01"},
             {"do":"enter","control":"edtInscricao","text":"110042490114"}])",
         At(stateCad, "edtInscricao")},
        {R"([{"do":"enter","control":"medCdImposto","text":"03"},
             {"do":"enter","control":"edtInscricao","text":"12345678"}])",
         At(cityCad, "edtInscricao")},
    };
    for (const auto &c : cases) {
        const JobRun r = RunJob(c.steps);
        EXPECT_EQ(r.messages(), QStringList{c.message}) << c.steps;
    }
}

TEST(BatchRegistration, EmptyPassesItsExitAndFailsTheFullCheckByKind)
{
    const JobRun state = RunJob(R"([
        {"do":"enter","control":"medCdImposto","text":"01"},
        {"do":"enter","control":"medCdEmpresa","text":"01"},
        {"do":"enter","control":"edtInscricao","text":""},
        {"do":"action","name":"preview"},
        {"do":"dump"}])");
    EXPECT_TRUE(state.ok(3));
    EXPECT_EQ(state.messages(), QStringList{At(stateInf, "edtInscricao")});
    const JobRun city = RunJob(R"([
        {"do":"enter","control":"medCdImposto","text":"03"},
        {"do":"enter","control":"medCdEmpresa","text":"01"},
        {"do":"action","name":"save","file":"$DIR/nada.pdf"}])");
    EXPECT_EQ(city.messages(), QStringList{At(cityInf, "edtInscricao")});
    EXPECT_TRUE(city.reports().isEmpty());
}

TEST(BatchRegistration, TheLookupListsTheCompanysRegistrationsAndTheCheckStillApplies)
{
    const JobRun r = RunJob(R"([
        {"do":"enter","control":"medCdImposto","text":"01"},
        {"do":"enter","control":"medCdEmpresa","text":"01"},
        {"do":"lookup","control":"btpInscricao","pick":{"CDINSCESTA":"206001234567"}},
        {"do":"dump"},
        {"do":"enter","control":"edtInscricao","text":"999"},
        {"do":"enter","control":"edtInscricao","text":""},
        {"do":"enter","control":"medCdImposto","text":"03"},
        {"do":"lookup","control":"btpInscricao","pick":{"CDINSCMUNI":"87654321"}},
        {"do":"dump"}])");
    const QList<QJsonObject> dialogs = r.dialogs();
    ASSERT_EQ(dialogs.size(), 2);
    EXPECT_EQ(dialogs[0]["title"].toString(), "Inscrição Estadual");
    EXPECT_EQ(dialogs[0]["rows"].toInt(), 2);
    EXPECT_EQ(dialogs[1]["title"].toString(), "Inscrição Municipal");
    EXPECT_EQ(dialogs[1]["rows"].toInt(), 2);
    EXPECT_EQ(r.text("edtInscricao", 0), "206001234567");
    EXPECT_EQ(r.text("edtInscricao", 1), "87654321");
    // After the lookup a typed registration is checked alone, not among all of them.
    EXPECT_EQ(r.messages(), QStringList{At(stateCad, "edtInscricao")});
}

TEST(BatchRegistration, TheLookupWithoutCompanyFindsNothing)
{
    const JobRun r = RunJob(R"([
        {"do":"enter","control":"medCdImposto","text":"01"},
        {"do":"lookup","control":"btpInscricao","pick":0},
        {"do":"dump"}])");
    EXPECT_EQ(r.events(QStringLiteral("message")).size(), 1);
    EXPECT_EQ(r.events(QStringLiteral("message")).value(0)["text"].toString(),
              "Não há inscrição cadastrada para a empresa informada.");
    EXPECT_EQ(r.text("edtInscricao"), "");
}

// The tax changed through its lookup and not yet left: the list shown is still the state
// one (the kind), and the registration written is the row picked in it.
TEST(BatchRegistration, TheRowPickedIsTheRowWritten)
{
    const JobRun r = RunJob(R"([
        {"do":"enter","control":"medCdImposto","text":"01"},
        {"do":"enter","control":"medCdEmpresa","text":"01"},
        {"do":"lookup","control":"btpInscricao","pick":0},
        {"do":"lookup","control":"btpImposto","pick":{"CDIMPOSTONFE":"03"}},
        {"do":"lookup","control":"btpInscricao","pick":{"CDINSCESTA":"206001234567"}},
        {"do":"dump"}])");
    ASSERT_EQ(r.status, 0) << qPrintable(r.errors);
    EXPECT_EQ(r.text("medCdImposto"), "03");
    EXPECT_EQ(r.text("edtInscricao"), "206001234567");
    EXPECT_EQ(r.dialogs().value(2)["title"].toString(), "Inscrição Municipal");
}

} // namespace
