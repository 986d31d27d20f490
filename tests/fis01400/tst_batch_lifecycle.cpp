// The module's one screen through the batch runner: entry twice, close and reopen, the lists
// that outlive a screen, the unload.
#include "BatchRun.h"

namespace {

TEST(BatchLifecycle, IniProcTwiceKeepsTheScreenAndItsValues)
{
    const JobRun r = RunJob(R"([
        {"do":"enter","control":"medCdImposto","text":"01"},
        {"do":"enter","control":"medCdEmpresa","text":"01"},
        {"do":"enter","control":"edtInscricao","text":"110042490114"},
        {"do":"open"},
        {"do":"dump"}])");
    ASSERT_EQ(r.status, 0) << qPrintable(r.errors);
    EXPECT_TRUE(r.messages().isEmpty()) << qPrintable(r.messages().join('\n'));
    EXPECT_EQ(r.text("medCdImposto"), "01");
    EXPECT_EQ(r.text("edtNmImposto"), "ICMS");
    EXPECT_EQ(r.text("medCdEmpresa"), "01");
    EXPECT_EQ(r.text("edtNmEmpresa"), "Velmora Indústria e Comércio S.A.");
    EXPECT_EQ(r.text("edtInscricao"), "110042490114");
    EXPECT_TRUE(r.enabled("edtInscricao"));
}

TEST(BatchLifecycle, CloseAndOpenGivesAFreshScreen)
{
    const JobRun r = RunJob(R"([
        {"do":"enter","control":"medCdImposto","text":"01"},
        {"do":"click","control":"rdbListaFor"},
        {"do":"close"},
        {"do":"open"},
        {"do":"dump"}])");
    ASSERT_EQ(r.status, 0) << qPrintable(r.errors);
    EXPECT_EQ(r.text("medCdImposto"), "");
    EXPECT_EQ(r.text("edtNmImposto"), "");
    EXPECT_FALSE(r.enabled("lblInscricao"));
    EXPECT_FALSE(r.enabled("edtInscricao"));
    EXPECT_FALSE(r.enabled("btpInscricao"));
    EXPECT_TRUE(r.checked("rdbTodosFor"));
    EXPECT_FALSE(r.checked("rdbListaFor"));
    EXPECT_TRUE(r.checked("rdbTodosFil"));
    EXPECT_FALSE(r.enabled("btnPesqForne"));
    EXPECT_FALSE(r.enabled("btnFilial"));
    EXPECT_EQ(r.focusAfter(4), "medCdImposto");
}

// A list picked on an earlier screen is still the module's: the next screen shows "Lista"
// and the report receives that list until "Todos" is clicked.
TEST(BatchLifecycle, AListHeldAcrossScreensIsShownAndReported)
{
    const JobRun r = RunJob(R"([
        {"do":"click","control":"rdbListaFor"},
        {"do":"list","control":"btnPesqForne","pick":["04252011000110"]},
        {"do":"close"},
        {"do":"open"},
        {"do":"dump"},
        {"do":"enter","control":"medCdImposto","text":"01"},
        {"do":"enter","control":"medCdEmpresa","text":"01"},
        {"do":"enter","control":"edtInscricao","text":"110042490114"},
        {"do":"enter","control":"depDtInicial","text":"01012024"},
        {"do":"enter","control":"depDtFinal","text":"31012024"},
        {"do":"action","name":"print","file":"$DIR/lista.pdf"},
        {"do":"click","control":"rdbTodosFor"},
        {"do":"action","name":"print","file":"$DIR/todos.pdf"},
        {"do":"dump"}])");
    ASSERT_EQ(r.status, 0) << qPrintable(r.errors);
    EXPECT_TRUE(r.messages().isEmpty()) << qPrintable(r.messages().join('\n'));
    EXPECT_TRUE(r.checked("rdbListaFor"));
    EXPECT_TRUE(r.enabled("btnPesqForne"));
    EXPECT_TRUE(r.checked("rdbTodosFil"));
    EXPECT_FALSE(r.enabled("btnFilial"));
    EXPECT_EQ(r.params(0)["P_CDFORNECED"].toString(), "'04252011000110'");
    EXPECT_EQ(r.params(0)["P_TCDFORNECED"].toString(), "");
    EXPECT_EQ(r.params(1)["P_CDFORNECED"].toString(), "");
    EXPECT_EQ(r.params(1)["P_TCDFORNECED"].toString(), "T");
    ASSERT_EQ(r.reports().size(), 2);
    EXPECT_EQ(r.reports()[0]["rows"].toInt(), 2); // the two documents of that supplier
    EXPECT_EQ(r.reports()[1]["rows"].toInt(), 3);
    EXPECT_FALSE(r.enabled("btnPesqForne", 1));
}

TEST(BatchLifecycle, UnloadingTheModuleEndsItsLists)
{
    const JobRun r = RunJob(R"([
        {"do":"click","control":"rdbListaFil"},
        {"do":"list","control":"btnFilial","pick":["10"]},
        {"do":"unload"},
        {"do":"open"},
        {"do":"dump"},
        {"do":"enter","control":"medCdEmpresa","text":"01"},
        {"do":"action","name":"edit"}])");
    ASSERT_EQ(r.status, 0) << qPrintable(r.errors);
    EXPECT_TRUE(r.checked("rdbTodosFil"));
    EXPECT_FALSE(r.enabled("btnFilial"));
    EXPECT_EQ(r.params(0)["P_CDFILIAL"].toString(), "");
    EXPECT_EQ(r.params(0)["P_TCDFILIAL"].toString(), "T");
}

} // namespace
