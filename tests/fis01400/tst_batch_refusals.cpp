// What the batch runner cannot do on the screen FIS01400: steps its controls do not take and
// actions without their file refuse the whole job; a lookup's row the dialog lacks fails its
// step.
#include "BatchRun.h"

namespace {

struct Refusal
{
    const char *name;
    const char *steps;
    QStringList reasons; // a fragment of each problem, in order
};

void PrintTo(const Refusal &refusal, std::ostream *os)
{
    *os << refusal.name;
}

class BatchRefusals : public ::testing::TestWithParam<Refusal>
{
};

TEST_P(BatchRefusals, TheJobIsRefusedBeforeItsFirstStep)
{
    const Refusal &c = GetParam();
    const JobRun r = RunRefusedJob(BatchEnvironment(), QStringLiteral("FIS01400"), c.steps);
    const QList<QJsonObject> errors = r.events(QStringLiteral("error"));
    ASSERT_EQ(errors.size(), c.reasons.size()) << qPrintable(r.errors);
    for (qsizetype i = 0; i < errors.size(); ++i) {
        const QString text = errors[i].value(QLatin1String("text")).toString();
        EXPECT_TRUE(text.contains(c.reasons[i])) << qPrintable(text);
        EXPECT_TRUE(r.errors.contains(text)) << "not on standard error: " << qPrintable(text);
    }
    EXPECT_TRUE(r.reports().isEmpty());
    EXPECT_TRUE(r.dialogs().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Steps, BatchRefusals,
    ::testing::Values(
        Refusal{"LookupOnAMaskedEdit",
                R"([{"do":"lookup","control":"medCdImposto","pick":0}])",
                {"Passo 1, controle 'medCdImposto': é um TMaskEdit que não abre a pesquisa"}},
        Refusal{"LookupOnTheListButton",
                R"([{"do":"lookup","control":"btnPesqForne","pick":0}])",
                {"controle 'btnPesqForne': é um TBtnPesquisa que não abre a pesquisa"}},
        Refusal{"ListOnALookupButton",
                R"([{"do":"list","control":"btpInscricao","pick":["1"]}])",
                {"controle 'btpInscricao': é um TBtnPesquisa que não abre uma lista"}},
        Refusal{"ListOnARadioButton",
                R"([{"do":"list","control":"rdbListaFor","pick":[]}])",
                {"controle 'rdbListaFor': é um TRadioButton que não abre uma lista"}},
        Refusal{"ClickOnADateField",
                R"([{"do":"click","control":"depDtInicial"}])",
                {"controle 'depDtInicial': é um TDateEditPlus, não um botão"}},
        Refusal{"TypingIntoALookupButton",
                R"([{"do":"enter","control":"btpImposto","text":"01"}])",
                {"controle 'btpImposto': é um TBtnPesquisa e não recebe texto"}},
        Refusal{"TypingIntoARadioButton",
                R"([{"do":"enter","control":"rdbTodosFil","text":"x"}])",
                {"controle 'rdbTodosFil': é um TRadioButton e não recebe texto"}},
        Refusal{"FocusOnALookupButton",
                R"([{"do":"focus","control":"btnDataIni"}])",
                {"controle 'btnDataIni': é um TBtnPesquisa e não recebe o foco"}},
        Refusal{"AControlTheScreenLacks",
                R"([{"do":"enter","control":"medCdImposto","text":"01"},
                    {"do":"click","control":"netDocForne"}])",
                {"Passo 2, controle 'netDocForne': não existe na tela FIS01400"}},
        Refusal{"PrintWithoutAFile",
                R"([{"do":"action","name":"print"}])",
                {"Passo 1: a ação 'print' grava um arquivo e falta o arquivo"}},
        Refusal{"PreviewToAnEmptyFile",
                R"([{"do":"action","name":"preview","file":""}])",
                {"a ação 'preview' grava um arquivo e o nome do arquivo está vazio"}},
        Refusal{"SaveToABlankFile",
                R"([{"do":"action","name":"save","file":"  "}])",
                {"a ação 'save' grava um arquivo e o nome do arquivo está vazio"}},
        Refusal{"SaveToAFileThatIsNoText",
                R"([{"do":"action","name":"save","file":null}])",
                {"o arquivo da ação 'save' deve ser um texto, não null"}},
        Refusal{"BackgroundWithoutAFile",
                R"([{"do":"action","name":"background","format":"csv"}])",
                {"a ação 'background' grava um arquivo e falta o arquivo"}},
        Refusal{"BackgroundToAFileThatNamesNoFormat",
                R"([{"do":"action","name":"background","file":"$DIR/fila.txt"}])",
                {"fila.txt' não diz o formato"}},
        Refusal{"BackgroundInAnUnknownFormat",
                R"([{"do":"action","name":"background","file":"$DIR/fila.pdf","format":"doc"}])",
                {"formato desconhecido: use pdf, csv, xlsx, html"}},
        Refusal{"BackgroundWithAFormatThatIsNoText",
                R"([{"do":"action","name":"background","file":"$DIR/fila","format":1}])",
                {"formato desconhecido"}},
        Refusal{"BackgroundWaitingNoTime",
                R"([{"do":"action","name":"background","file":"$DIR/fila.csv","timeout":0}])",
                {"\"timeout\" deve ser um número inteiro de segundos"}},
        Refusal{"BackgroundWaitingAFraction",
                R"([{"do":"action","name":"background","file":"$DIR/fila.csv","timeout":2.5}])",
                {"\"timeout\" deve ser um número inteiro de segundos"}},
        // The good steps before and between do not run: the job is refused whole.
        Refusal{"EveryProblemAtOnce",
                R"([{"do":"enter","control":"medCdImposto","text":"01"},
                    {"do":"lookup","control":"edtInscricao","pick":0},
                    {"do":"action","name":"edit"},
                    {"do":"list","control":"btnDataFim"},
                    {"do":"action","name":"print","file":"$DIR/nada.pdf"},
                    {"do":"action","name":"preview"}])",
                {"Passo 2, controle 'edtInscricao': é um TEdit",
                 "Passo 4, controle 'btnDataFim': é um TBtnPesquisa",
                 "Passo 6: a ação 'preview'"}}),
    [](const ::testing::TestParamInfo<Refusal> &info) { return std::string(info.param.name); });

// A row the search dialog lacks: the dialog is cancelled, nothing is chosen, the step fails
// with the pick and the dialog's rows named, and the job goes on.
TEST(BatchPick, ARowBeyondTheDialogFailsItsStep)
{
    const JobRun r = RunJob(R"([{"do":"enter","control":"medCdImposto","text":"01"},
        {"do":"enter","control":"medCdEmpresa","text":"01"},
        {"do":"enter","control":"edtInscricao","text":"110042490114"},
        {"do":"lookup","control":"btnDataIni","pick":99999},
        {"do":"dump"},
        {"do":"lookup","control":"btnDataIni","pick":2},
        {"do":"enter","control":"depDtInicial","text":"01032024"},
        {"do":"lookup","control":"btnDataFim","pick":1}])");
    EXPECT_EQ(r.status, 1) << "the last step failed";
    EXPECT_TRUE(r.messages().isEmpty()) << qPrintable(r.messages().join('\n'));
    EXPECT_FALSE(r.ok(4));
    EXPECT_TRUE(r.ok(5));
    EXPECT_TRUE(r.ok(6));
    EXPECT_FALSE(r.ok(8));
    EXPECT_EQ(r.errorTexts(),
              (QStringList{"Escolha 99999 fora da lista: o diálogo tem 3 linhas (de 0 a 2).",
                           "Escolha 1 fora da lista: o diálogo tem 1 linha (a 0)."}));
    const QList<QJsonObject> errors = r.events(QStringLiteral("error"));
    ASSERT_EQ(errors.size(), 2);
    EXPECT_EQ(errors[0]["step"].toInt(), 4);
    EXPECT_EQ(errors[0]["control"].toString(), "btnDataIni");
    EXPECT_EQ(errors[1]["step"].toInt(), 8);
    EXPECT_EQ(errors[1]["control"].toString(), "btnDataFim");
    // Cancelled: the fields stay as they were.
    EXPECT_EQ(r.text("depDtInicial"), "");
    EXPECT_EQ(r.text("depDtFinal"), "");
    EXPECT_EQ(r.dialogs().size(), 3);
}

// A pick by value the dialog cannot honour (no such column, no such row, codes the list lacks)
// cancels the dialog and fails its step, naming what is missing; the field keeps its value.
TEST(BatchPick, AValueTheDialogLacksFailsItsStep)
{
    const JobRun r = RunJob(R"([
        {"do":"lookup","control":"btpImposto","pick":{"CDIMPOSTONFE":"77"}},
        {"do":"lookup","control":"btpImposto","pick":{"NADA":"01"}},
        {"do":"lookup","control":"btpImposto","pick":{"CDIMPOSTONFE":"02"}},
        {"do":"click","control":"rdbListaFor"},
        {"do":"list","control":"btnPesqForne","pick":["04252011000110","00000000000000"]},
        {"do":"list","control":"btnPesqForne","pick":["04252011000110"]},
        {"do":"dump"}])");
    EXPECT_EQ(r.status, 0) << "the last step went well";
    for (int step : {1, 2, 5})
        EXPECT_FALSE(r.ok(step)) << step;
    for (int step : {3, 4, 6})
        EXPECT_TRUE(r.ok(step)) << step;
    const QStringList errors = r.errorTexts();
    ASSERT_EQ(errors.size(), 3);
    EXPECT_TRUE(errors[0].contains("CDIMPOSTONFE igual a '77'")) << qPrintable(errors[0]);
    EXPECT_EQ(errors[1], "O diálogo não tem a coluna 'NADA'.");
    EXPECT_EQ(errors[2], "A lista do diálogo não tem: 00000000000000.");
    EXPECT_EQ(r.text("medCdImposto"), "02");
}

} // namespace
