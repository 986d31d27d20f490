// The one screen of the module between the host and its close: IniProc twice, close and
// reopen, a creation that fails, a screen released after the next one was made, the lists
// that outlive a screen, and the unit finalisation.
#include "ScreenTest.h"

#include "framework/Dispatch.h"
#include "framework/TApplication.h"
#include "framework/TNetConnection.h"
#include "rtl/Exceptions.h"

#include <QGuiApplication>
#include <QMdiArea>
#include <QPointer>

namespace {

using Proc = void (*)();

class Lifecycle : public ScreenTest
{
protected:
    Proc procedure(const char *name) const
    {
        return host->Packages().Procedure<Proc>(QLatin1String(package), QLatin1String(name));
    }
    void *frmDocForne() const { return global<void *>("frmDocForne"); }
    void closeScreen()
    {
        screen()->Close();
        settle();
    }
    int windows() const
    {
        return static_cast<int>(host->Window().MdiArea()->subWindowList().size());
    }
};

TEST_F(Lifecycle, IniProcTwiceShowsTheSameScreenWithItsValuesAtItsNormalSize)
{
    ASSERT_TRUE(enter("medCdImposto", QStringLiteral("01")));
    ASSERT_TRUE(enter("medCdEmpresa", QStringLiteral("01")));
    QPointer<TForm> first = screen();
    first->SetWindowState(TWindowState::wsMinimized);
    ASSERT_EQ(first->WindowState(), TWindowState::wsMinimized);

    ASSERT_TRUE(open());
    EXPECT_EQ(host->Packages().OpenScreens(QLatin1String(package)), QList<TForm *>{first.data()});
    EXPECT_EQ(windows(), 1);
    EXPECT_EQ(first->WindowState(), TWindowState::wsNormal);
    EXPECT_EQ(frmDocForne(), static_cast<void *>(first.data()));
    EXPECT_TRUE(global<bool>("boStCriado"));
    EXPECT_EQ(text("medCdImposto"), QStringLiteral("01"));
    EXPECT_EQ(text("edtNmImposto"), QStringLiteral("ICMS"));
    EXPECT_EQ(text("medCdEmpresa"), QStringLiteral("01"));
    EXPECT_EQ(text("edtNmEmpresa"), QStringLiteral("Velmora Indústria e Comércio S.A."));
    EXPECT_TRUE(enabled("edtInscricao"));
    EXPECT_EQ(TApplication::instance().ScreenCursor(), 0);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(messages().isEmpty()) << qPrintable(messages().join('\n'));
}

TEST_F(Lifecycle, CloseAndReopenGivesAFreshScreen)
{
    ASSERT_TRUE(enter("medCdImposto", QStringLiteral("01")));
    click("rdbListaFil");
    QPointer<TForm> first = screen();
    first->Close();
    EXPECT_FALSE(global<bool>("boStCriado"));
    settle();
    EXPECT_TRUE(first.isNull()) << "released on close";
    EXPECT_EQ(windows(), 0);

    ASSERT_TRUE(open());
    ASSERT_NE(screen(), nullptr);
    EXPECT_EQ(frmDocForne(), static_cast<void *>(screen()));
    EXPECT_TRUE(text("medCdImposto").isEmpty());
    EXPECT_TRUE(text("edtNmImposto").isEmpty());
    EXPECT_FALSE(enabled("edtInscricao"));
    EXPECT_TRUE(checked("rdbTodosFor"));
    EXPECT_TRUE(checked("rdbTodosFil"));
    EXPECT_FALSE(enabled("btnPesqForne"));
    EXPECT_FALSE(enabled("btnFilial"));
    EXPECT_EQ(focusName(), QStringLiteral("medCdImposto"));
}

// A released screen may be destroyed after the next one was created: the module's
// reference keeps pointing at the screen that lives.
TEST_F(Lifecycle, AReleasedScreenNeverLeavesTheReferenceDangling)
{
    QPointer<TForm> first = screen();
    first->Close(); // released, not yet destroyed
    ASSERT_FALSE(first.isNull());
    ASSERT_TRUE(Velmora::Dispatch([&] { procedure("CriaDocForne")(); }));
    void *second = frmDocForne();
    ASSERT_NE(second, static_cast<void *>(first.data()));
    settle();
    EXPECT_TRUE(first.isNull());
    EXPECT_EQ(frmDocForne(), second);
    EXPECT_EQ(static_cast<void *>(screen()), second);
    EXPECT_TRUE(global<bool>("boStCriado"));

    closeScreen();
    EXPECT_EQ(frmDocForne(), nullptr);
}

TEST_F(Lifecycle, ACreationThatFailsLeavesNothingAndALaterCallWorks)
{
    closeScreen();
    Environment().writeSettings(1); // nothing listens there
    Environment().installSettings();

    QString error;
    try {
        procedure("CriaDocForne")();
    } catch (const Exception &e) {
        error = e.Message();
    }
    const QString unreachable = QStringLiteral("Não foi possível conectar ao servidor de aplicação "
                                               "em 127.0.0.1:1: conexão recusada ou endereço "
                                               "inalcançável.");
    EXPECT_EQ(error, unreachable);
    EXPECT_EQ(TApplication::instance().ScreenCursor(), 0);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_FALSE(global<bool>("boStCriado"));
    EXPECT_EQ(frmDocForne(), nullptr);
    settle();
    EXPECT_EQ(windows(), 0);
    EXPECT_TRUE(host->Packages().OpenScreens(QLatin1String(package)).isEmpty());

    // Through the menu's way in: one message, the screen not there.
    EXPECT_FALSE(open());
    EXPECT_EQ(messages(), QStringList{unreachable});
    EXPECT_EQ(windows(), 0);

    Environment().writeSettings();
    Environment().installSettings();
    ASSERT_TRUE(open());
    ASSERT_NE(screen(), nullptr);
    EXPECT_TRUE(global<bool>("boStCriado"));
    EXPECT_TRUE(component<TNetConnection>("netDocForne")->Connected());
    EXPECT_EQ(windows(), 1);
}

// What the screen shows and what the report receives agree: a list still held by the module
// shows as "Lista" on the next screen.
TEST_F(Lifecycle, AFreshScreenShowsTheListsTheModuleStillHolds)
{
    click("rdbListaFor");
    pickList("btnPesqForne", {QStringLiteral("04252011000110")});
    ASSERT_EQ(global<QString>("stFornecedor"), QStringLiteral("'04252011000110'"));
    closeScreen();
    ASSERT_TRUE(open());
    EXPECT_TRUE(checked("rdbListaFor"));
    EXPECT_TRUE(enabled("btnPesqForne"));
    EXPECT_TRUE(checked("rdbTodosFil"));
    EXPECT_FALSE(enabled("btnFilial"));
    EXPECT_EQ(global<QString>("stFornecedor"), QStringLiteral("'04252011000110'"));

    click("rdbListaFil");
    pickList("btnFilial", {QStringLiteral("10")});
    click("rdbTodosFor"); // ends the supplier list
    EXPECT_TRUE(global<QString>("stFornecedor").isEmpty());
    closeScreen();
    ASSERT_TRUE(open());
    EXPECT_TRUE(checked("rdbTodosFor"));
    EXPECT_FALSE(enabled("btnPesqForne"));
    EXPECT_TRUE(checked("rdbListaFil"));
    EXPECT_TRUE(enabled("btnFilial"));
    EXPECT_EQ(global<QString>("stFilial"), QStringLiteral("'10'"));
    EXPECT_TRUE(messages().isEmpty()) << qPrintable(messages().join('\n'));
}

// The unit initialises on the first of nested loads and finalises on the last unload only.
TEST_F(Lifecycle, NestedLoadsLeaveTheScreenAndTheListsAlone)
{
    click("rdbListaFor");
    pickList("btnPesqForne", {QStringLiteral("11222333000181")});
    host->Packages().Load(QLatin1String(package));
    EXPECT_EQ(host->Packages().LoadCount(QLatin1String(package)), 2);
    EXPECT_TRUE(global<bool>("boStCriado"));
    host->Packages().Unload(QLatin1String(package));
    settle();
    ASSERT_NE(screen(), nullptr);
    EXPECT_TRUE(global<bool>("boStCriado"));
    EXPECT_EQ(global<QString>("stFornecedor"), QStringLiteral("'11222333000181'"));
    ASSERT_TRUE(open());
    EXPECT_EQ(windows(), 1);
}

TEST_F(Lifecycle, UnitFinalisationEmptiesTheModulesStrings)
{
    click("rdbListaFor");
    pickList("btnPesqForne", {QStringLiteral("52998224725")});
    click("rdbListaFil");
    pickList("btnFilial", {QStringLiteral("1")});
    global<QString>("stImposto") = QStringLiteral("01");
    closeScreen();

    // The package's own unload procedure, while the library stays in memory to look at.
    procedure("Finalize")();
    EXPECT_TRUE(global<QString>("stFornecedor").isEmpty());
    EXPECT_TRUE(global<QString>("stFilial").isEmpty());
    EXPECT_TRUE(global<QString>("stImposto").isEmpty());
    procedure("Initialize")();
    EXPECT_FALSE(global<bool>("boStCriado"));
    ASSERT_TRUE(open());
    EXPECT_TRUE(checked("rdbTodosFor"));
}

} // namespace
