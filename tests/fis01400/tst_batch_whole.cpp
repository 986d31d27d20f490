// The whole-form checks before each report action, in their order, and the parameters the
// report receives.
#include "BatchRun.h"
#include "ScreenMessages.h"

namespace {

using namespace ScreenMessages;

// The first failing check of the full check (print) and of the light one (report edit).
TEST(BatchWholeForm, TheOrderOfTheChecks)
{
    const struct
    {
        const char *steps;
        QString full, light; // empty: the action goes through
    } cases[] = {
        // The tax first: a tax that is not registered before an empty company.
        {R"({"do":"enter","control":"medCdImposto","text":"99"})", At(taxCad, "medCdImposto"),
         At(companyInf, "medCdEmpresa")},
        {R"({"do":"enter","control":"medCdEmpresa","text":"01"})", At(taxInf, "medCdImposto"), {}},
        // The company before the registration; the light check asks for the company alone.
        {R"({"do":"enter","control":"medCdImposto","text":"01"},
            {"do":"enter","control":"depDtInicial","text":"01022024"},
            {"do":"enter","control":"depDtFinal","text":"31012024"})",
         At(companyInf, "medCdEmpresa"), At(companyInf, "medCdEmpresa")},
        // The registration before the dates' order.
        {R"({"do":"enter","control":"medCdImposto","text":"01"},
            {"do":"enter","control":"medCdEmpresa","text":"01"},
            {"do":"enter","control":"depDtInicial","text":"01022024"},
            {"do":"enter","control":"depDtFinal","text":"31012024"})",
         At(stateInf, "edtInscricao"), At(order, "depDtInicial")},
        // The dates' order before the lists; the light check skips the lists.
        {R"({"do":"enter","control":"medCdImposto","text":"02"},
            {"do":"enter","control":"medCdEmpresa","text":"01"},
            {"do":"click","control":"rdbListaFor"},
            {"do":"enter","control":"depDtInicial","text":"01022024"},
            {"do":"enter","control":"depDtFinal","text":"31012024"})",
         At(order, "depDtInicial"), At(order, "depDtInicial")},
        // Equal dates pass the order; an empty initial date is the period check's.
        {R"({"do":"enter","control":"medCdImposto","text":"02"},
            {"do":"enter","control":"medCdEmpresa","text":"01"},
            {"do":"click","control":"rdbListaFor"},
            {"do":"enter","control":"depDtFinal","text":"31012024"})",
         At(initialInf, "depDtInicial"),
         {}},
        {R"({"do":"enter","control":"medCdImposto","text":"02"},
            {"do":"enter","control":"medCdEmpresa","text":"01"},
            {"do":"click","control":"rdbListaFor"},
            {"do":"enter","control":"depDtInicial","text":"31032024"},
            {"do":"enter","control":"depDtFinal","text":"31032024"})",
         At(noMap, "depDtInicial"),
         {}},
        {R"({"do":"enter","control":"medCdImposto","text":"02"},
            {"do":"enter","control":"medCdEmpresa","text":"01"},
            {"do":"click","control":"rdbListaFor"},
            {"do":"enter","control":"depDtInicial","text":"31012024"},
            {"do":"enter","control":"depDtFinal","text":"31012024"})",
         At(supplierInf, "rdbListaFor"),
         {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.steps);
        const QByteArray steps(c.steps);
        const JobRun full =
            RunJob("[" + steps + R"(,{"do":"action","name":"print","file":"$DIR/x.pdf"}])");
        EXPECT_EQ(full.messages().value(full.messages().size() - 1), c.full);
        EXPECT_TRUE(full.reports().isEmpty());
        const JobRun light = RunJob("[" + steps + R"(,{"do":"action","name":"edit"}])");
        const QStringList lightMessages = light.messages();
        // Messages of the typing steps come first; the action's is the last one, if any.
        const qsizetype typed = full.messages().size() - 1;
        EXPECT_EQ(lightMessages.mid(typed),
                  c.light.isEmpty() ? QStringList() : QStringList{c.light});
        EXPECT_EQ(light.reports().size(), c.light.isEmpty() ? 1 : 0);
    }
}

TEST(BatchWholeForm, ATaxWithoutRegistrationReportsWithTheEmptyRegistration)
{
    const JobRun r = RunJob(R"([
        {"do":"enter","control":"medCdImposto","text":"02"},
        {"do":"enter","control":"medCdEmpresa","text":"01"},
        {"do":"enter","control":"depDtInicial","text":"01012024"},
        {"do":"enter","control":"depDtFinal","text":"29022024"},
        {"do":"action","name":"save","file":"$DIR/ipi.csv"}])");
    ASSERT_EQ(r.status, 0) << qPrintable(r.errors) << qPrintable(r.messages().join('\n'));
    ASSERT_EQ(r.reports().size(), 1);
    EXPECT_EQ(r.reports()[0]["action"].toString(), "save");
    const QJsonObject p = r.params();
    EXPECT_EQ(p["P_CDINSCRICAO"], QJsonValue(""));
    EXPECT_EQ(p["P_CDIMPOSTO"], QJsonValue("02"));
    EXPECT_EQ(p["P_CDEMPRESA"], QJsonValue("01"));
    EXPECT_EQ(p["P_DTFINAL"].toObject()["date"].toString(), "2024-02-29");
}

TEST(BatchWholeForm, ReportEditWithOnlyTheCompany)
{
    const JobRun r = RunJob(R"([
        {"do":"enter","control":"medCdEmpresa","text":"2"},
        {"do":"click","control":"rdbListaFil"},
        {"do":"action","name":"edit"}])");
    ASSERT_EQ(r.status, 0) << qPrintable(r.errors) << qPrintable(r.messages().join('\n'));
    ASSERT_EQ(r.reports().size(), 1);
    EXPECT_EQ(r.reports()[0]["action"].toString(), "edit");
    const QJsonObject p = r.params();
    EXPECT_EQ(p.size(), 9);
    EXPECT_EQ(p["P_CDEMPRESA"], QJsonValue("02"));
    EXPECT_EQ(p["P_CDIMPOSTO"], QJsonValue(""));
    EXPECT_EQ(p["P_CDINSCRICAO"], QJsonValue(""));
    EXPECT_EQ(p["P_CDFILIAL"], QJsonValue(""));
    EXPECT_EQ(p["P_TCDFILIAL"], QJsonValue("T"));
    EXPECT_EQ(p["P_CDFORNECED"], QJsonValue(""));
    EXPECT_EQ(p["P_TCDFORNECED"], QJsonValue("T"));
}

} // namespace
