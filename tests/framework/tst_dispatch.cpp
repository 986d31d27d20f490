#include "RecordingServices.h"
#include "TestForm.h"
#include "framework/Dispatch.h"
#include "framework/TApplication.h"
#include "framework/controls/TEdit.h"

#include <QAbstractButton>
#include <QApplication>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <memory>
#include <stdexcept>

namespace {

TEST(DispatchTest, AbortEndsTheEventSilently)
{
    RecordingServices services;
    const int before = Velmora::FailedEvents();
    EXPECT_FALSE(Velmora::Dispatch([] { throw EAbort(); }));
    EXPECT_TRUE(services.messages().isEmpty());
    EXPECT_EQ(Velmora::FailedEvents(), before + 1);
}

TEST(DispatchTest, OtherExceptionsShowTheirMessageOnce)
{
    RecordingServices services;
    EXPECT_FALSE(
        Velmora::Dispatch([] { throw EDatabaseError(QStringLiteral("Banco fora do ar.")); }));
    EXPECT_FALSE(Velmora::Dispatch([] { throw std::runtime_error("falha"); }));
    EXPECT_FALSE(Velmora::Dispatch([] { throw 42; }));
    EXPECT_EQ(services.messages(),
              (QStringList{QStringLiteral("Banco fora do ar."), QStringLiteral("falha"),
                           QStringLiteral("Erro inesperado.")}));
    EXPECT_TRUE(Velmora::Dispatch([] {}));
    EXPECT_EQ(services.messages().size(), 3);
}

TEST(DispatchTest, NestedEntriesLetTheExceptionReachTheOutermost)
{
    RecordingServices services;
    bool afterInner = false;
    const bool ok = Velmora::Dispatch([&] {
        EXPECT_TRUE(Velmora::InFormCode());
        Velmora::Dispatch([] { throw Exception(QStringLiteral("interno")); });
        afterInner = true;
    });
    EXPECT_FALSE(ok);
    EXPECT_FALSE(afterInner);
    EXPECT_EQ(services.messages(), QStringList{QStringLiteral("interno")});
    EXPECT_FALSE(Velmora::InFormCode());
}

TEST(DispatchTest, ModalScopeStartsAFreshLevel)
{
    RecordingServices services;
    Velmora::Dispatch([&] {
        Velmora::ModalScope modal;
        EXPECT_FALSE(Velmora::InFormCode());
        // An event delivered by the dialog's loop is caught there, not in the opener.
        EXPECT_FALSE(Velmora::Dispatch([] { throw Exception(QStringLiteral("no diálogo")); }));
    });
    EXPECT_EQ(services.messages(), QStringList{QStringLiteral("no diálogo")});
}

// The exit of a control runs when the user moves the focus; a failing exit shows one message
// and keeps the focus, and moves made by code run no exit at all.
class ExitTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        form =
            std::make_unique<TestForm>(&Application(), QStringLiteral(FORMS_DIR "/derived.json"));
        form->Create();
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
        code = form->findChild<TEdit *>(QStringLiteral("edtCodigo"));
        third = form->findChild<TEdit *>(QStringLiteral("edtTerceiro"));
        code->setFocus(Qt::OtherFocusReason);
        form->calls.clear();
    }
    void typeInto(QWidget *w, const QString &text) { QTest::keyClicks(w, text); }
    int exits() const
    {
        return static_cast<int>(form->calls.count(QStringLiteral("edtCodigoExit")));
    }

    std::unique_ptr<TestForm> form;
    TEdit *code = nullptr;
    TEdit *third = nullptr;
};

TEST_F(ExitTest, FailedExitShowsOneMessageAndKeepsTheFocus)
{
    RecordingServices services;
    typeInto(code, QStringLiteral("ab"));
    QTest::keyClick(code, Qt::Key_Tab);
    EXPECT_EQ(services.messages(), QStringList{QStringLiteral("Código inválido.")});
    EXPECT_EQ(QApplication::focusWidget(), code);
    EXPECT_EQ(code->text(), QStringLiteral("ab"));
    EXPECT_EQ(exits(), 1);

    code->clear();
    typeInto(code, QStringLiteral("12"));
    QTest::keyClick(code, Qt::Key_Tab);
    EXPECT_EQ(services.messages().size(), 1);
    EXPECT_EQ(QApplication::focusWidget()->objectName(), QStringLiteral("rdbTodos"));
}

TEST_F(ExitTest, FailedExitByMouseSwallowsTheClick)
{
    RecordingServices services;
    typeInto(code, QStringLiteral("x"));
    auto *radio = form->findChild<QAbstractButton *>(QStringLiteral("rdbLista"));
    ASSERT_FALSE(radio->isChecked());
    QTest::mouseClick(radio, Qt::LeftButton);
    EXPECT_EQ(services.messages().size(), 1);
    EXPECT_EQ(QApplication::focusWidget(), code);
    EXPECT_FALSE(radio->isChecked());
}

TEST_F(ExitTest, EnterMovesOnAsTab)
{
    RecordingServices services;
    typeInto(code, QStringLiteral("7"));
    QTest::keyClick(code, Qt::Key_Return);
    EXPECT_EQ(exits(), 1);
    EXPECT_EQ(QApplication::focusWidget()->objectName(), QStringLiteral("rdbTodos"));
}

TEST_F(ExitTest, MovesByCodeRunNoExit)
{
    RecordingServices services;
    typeInto(code, QStringLiteral("zz"));
    Velmora::Dispatch([&] { third->setFocus(Qt::TabFocusReason); });
    EXPECT_EQ(exits(), 0);
    EXPECT_TRUE(services.messages().isEmpty());
}

TEST_F(ExitTest, RealModalMessageBoxStillShowsOnce)
{
    // The GUI services: a real modal box, closed by a timer.
    int boxes = 0;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (QWidget *modal = QApplication::activeModalWidget()) {
            ++boxes;
            modal->close();
        }
    });
    closer.start(50);
    typeInto(code, QStringLiteral("q"));
    QTest::keyClick(code, Qt::Key_Tab);
    closer.stop();
    EXPECT_EQ(boxes, 1);
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    EXPECT_EQ(QApplication::focusWidget(), code);
    EXPECT_EQ(exits(), 1);
}

TEST_F(ExitTest, ChangeFiresOnRealChangesOnly)
{
    typeInto(code, QStringLiteral("1"));
    EXPECT_EQ(form->calls.count(QStringLiteral("edtCodigoChange")), 1);
    Velmora::Dispatch([&] { code->SetText(QStringLiteral("1")); });
    EXPECT_EQ(form->calls.count(QStringLiteral("edtCodigoChange")), 1);
    Velmora::Dispatch([&] { code->SetText(QStringLiteral("01")); });
    EXPECT_EQ(form->calls.count(QStringLiteral("edtCodigoChange")), 2);
}

TEST_F(ExitTest, F1AsksHelpForTheControlOrTheScreen)
{
    RecordingServices services;
    QTest::keyClick(code, Qt::Key_F1);
    third->setFocus(Qt::OtherFocusReason);
    QTest::keyClick(third, Qt::Key_F1);
    ASSERT_EQ(services.events.size(), 2);
    EXPECT_EQ(services.events[0][QStringLiteral("context")].toInt(), 7);
    EXPECT_EQ(services.events[0][QStringLiteral("file")].toString(), QStringLiteral("Base.hlp"));
    EXPECT_EQ(services.events[1][QStringLiteral("context")].toInt(), 42);
}

} // namespace
