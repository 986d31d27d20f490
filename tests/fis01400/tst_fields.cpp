// Tax, company, registration, suppliers and branches: what the batch trace cannot show,
// the registration kind the tax leaves, the parameters the queries ran with, the masks.
#include "FieldRules.h"
#include "ScreenTest.h"

#include "data/TADOIBQuery.h"
#include "data/TDataSource.h"
#include "data/TField.h"
#include "framework/Consiste.h"
#include "framework/controls/TBtnPesquisa.h"

namespace {

class Fields : public ScreenTest
{
protected:
    // The registration kind: the data source of the registration's lookup button.
    QString kind() const
    {
        const TDataSource *source = component<TBtnPesquisa>("btpInscricao")->DataSource();
        return source ? source->objectName() : QStringLiteral("nenhum");
    }
    QVariant param(const char *query, const char *name) const
    {
        return component<TADOIBQuery>(query)->ParamByName(QLatin1String(name))->Value();
    }
};

TEST_F(Fields, TheCollectingBodyDecidesKindAndRowSeparately)
{
    const struct
    {
        const char *tax, *name;
        bool rowEnabled;
        const char *kind;
    } steps[] = {
        {"08", "TAXA X", true, "nenhum"}, // another letter: row on, no kind chosen yet
        {"01", "ICMS", true, "dtsInscrEstad"},
        {"08", "TAXA X", true, "dtsInscrEstad"}, // the kind an earlier tax set stays
        {"02", "IPI", false, "dtsInscrEstad"},   // "F": row off, kind kept
        {"03", "ISS", true, "dtsInscrMuni"},
        {"04", "PIS", false, "dtsInscrMuni"},    // empty body
        {"05", "COFINS", false, "dtsInscrMuni"}, // no body at all
        {"03", "ISS", true, "dtsInscrMuni"},
        {"", "", false, "dtsInscrMuni"}, // erasing the tax and leaving: row off, kind kept
    };
    for (const auto &s : steps) {
        SCOPED_TRACE(s.tax);
        ASSERT_TRUE(enter("medCdImposto", QLatin1String(s.tax)));
        EXPECT_EQ(text("medCdImposto"), QLatin1String(s.tax));
        EXPECT_EQ(text("edtNmImposto"), QLatin1String(s.name));
        EXPECT_EQ(enabled("lblInscricao"), s.rowEnabled);
        EXPECT_EQ(enabled("edtInscricao"), s.rowEnabled);
        EXPECT_EQ(enabled("btpInscricao"), s.rowEnabled);
        EXPECT_EQ(kind(), QLatin1String(s.kind));
        EXPECT_EQ(focusName(), QStringLiteral("medCdEmpresa"));
    }
    EXPECT_TRUE(messages().isEmpty()) << qPrintable(messages().join('\n'));
}

TEST_F(Fields, AFailedTaxKeepsKindAndRowButLosesTheRegistrationAtOnce)
{
    ASSERT_TRUE(enter("medCdImposto", QStringLiteral("01")));
    ASSERT_TRUE(enter("medCdEmpresa", QStringLiteral("01")));
    ASSERT_TRUE(enter("edtInscricao", QStringLiteral("110042490114")));
    ASSERT_TRUE(enter("medCdImposto", QStringLiteral("9"))); // padded to "09", no tax of it
    EXPECT_EQ(messages(), QStringList{QStringLiteral("Imposto não cadastrado.")});
    EXPECT_EQ(focusName(), QStringLiteral("medCdImposto"));
    EXPECT_EQ(text("medCdImposto"), QStringLiteral("09"));
    EXPECT_TRUE(text("edtInscricao").isEmpty());
    EXPECT_TRUE(enabled("edtInscricao"));
    EXPECT_EQ(kind(), QStringLiteral("dtsInscrEstad"));
    // The query stays open, without a row.
    EXPECT_TRUE(component<TADOIBQuery>("qryImposto")->Active());
    EXPECT_TRUE(component<TADOIBQuery>("qryImposto")->IsEmpty());
}

TEST_F(Fields, OneDigitCodesArePaddedBeforeTheQueryRuns)
{
    ASSERT_TRUE(enter("medCdImposto", QStringLiteral("3")));
    EXPECT_EQ(param("qryImposto", "P_CDIMPOSTO"), QVariant(QStringLiteral("03")));
    EXPECT_EQ(text("medCdImposto"), QStringLiteral("03"));
    EXPECT_EQ(text("edtNmImposto"), QStringLiteral("ISS"));
    ASSERT_TRUE(enter("medCdEmpresa", QStringLiteral("5")));
    EXPECT_EQ(param("qryEmpresa", "P_CDEMPRESA"), QVariant(QStringLiteral("05")));
    EXPECT_EQ(text("medCdEmpresa"), QStringLiteral("05"));
    EXPECT_EQ(text("edtNmEmpresa"), QStringLiteral("Cinco Irmãos Comércio Ltda"));
    EXPECT_TRUE(messages().isEmpty()) << qPrintable(messages().join('\n'));
}

TEST_F(Fields, MasksAndEntryLimits)
{
    // Two digits at most; letters are refused.
    ASSERT_TRUE(enter("medCdImposto", QStringLiteral("a0b1c9")));
    EXPECT_EQ(text("medCdImposto"), QStringLiteral("01"));
    ASSERT_TRUE(enter("medCdEmpresa", QStringLiteral("x0y2z5")));
    EXPECT_EQ(text("medCdEmpresa"), QStringLiteral("02"));
    EXPECT_TRUE(messages().isEmpty()) << qPrintable(messages().join('\n'));
    // The registration takes sixteen characters of any kind.
    ASSERT_TRUE(enter("edtInscricao", QStringLiteral("Ab-1/2.3 ç_Z98765432")));
    EXPECT_EQ(text("edtInscricao"), QStringLiteral("Ab-1/2.3 ç_Z9876"));
    EXPECT_EQ(messages(), QStringList{QStringLiteral("Inscrição estadual não cadastrada.")});
    EXPECT_EQ(focusName(), QStringLiteral("edtInscricao"));
}

TEST_F(Fields, TheRegistrationIsCheckedForTheCompanyWithTheAllMarkerCleared)
{
    ASSERT_TRUE(enter("medCdImposto", QStringLiteral("01")));
    ASSERT_TRUE(enter("medCdEmpresa", QStringLiteral("01")));
    lookup("btpInscricao", QStringLiteral("CDINSCESTA"), QStringLiteral("206001234567"));
    EXPECT_EQ(param("qryInscEsta", "P_TCDINSCESTA"), QVariant(QStringLiteral("T")));
    EXPECT_TRUE(param("qryInscEsta", "P_CDINSCESTA").isNull());
    EXPECT_EQ(param("qryInscEsta", "P_CDEMPRESA"), QVariant(QStringLiteral("01")));
    EXPECT_EQ(text("edtInscricao"), QStringLiteral("206001234567"));

    // Company 02's registration is no registration of company 01.
    ASSERT_TRUE(enter("edtInscricao", QStringLiteral("110099887766")));
    EXPECT_EQ(messages(), QStringList{QStringLiteral("Inscrição estadual não cadastrada.")});
    EXPECT_TRUE(param("qryInscEsta", "P_TCDINSCESTA").isNull());
    EXPECT_EQ(param("qryInscEsta", "P_CDINSCESTA"), QVariant(QStringLiteral("110099887766")));
    EXPECT_EQ(focusName(), QStringLiteral("edtInscricao"));
    EXPECT_EQ(text("edtInscricao"), QStringLiteral("110099887766"));

    // Municipal: an empty company code is looked for as "T", which no company has.
    ASSERT_TRUE(enter("edtInscricao", QString()));
    ASSERT_TRUE(enter("medCdEmpresa", QString()));
    ASSERT_TRUE(enter("medCdImposto", QStringLiteral("03")));
    ASSERT_TRUE(enter("edtInscricao", QStringLiteral("12345678")));
    EXPECT_EQ(param("qryInscrMuni", "P_CDEMPRESA"), QVariant(QStringLiteral("T")));
    EXPECT_EQ(messages().last(), QStringLiteral("Inscrição Municipal não cadastrada."));
    EXPECT_EQ(focusName(), QStringLiteral("edtInscricao"));
}

// The row the user picked is the one written, also when the tax was changed through its
// lookup and not yet left, so that the list shown and the tax no longer agree.
TEST_F(Fields, TheRegistrationLookupWritesThePickedRow)
{
    ASSERT_TRUE(enter("medCdImposto", QStringLiteral("01")));
    ASSERT_TRUE(enter("medCdEmpresa", QStringLiteral("01")));
    lookup("btpInscricao", QStringLiteral("CDINSCESTA"), QStringLiteral("110042490114"));
    ASSERT_EQ(text("edtInscricao"), QStringLiteral("110042490114"));
    lookup("btpImposto", QStringLiteral("CDIMPOSTONFE"), QStringLiteral("03"));
    EXPECT_EQ(text("medCdImposto"), QStringLiteral("03"));
    EXPECT_EQ(text("edtNmImposto"), QStringLiteral("ISS"));
    EXPECT_TRUE(text("edtInscricao").isEmpty());
    EXPECT_EQ(kind(), QStringLiteral("dtsInscrEstad")) << "decided only when the tax is left";

    lookupRow("btpInscricao", 1); // the state list, as the kind still says
    const QList<QJsonObject> dialogs = recorder.of(QStringLiteral("dialog"));
    ASSERT_FALSE(dialogs.isEmpty());
    EXPECT_EQ(dialogs.last().value(QLatin1String("title")).toString(),
              QStringLiteral("Inscrição Municipal"));
    EXPECT_EQ(dialogs.last().value(QLatin1String("rows")).toInt(), 2);
    EXPECT_EQ(text("edtInscricao"), QStringLiteral("206001234567"));
    EXPECT_TRUE(messages().isEmpty()) << qPrintable(messages().join('\n'));
}

TEST_F(Fields, TheSupplierListTakesTheMaskOfTheFirstSupplierByName)
{
    click("rdbListaFor");
    click("btnPesqForne"); // cancelled
    auto *query = component<TADOIBQuery>("qryFornecedor");
    ASSERT_TRUE(query->Active());
    EXPECT_EQ(query->FieldByName(QStringLiteral("IDTPIJURFORN"))->AsString(), QStringLiteral("F"));
    EXPECT_EQ(query->FieldByName(QStringLiteral("NRINSJURFORN"))->EditMask(),
              Consiste::PictPess(QStringLiteral("F")));
    const QList<QJsonObject> dialogs = recorder.of(QStringLiteral("dialog"));
    ASSERT_EQ(dialogs.size(), 1);
    EXPECT_EQ(dialogs[0].value(QLatin1String("kind")).toString(), QStringLiteral("list"));
    EXPECT_EQ(dialogs[0].value(QLatin1String("title")).toString(), QStringLiteral("Fornecedor"));
    EXPECT_EQ(dialogs[0].value(QLatin1String("rows")).toInt(), 3);
    EXPECT_TRUE(global<QString>("stFornecedor").isEmpty()) << "a cancelled dialog leaves it";
}

TEST_F(Fields, TheListStringFollowsTodosListaAndEachPick)
{
    click("rdbListaFil");
    EXPECT_TRUE(enabled("btnFilial"));
    pickList("btnFilial", {QStringLiteral("1")});
    EXPECT_EQ(global<QString>("stFilial"), QStringLiteral("'1'"));
    pickList("btnFilial", {QStringLiteral("10"), QStringLiteral("2")});
    EXPECT_EQ(global<QString>("stFilial"), QStringLiteral("'10','2'")) << "the second replaces";
    EXPECT_EQ(recorder.of(QStringLiteral("dialog")).last().value(QLatin1String("title")).toString(),
              QStringLiteral("Filial"));
    click("rdbTodosFil");
    EXPECT_TRUE(global<QString>("stFilial").isEmpty());
    EXPECT_FALSE(enabled("btnFilial"));
    click("rdbListaFil");
    EXPECT_TRUE(global<QString>("stFilial").isEmpty());
    EXPECT_TRUE(enabled("btnFilial"));
    EXPECT_TRUE(messages().isEmpty()) << qPrintable(messages().join('\n'));
}

TEST_F(Fields, EachListButtonsHintSaysHowManyItHolds)
{
    const auto hint = [this](const char *name) { return component<TBtnPesquisa>(name)->Hint(); };
    click("rdbListaFil");
    pickList("btnFilial", {QStringLiteral("1")});
    EXPECT_EQ(hint("btnFilial"), QStringLiteral("1 filial selecionada"));
    pickList("btnFilial", {QStringLiteral("10"), QStringLiteral("2")});
    EXPECT_EQ(hint("btnFilial"), QStringLiteral("2 filiais selecionadas"));
    EXPECT_EQ(hint("btnPesqForne"), QStringLiteral("Pesquisar"));
    click("rdbListaFor");
    pickList("btnPesqForne", {QStringLiteral("11222333000181"), QStringLiteral("04252011000110")});
    EXPECT_EQ(hint("btnPesqForne"), QStringLiteral("2 fornecedores selecionados"));
    click("rdbTodosFil");
    EXPECT_EQ(hint("btnFilial"), QStringLiteral("Pesquisar")) << "\"Todos\" drops the list";
    EXPECT_EQ(hint("btnPesqForne"), QStringLiteral("2 fornecedores selecionados"));
    EXPECT_TRUE(messages().isEmpty()) << qPrintable(messages().join('\n'));
}

// The rules the batch tests also run, here in the test's own process.
class FieldRuleOnScreen : public ScreenTest, public ::testing::WithParamInterface<FieldRule>
{
};

TEST_P(FieldRuleOnScreen, AsTheTableSays)
{
    const FieldRule &rule = GetParam();
    QList<int> blocked;
    EXPECT_EQ(runSteps(rule.steps, &blocked), rule.messages);
    for (const auto &[control, expected] : rule.texts)
        EXPECT_EQ(text(control), expected) << control;
    for (const auto &[control, expected] : rule.enabled)
        EXPECT_EQ(enabled(control), expected) << control;
    if (rule.focus) {
        EXPECT_EQ(focusName(), QLatin1String(rule.focus));
    }
    EXPECT_EQ(blocked, rule.blocked);
}

INSTANTIATE_TEST_SUITE_P(FieldRules, FieldRuleOnScreen, ::testing::ValuesIn(FieldRules()),
                         [](const auto &info) { return std::string(info.param.name); });

} // namespace
