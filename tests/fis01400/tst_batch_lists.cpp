// Suppliers and branches through the batch runner: "Todos" and "Lista", the list dialogs,
// the missing-list checks and what the report receives.
#include "BatchRun.h"
#include "ScreenMessages.h"

namespace {

using namespace ScreenMessages;

// Tax, company, registration and a period with maps: everything but the lists is valid.
const QByteArray validFields = R"(
    {"do":"enter","control":"medCdImposto","text":"01"},
    {"do":"enter","control":"medCdEmpresa","text":"01"},
    {"do":"enter","control":"edtInscricao","text":"110042490114"},
    {"do":"enter","control":"depDtInicial","text":"01012024"},
    {"do":"enter","control":"depDtFinal","text":"31012024"},)";

TEST(BatchLists, AFreshScreenReportsEverything)
{
    const JobRun r = RunJob("[" + validFields + R"(
        {"do":"dump"},
        {"do":"action","name":"print","file":"$DIR/tudo.pdf"}])");
    ASSERT_EQ(r.status, 0) << qPrintable(r.errors);
    EXPECT_TRUE(r.messages().isEmpty()) << qPrintable(r.messages().join('\n'));
    EXPECT_TRUE(r.checked("rdbTodosFor"));
    EXPECT_TRUE(r.checked("rdbTodosFil"));
    EXPECT_FALSE(r.enabled("btnPesqForne"));
    EXPECT_FALSE(r.enabled("btnFilial"));
    const QJsonObject p = r.params();
    EXPECT_EQ(p["P_CDFILIAL"], QJsonValue(""));
    EXPECT_EQ(p["P_TCDFILIAL"], QJsonValue("T"));
    EXPECT_EQ(p["P_CDFORNECED"], QJsonValue(""));
    EXPECT_EQ(p["P_TCDFORNECED"], QJsonValue("T"));
    ASSERT_EQ(r.reports().size(), 1);
    EXPECT_EQ(r.reports()[0]["action"].toString(), "print");
    EXPECT_EQ(r.reports()[0]["rows"].toInt(), 3);
}

TEST(BatchLists, ListaWithoutAListStopsTheFullCheckOnly)
{
    const JobRun r = RunJob("[" + validFields + R"(
        {"do":"click","control":"rdbListaFor"},
        {"do":"action","name":"print","file":"$DIR/x.pdf"},
        {"do":"action","name":"edit"}])");
    EXPECT_EQ(r.messages(), QStringList{At(supplierInf, "rdbListaFor")});
    ASSERT_EQ(r.reports().size(), 1);
    EXPECT_EQ(r.reports()[0]["action"].toString(), "edit");
    // The report query asked once, for the editor: "Lista" without a list is "all".
    ASSERT_EQ(r.events(QStringLiteral("params")).size(), 1);
    EXPECT_EQ(r.params()["P_CDFORNECED"], QJsonValue(""));
    EXPECT_EQ(r.params()["P_TCDFORNECED"], QJsonValue("T"));
}

TEST(BatchLists, TheBranchCheckFindsItsMessageInAnotherLetterCase)
{
    const JobRun r = RunJob("[" + validFields + R"(
        {"do":"click","control":"rdbListaFil"},
        {"do":"action","name":"preview","file":"$DIR/x.pdf"}])");
    EXPECT_EQ(r.messages(), QStringList{At(branchInf, "rdbListaFil")});
    EXPECT_TRUE(r.reports().isEmpty());
}

TEST(BatchLists, SuppliersAreCheckedBeforeBranches)
{
    const JobRun r = RunJob("[" + validFields + R"(
        {"do":"click","control":"rdbListaFil"},
        {"do":"click","control":"rdbListaFor"},
        {"do":"action","name":"print","file":"$DIR/x.pdf"},
        {"do":"list","control":"btnPesqForne","pick":["52998224725"]},
        {"do":"action","name":"print","file":"$DIR/x.pdf"}])");
    EXPECT_EQ(r.messages(),
              (QStringList{At(supplierInf, "rdbListaFor"), At(branchInf, "rdbListaFil")}));
}

TEST(BatchLists, TodosEndsAListAndListaDoesNotBringItBack)
{
    const JobRun r = RunJob("[" + validFields + R"(
        {"do":"click","control":"rdbListaFor"},
        {"do":"list","control":"btnPesqForne","pick":["04252011000110"]},
        {"do":"click","control":"rdbTodosFor"},
        {"do":"dump"},
        {"do":"click","control":"rdbListaFor"},
        {"do":"action","name":"print","file":"$DIR/x.pdf"}])");
    EXPECT_FALSE(r.enabled("btnPesqForne"));
    EXPECT_EQ(r.messages(), QStringList{At(supplierInf, "rdbListaFor")});
    const QList<QJsonObject> dialogs = r.dialogs();
    ASSERT_EQ(dialogs.size(), 1);
    EXPECT_EQ(dialogs[0]["kind"].toString(), "list");
    EXPECT_EQ(dialogs[0]["title"].toString(), "Fornecedor");
    EXPECT_EQ(dialogs[0]["rows"].toInt(), 3);
}

// Branch "1" is not branch "10": the list carries each key whole.
TEST(BatchLists, TheReportReceivesTheLatestListAsPicked)
{
    const JobRun r = RunJob("[" + validFields + R"(
        {"do":"click","control":"rdbListaFil"},
        {"do":"list","control":"btnFilial","pick":["1"]},
        {"do":"action","name":"print","file":"$DIR/um.pdf"},
        {"do":"list","control":"btnFilial","pick":["10"]},
        {"do":"action","name":"print","file":"$DIR/dez.pdf"},
        {"do":"click","control":"rdbListaFor"},
        {"do":"list","control":"btnPesqForne","pick":["11222333000181","04252011000110"]},
        {"do":"action","name":"print","file":"$DIR/ambos.pdf"}])");
    ASSERT_EQ(r.status, 0) << qPrintable(r.errors);
    EXPECT_TRUE(r.messages().isEmpty()) << qPrintable(r.messages().join('\n'));
    EXPECT_EQ(r.dialogs().value(0)["title"].toString(), "Filial");
    EXPECT_EQ(r.dialogs().value(0)["rows"].toInt(), 3);
    EXPECT_EQ(r.params(0)["P_CDFILIAL"], QJsonValue("'1'"));
    EXPECT_EQ(r.params(0)["P_TCDFILIAL"], QJsonValue(""));
    EXPECT_EQ(r.params(1)["P_CDFILIAL"], QJsonValue("'10'"));
    // In the dialog's row order: by name.
    EXPECT_EQ(r.params(2)["P_CDFORNECED"], QJsonValue("'04252011000110','11222333000181'"));
    EXPECT_EQ(r.params(2)["P_TCDFORNECED"], QJsonValue(""));
    ASSERT_EQ(r.reports().size(), 3);
    EXPECT_EQ(r.reports()[0]["rows"].toInt(), 1);
    EXPECT_EQ(r.reports()[1]["rows"].toInt(), 2);
    EXPECT_EQ(r.reports()[2]["rows"].toInt(), 2);
}

} // namespace
