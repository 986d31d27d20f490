#include "RecordingServices.h"
#include "TestSupport.h"
#include "data/TDataSource.h"
#include "framework/ComponentRegistry.h"
#include "framework/InputFilter.h"
#include "framework/PesquisaLista.h"
#include "framework/TApplication.h"
#include "framework/TForm.h"
#include "framework/controls/TBtnPesquisa.h"
#include "framework/controls/TMaskEdit.h"
#include "rtl/Exceptions.h"

#include <QHelpEvent>
#include <QJsonObject>
#include <QRadioButton>
#include <QToolTip>
#include <QtTest>

#include <functional>
#include <optional>

// A screen with lookup buttons whose handlers write what they do into the shared log.
class LookupForm : public TForm
{
    Q_OBJECT
public:
    using TForm::TForm;
    QString DescriptionPath() const override { return QStringLiteral(":/forms/LookupForm.json"); }

    QStringList *log = nullptr;
    TDataSet *dataSet = nullptr;
    bool failBefore = false;
    bool stopBefore = false;
    QString *selection = nullptr; // the list button picks into it

    Q_INVOKABLE void btpABeforePesq(QObject *, bool &goOn)
    {
        log->append(QStringLiteral("before"));
        if (failBefore)
            throw Exception(QStringLiteral("Falha ao consultar os impostos."));
        if (stopBefore)
            goOn = false;
    }
    Q_INVOKABLE void btpAAfterPesq(QObject *sender)
    {
        log->append(QStringLiteral("after:%1:%2")
                        .arg(sender->objectName())
                        .arg(dataSet ? dataSet->RecNo() : -1));
    }
    Q_INVOKABLE void btnListaClick(QObject *)
    {
        log->append(QStringLiteral("click"));
        if (selection)
            PesquisaLista(findChild<TDataSource *>(QStringLiteral("dtsA")),
                          QStringLiteral("CDIMPOSTONFE"), QStringLiteral("Imposto"), false,
                          *selection);
    }
    Q_INVOKABLE void btpSemFonteBeforePesq(QObject *, bool &)
    {
        log->append(QStringLiteral("before"));
    }
};

class BtnPesquisaTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void describedSettings();
    void pressRunsBeforeSearchAfterInOrder();
    void emptyDataSetShowsEmptyError();
    void cancelRunsNoAfterHandler();
    void clickHandlerOnlyButton();
    void withoutDataSourceShowsEmptyError();
    void exceptionInBeforeEndsThePress();
    void beforeHandlerMayStopThePress();
    void f4InTheAssociatePressesTheButton();
    void takesNoFocus();
    void hintShowsAsToolTip();
    void listButtonHintSaysHowManyAreHeld();

private:
    TBtnPesquisa *button(const char *name) const
    {
        return m_form->findChild<TBtnPesquisa *>(QLatin1String(name));
    }

    QStringList m_log;
    std::optional<RecordingServices> m_services;
    LookupForm *m_form = nullptr;
    TestDataSet *m_data = nullptr;
};

void BtnPesquisaTest::initTestCase()
{
    Velmora::RegisterFrameworkComponents();
    Velmora::InputFilter::install();
}

void BtnPesquisaTest::init()
{
    m_log.clear();
    // What the user is shown goes into the same log as the handlers, in order.
    m_services.emplace();
    m_services->onEvent = [this](const QJsonObject &e) {
        const QString kind = e.value(QLatin1String("event")).toString();
        if (kind == QLatin1String("message"))
            m_log << QStringLiteral("message:") + e.value(QLatin1String("text")).toString();
        else if (kind == QLatin1String("dialog"))
            m_log << QStringLiteral("pickRow:") + e.value(QLatin1String("title")).toString();
    };
    m_form = TApplication::instance().CreateForm<LookupForm>();
    m_form->log = &m_log;
    m_data = new TestDataSet(m_form);
    m_data->Fill({{QStringLiteral("CDIMPOSTONFE")}, {QStringLiteral("SGIMPOSTONFE")}},
                 {{"01", "ICMS"}, {"02", "IPI"}, {"03", "ISS"}});
    m_form->dataSet = m_data;
    m_form->findChild<TDataSource *>(QStringLiteral("dtsA"))->SetDataSet(m_data);
}

void BtnPesquisaTest::cleanup()
{
    delete m_form;
    m_form = nullptr;
    m_services.reset();
}

void BtnPesquisaTest::describedSettings()
{
    TBtnPesquisa *b = button("btpA");
    QCOMPARE(b->Associate(), m_form->findChild<QWidget *>(QStringLiteral("medCodigo")));
    QCOMPARE(b->Title(), QStringLiteral("Imposto"));
    QCOMPARE(b->EmptyError(), QStringLiteral("Não há imposto cadastrado."));
    QCOMPARE(b->DataSource(), m_form->findChild<TDataSource *>(QStringLiteral("dtsA")));
    QCOMPARE(b->Hint(), QStringLiteral("Pesquisar"));
    QVERIFY(!b->ParentShowHint());
    QVERIFY(!b->icon().isNull());
    QVERIFY(b->Subtitle().isEmpty());
    b->SetSubtitle(QStringLiteral("Inscrição Estadual"));
    QCOMPARE(b->property("Subtitle").toString(), QStringLiteral("Inscrição Estadual"));
    // The data source can be changed by the screen's code.
    auto *other = new TDataSource(m_form);
    b->SetDataSource(other);
    QCOMPARE(b->DataSource(), other);
}

void BtnPesquisaTest::pressRunsBeforeSearchAfterInOrder()
{
    m_services->queueRowAt(2);
    QVERIFY(button("btpA")->Press());
    QCOMPARE(m_log, QStringList({"before", "pickRow:Imposto", "after:btpA:2"}));
    QCOMPARE(m_data->FieldByName(QStringLiteral("SGIMPOSTONFE"))->AsString(),
             QStringLiteral("ISS"));
}

void BtnPesquisaTest::emptyDataSetShowsEmptyError()
{
    auto *empty = new TestDataSet(m_form);
    empty->Fill({{QStringLiteral("CDIMPOSTONFE")}}, {});
    m_form->findChild<TDataSource *>(QStringLiteral("dtsA"))->SetDataSet(empty);
    m_services->queueRowAt(0);
    QVERIFY(!button("btpA")->Press());
    QCOMPARE(m_log, QStringList({"before", "message:Não há imposto cadastrado."}));
}

void BtnPesquisaTest::cancelRunsNoAfterHandler()
{
    QVERIFY(button("btpA")->Press());
    QCOMPARE(m_log, QStringList({"before", "pickRow:Imposto"}));
}

void BtnPesquisaTest::clickHandlerOnlyButton()
{
    // It has a data source, yet only its click handler runs: no search dialog.
    m_services->queueRowAt(0);
    button("btnLista")->click();
    QCOMPARE(m_log, QStringList({"click"}));
}

void BtnPesquisaTest::withoutDataSourceShowsEmptyError()
{
    m_services->queueRowAt(0);
    QVERIFY(!button("btpSemFonte")->Press());
    QCOMPARE(m_log, QStringList({"before",
                                 "message:Não há inscrição cadastrada para a empresa informada."}));
}

void BtnPesquisaTest::exceptionInBeforeEndsThePress()
{
    m_form->failBefore = true;
    m_services->queueRowAt(0);
    QVERIFY(!button("btpA")->Press());
    // One message, the failure's own: no dialog, no empty message, no after handler.
    QCOMPARE(m_log, QStringList({"before", "message:Falha ao consultar os impostos."}));
}

void BtnPesquisaTest::beforeHandlerMayStopThePress()
{
    m_form->stopBefore = true;
    m_services->queueRowAt(0);
    QVERIFY(button("btpA")->Press());
    QCOMPARE(m_log, QStringList({"before"}));
}

void BtnPesquisaTest::f4InTheAssociatePressesTheButton()
{
    m_form->Show();
    QVERIFY(QTest::qWaitForWindowActive(m_form));
    auto *code = m_form->findChild<TMaskEdit *>(QStringLiteral("medCodigo"));
    auto *name = m_form->findChild<QWidget *>(QStringLiteral("edtNome"));
    name->setFocus();
    m_services->queueRowAt(1);
    QTest::keyClick(code, Qt::Key_F4);
    QCOMPARE(m_log, QStringList({"before", "pickRow:Imposto", "after:btpA:1"}));
    // After a choice the user goes on from the associate.
    QCOMPARE(QApplication::focusWidget(), code);

    // F4 elsewhere, or while the button is disabled, does nothing.
    m_log.clear();
    QTest::keyClick(name, Qt::Key_F4);
    button("btpA")->SetEnabled(false);
    QTest::keyClick(code, Qt::Key_F4);
    QVERIFY(m_log.isEmpty());

    // A radio button as associate: F4 presses its list button.
    auto *radio = m_form->findChild<QRadioButton *>(QStringLiteral("rdbLista"));
    QTest::keyClick(radio, Qt::Key_F4);
    QCOMPARE(m_log, QStringList({"click"}));
}

void BtnPesquisaTest::takesNoFocus()
{
    m_form->Show();
    QVERIFY(QTest::qWaitForWindowActive(m_form));
    auto *name = m_form->findChild<QWidget *>(QStringLiteral("edtNome"));
    name->setFocus();
    TBtnPesquisa *b = button("btpA");
    QCOMPARE(b->focusPolicy(), Qt::NoFocus);
    QTest::mouseClick(m_form->windowHandle(), Qt::LeftButton, {},
                      b->mapTo(m_form, b->rect().center()));
    QCOMPARE(m_log, QStringList({"before", "pickRow:Imposto"}));
    QCOMPARE(QApplication::focusWidget(), name);
}

void BtnPesquisaTest::hintShowsAsToolTip()
{
    m_form->Show();
    QVERIFY(QTest::qWaitForWindowActive(m_form));
    TBtnPesquisa *b = button("btpA");
    QHelpEvent help(QEvent::ToolTip, b->rect().center(), b->mapToGlobal(b->rect().center()));
    QApplication::sendEvent(b, &help);
    QTRY_COMPARE(QToolTip::text(), QStringLiteral("Pesquisar"));
    QToolTip::hideText();
    // Its own ShowHint decides, not the screen's.
    m_form->SetShowHint(false);
    QApplication::sendEvent(b, &help);
    QTRY_COMPARE(QToolTip::text(), QStringLiteral("Pesquisar"));
    QToolTip::hideText();
    QTRY_VERIFY(!QToolTip::isVisible());
    b->SetShowHint(false);
    QApplication::sendEvent(b, &help);
    QVERIFY(!QToolTip::isVisible());
}

void BtnPesquisaTest::listButtonHintSaysHowManyAreHeld()
{
    QString selection;
    m_form->selection = &selection;
    TBtnPesquisa *list = button("btnLista");
    TBtnPesquisa *lookup = button("btpA"); // the same data source, no words for a list
    QCOMPARE(list->Hint(), QStringLiteral("Pesquisar"));

    struct Step
    {
        const char *what;
        std::function<void()> act;
        const char *hint;
    };
    const QList<Step> steps{
        {"three picked",
         [&] {
             m_services->queueListPick({false, {"01", "02", "03"}});
             list->click();
         },
         "3 impostos selecionados"},
        {"one picked",
         [&] {
             m_services->queueListPick({false, {"02"}});
             list->click();
         },
         "1 imposto selecionado"},
        {"cancelled keeps it", [&] { list->click(); }, "1 imposto selecionado"},
        {"the screen disabled around it", [&] { m_form->setEnabled(false); },
         "1 imposto selecionado"},
        {"enabled again", [&] { m_form->setEnabled(true); }, "1 imposto selecionado"},
        {"none picked",
         [&] {
             m_services->queueListPick({false, {}});
             list->click();
         },
         "Pesquisar"},
        {"two picked",
         [&] {
             m_services->queueListPick({false, {"01", "03"}});
             list->click();
         },
         "2 impostos selecionados"},
        {"the button disabled", [&] { list->SetEnabled(false); }, "Pesquisar"},
        {"and enabled again", [&] { list->SetEnabled(true); }, "Pesquisar"},
    };
    for (const Step &step : steps) {
        step.act();
        QVERIFY2(list->Hint() == QLatin1String(step.hint),
                 qPrintable(QStringLiteral("%1: %2").arg(step.what, list->Hint())));
        QCOMPARE(lookup->Hint(), QStringLiteral("Pesquisar"));
    }
    QCOMPARE(selection, QStringLiteral("'01','03'"));
    m_form->selection = nullptr;
}

QTEST_MAIN(BtnPesquisaTest)
#include "tst_btnpesquisa.moc"
