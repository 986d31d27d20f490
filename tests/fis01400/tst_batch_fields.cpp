// Tax, company and registration through the batch runner: each message with the control
// that holds the focus afterwards, and the screen's values.
#include "BatchRun.h"
#include "FieldRules.h"
#include "ScreenMessages.h"

namespace {

using namespace ScreenMessages;

// The rules the screen tests also run in their own process.
class BatchFieldRule : public ::testing::TestWithParam<FieldRule>
{
};

TEST_P(BatchFieldRule, AsTheTableSays)
{
    const FieldRule &rule = GetParam();
    const JobRun r = RunJob(rule.steps);
    ASSERT_NE(r.status, 2) << qPrintable(r.errors);
    EXPECT_EQ(r.messages(), rule.messages);
    const int lastDump = int(r.events(QStringLiteral("state")).size()) - 1;
    for (const auto &[control, expected] : rule.texts)
        EXPECT_EQ(r.text(QLatin1String(control), lastDump), expected) << control;
    for (const auto &[control, expected] : rule.enabled)
        EXPECT_EQ(r.enabled(QLatin1String(control), lastDump), expected) << control;
    const int steps = int(r.events(QStringLiteral("step")).size());
    if (rule.focus) {
        EXPECT_EQ(r.focusAfter(steps), QLatin1String(rule.focus));
    }
    for (const int n : rule.blocked)
        EXPECT_FALSE(r.ok(n)) << n;
}

INSTANTIATE_TEST_SUITE_P(FieldRules, BatchFieldRule, ::testing::ValuesIn(FieldRules()),
                         [](const auto &info) { return std::string(info.param.name); });

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
