// The test package's screen in the host's main window, driven as a user would: the one
// instance, exits that fail and keep the focus, a button whose exception becomes one
// message, the all-or-list choice, help.
#include "PackageTest.h"

#include "app/MainWindow.h"
#include "framework/TApplication.h"
#include "framework/TForm.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPointer>
#include <QRadioButton>
#include <QTest>

#include <memory>
#include <optional>

namespace {

class TestScreen : public PackageTest
{
protected:
    void SetUp() override
    {
        PackageTest::SetUp();
        loader().Load(testPackage);
        host->Window().show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&host->Window()));
        ASSERT_TRUE(host->OpenScreen(QStringLiteral("TST00100")));
        screen = loader().OpenScreens(testPackage).value(0);
        ASSERT_TRUE(screen);
    }
    void TearDown() override
    {
        host->Window().hide();
        PackageTest::TearDown();
    }

    QWidget *control(const char *name) const
    {
        auto *w = screen->findChild<QWidget *>(QLatin1String(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    QString text(const char *name) const { return control(name)->property("Text").toString(); }
    template <class T> T &global(const char *name)
    {
        return *loader().Variable<T>(testPackage, QLatin1String(name));
    }
    static QWidget *focused() { return QApplication::focusWidget(); }
    // Where a key the user presses goes: the focus, or the main window when nothing has it.
    QWidget *keys() const { return focused() ? focused() : &host->Window(); }

    // Clicks into the control, selects all and types, as the user does; then Tab.
    void enter(const char *name, const QString &typed)
    {
        QTest::mouseClick(control(name), Qt::LeftButton);
        if (focused() != control(name))
            return;
        QTest::keyClick(focused(), Qt::Key_A, Qt::ControlModifier);
        if (typed.isEmpty())
            QTest::keyClick(focused(), Qt::Key_Delete);
        else
            QTest::keyClicks(focused(), typed);
        QTest::keyClick(focused(), Qt::Key_Tab);
    }

    QPointer<TForm> screen;
};

TEST_F(TestScreen, OneScreenShownAgainWithItsValues)
{
    EXPECT_GE(global<int>("nrAtivacoes"), 1) << "activation runs on the first show";
    enter("edtCodigo", QStringLiteral("7"));
    EXPECT_EQ(text("edtCodigo"), QStringLiteral("000007"));
    screen->SetWindowState(TWindowState::wsMinimized);

    ASSERT_TRUE(host->OpenScreen(QStringLiteral("TST00100")));
    EXPECT_EQ(loader().OpenScreens(testPackage), QList<TForm *>{screen.data()});
    EXPECT_EQ(screen->WindowState(), TWindowState::wsNormal);
    EXPECT_EQ(text("edtCodigo"), QStringLiteral("000007"));

    // Closing releases the screen; the next entry builds a fresh one.
    screen->Close();
    EXPECT_FALSE(global<bool>("boStCriado"));
    TApplication::DeliverPendingDeletions();
    EXPECT_TRUE(screen.isNull());
    ASSERT_TRUE(host->OpenScreen(QStringLiteral("TST00100")));
    screen = loader().OpenScreens(testPackage).value(0);
    ASSERT_TRUE(screen);
    EXPECT_TRUE(text("edtCodigo").isEmpty());
    EXPECT_TRUE(services.messages().isEmpty()) << qPrintable(services.messages().join('\n'));
}

TEST_F(TestScreen, AnInvalidCodeShowsOneMessageAndKeepsTheFocus)
{
    enter("edtCodigo", QStringLiteral("12a"));
    EXPECT_EQ(services.messages(), QStringList{QStringLiteral("Código inválido.")});
    EXPECT_EQ(focused(), control("edtCodigo"));

    // A click elsewhere cannot leave it either, and the click does not reach its target.
    QTest::mouseClick(control("btnFalhar"), Qt::LeftButton);
    EXPECT_EQ(services.messages().size(), 2);
    EXPECT_EQ(services.messages().last(), QStringLiteral("Código inválido."));
    EXPECT_EQ(focused(), control("edtCodigo"));

    enter("edtCodigo", QStringLiteral("12"));
    EXPECT_EQ(text("edtCodigo"), QStringLiteral("000012"));
    EXPECT_EQ(focused(), control("edtNome"));
    EXPECT_EQ(services.messages().size(), 2);

    // Leaving an empty code is fine.
    enter("edtCodigo", QString());
    EXPECT_EQ(focused(), control("edtNome"));
    EXPECT_EQ(services.messages().size(), 2);
}

TEST_F(TestScreen, ANewCodeEmptiesTheName)
{
    enter("edtCodigo", QStringLiteral("1"));
    enter("edtNome", QStringLiteral("  Maria   da Silva "));
    EXPECT_EQ(text("edtNome"), QStringLiteral("Maria da Silva"));
    const int changes = global<int>("nrAlteracoesNome");
    // Leaving the code again writes the text it already holds: no change, the name stays.
    QTest::mouseClick(control("edtCodigo"), Qt::LeftButton);
    QTest::keyClick(focused(), Qt::Key_Tab);
    EXPECT_EQ(focused(), control("edtNome"));
    EXPECT_EQ(text("edtNome"), QStringLiteral("Maria da Silva"));
    EXPECT_EQ(global<int>("nrAlteracoesNome"), changes);
    enter("edtCodigo", QStringLiteral("2"));
    EXPECT_TRUE(text("edtNome").isEmpty());
    EXPECT_EQ(global<int>("nrAlteracoesNome"), changes + 1);
}

TEST_F(TestScreen, TheButtonsFailureIsShownOnceByTheHost)
{
    QTest::mouseClick(control("btnFalhar"), Qt::LeftButton);
    EXPECT_EQ(services.messages(),
              QStringList{QStringLiteral("Falha proposital do pacote de teste.")});
    EXPECT_TRUE(screen->isVisible());
}

TEST_F(TestScreen, TheListChoiceEnablesTheListButton)
{
    QWidget *list = control("sbtLista");
    EXPECT_FALSE(list->isEnabled());
    enter("edtCodigo", QStringLiteral("34"));
    QTest::mouseClick(control("rdbLista"), Qt::LeftButton);
    EXPECT_TRUE(list->isEnabled());
    QWidget *before = focused();
    QTest::mouseClick(list, Qt::LeftButton);
    EXPECT_EQ(focused(), before) << "a tool button takes no focus";
    EXPECT_EQ(global<QString>("stTeste"), QStringLiteral("'000034'"));
    EXPECT_EQ(control("lblEco")->property("Caption"), QStringLiteral("Lista: '000034'"));

    QTest::mouseClick(control("rdbTodos"), Qt::LeftButton);
    EXPECT_FALSE(list->isEnabled());
    EXPECT_TRUE(global<QString>("stTeste").isEmpty());
}

TEST_F(TestScreen, HelpAsksForTheControlsContextOrTheScreens)
{
    QTest::mouseClick(control("edtCodigo"), Qt::LeftButton);
    QTest::keyClick(focused(), Qt::Key_F1);
    QTest::mouseClick(control("edtNome"), Qt::LeftButton);
    QTest::keyClick(focused(), Qt::Key_F1);
    const QList<QPair<QString, int>> expected{{QStringLiteral("TstHelp.hlp"), 101},
                                              {QStringLiteral("TstHelp.hlp"), 100}};
    EXPECT_EQ(services.help(), expected);
}

TEST_F(TestScreen, CtrlF4ClosesThroughTheCloseEventAndCtrlTabGoesRound)
{
    QMdiArea *area = host->Window().MdiArea();
    auto *other = new QWidget;
    other->setWindowTitle(QStringLiteral("Outra"));
    QMdiSubWindow *second = area->addSubWindow(other);
    second->show();
    area->setActiveSubWindow(screen->SubWindow());

    QTest::keyClick(keys(), Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(area->activeSubWindow(), second);
    QTest::keyClick(keys(), Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(area->activeSubWindow(), screen->SubWindow());

    QTest::keyClick(keys(), Qt::Key_F4, Qt::ControlModifier);
    EXPECT_FALSE(global<bool>("boStCriado")) << "the screen's close handler ran";
    TApplication::DeliverPendingDeletions();
    EXPECT_TRUE(screen.isNull());
    EXPECT_EQ(area->subWindowList(), QList<QMdiSubWindow *>{second});
    EXPECT_TRUE(services.messages().isEmpty()) << qPrintable(services.messages().join('\n'));
}

// Reloading the package closes its screen: with something the clerk typed or chose there, the
// host asks first, and "Não" leaves everything as it was.
TEST_F(TestScreen, ReloadAsksFirstWhenTheScreenHoldsTypedValues)
{
    struct Answering : RecordingServices
    {
        std::optional<bool> answer;
        QStringList questions;
        bool confirm(const QString &, const QString &question) override
        {
            questions << question;
            return answer.value_or(false);
        }
    };
    struct Case
    {
        const char *name;
        QString typed;   // typed into the code, then Tab; null: nothing typed
        bool chooseList; // "Lista" clicked
        std::optional<bool> answer;
        bool asked;
        bool reloaded;
    };
    const Case cases[] = {
        {"nothing typed", QString(), false, std::nullopt, false, true},
        {"a code typed, Não", QStringLiteral("7"), false, false, true, false},
        {"a code typed, Sim", QStringLiteral("7"), false, true, true, true},
        {"a code typed and erased", QStringLiteral(""), false, std::nullopt, false, true},
        {"a choice clicked, Não", QString(), true, false, true, false},
    };
    auto person = std::make_unique<Answering>();
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        // A fresh screen for each case.
        if (screen) {
            screen->Close();
            TApplication::DeliverPendingDeletions();
        }
        ASSERT_TRUE(host->OpenScreen(QStringLiteral("TST00100")));
        screen = loader().OpenScreens(testPackage).value(0);
        ASSERT_TRUE(screen);
        if (!c.typed.isNull())
            enter("edtCodigo", c.typed);
        if (c.chooseList)
            QTest::mouseClick(control("rdbLista"), Qt::LeftButton);
        const QString codeBefore = text("edtCodigo");

        person->answer = c.answer;
        person->questions.clear();
        host->Window().RefreshMenus();
        auto *reload = host->Window().PackagesMenu()->findChild<QAction *>(
            QStringLiteral("recarregar_velmora_testpkg"));
        ASSERT_NE(reload, nullptr);
        reload->trigger();

        EXPECT_EQ(person->questions.size(), c.asked ? 1 : 0);
        if (c.asked) {
            EXPECT_EQ(person->questions.value(0),
                      QStringLiteral("Recarregar o pacote 'velmora_testpkg' fecha a tela Tela de "
                                     "Teste e perde os valores digitados nela. Deseja recarregar "
                                     "assim mesmo?"));
        }
        EXPECT_TRUE(loader().IsLoaded(testPackage));
        EXPECT_EQ(screen.isNull(), c.reloaded);
        if (!c.reloaded) {
            EXPECT_EQ(text("edtCodigo"), codeBefore);
            EXPECT_EQ(qobject_cast<QRadioButton *>(control("rdbLista"))->isChecked(), c.chooseList);
        }
        EXPECT_TRUE(person->messages().isEmpty()) << qPrintable(person->messages().join('\n'));
    }
    person.reset();
    Velmora::Services::install(&services);
}

} // namespace
