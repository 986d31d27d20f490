#include "RecordingServices.h"
#include "TestSupport.h"
#include "data/TDataSource.h"
#include "framework/ComponentRegistry.h"
#include "framework/Consiste.h"
#include "framework/Dispatch.h"
#include "framework/InputFilter.h"
#include "framework/TApplication.h"
#include "framework/TForm.h"
#include "framework/controls/TBtnPesquisa.h"
#include "framework/controls/TDateEditPlus.h"
#include "framework/controls/TMaskEdit.h"
#include "framework/dialogs/SearchDialog.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>
#include <QtTest>

#include <optional>

class FocusForm : public TForm
{
    Q_OBJECT
public:
    using TForm::TForm;
    QString DescriptionPath() const override { return QStringLiteral(":/forms/FocusForm.json"); }

    QStringList log;

    Q_INVOKABLE void medAExit(QObject *sender)
    {
        log << QStringLiteral("exit:medA");
        if (static_cast<TMaskEdit *>(sender)->Text() == QLatin1String("99"))
            Consiste::MensErro(QStringLiteral("Código inválido."), true);
    }
    Q_INVOKABLE void depBExit(QObject *sender)
    {
        log << QStringLiteral("exit:depB");
        static_cast<TDateEditPlus *>(sender)->CheckValidDate();
    }
    Q_INVOKABLE void edtCExit(QObject *) { log << QStringLiteral("exit:edtC"); }
    Q_INVOKABLE void edtCEnter(QObject *) { log << QStringLiteral("enter:edtC"); }
    Q_INVOKABLE void chkDClick(QObject *) { log << QStringLiteral("click:chkD"); }
};

// Run twice: messages recorded by scripted services, and real modal message boxes closed by a
// timer as a person would close them.
class FocusTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void failedExitShowsOneMessageAndKeepsTheFocus_data() { modes(); }
    void failedExitShowsOneMessageAndKeepsTheFocus();
    void clickOnAnotherControlAfterAFailedExitIsSwallowed_data() { modes(); }
    void clickOnAnotherControlAfterAFailedExitIsSwallowed();
    void movesByCodeRunNoExit_data() { modes(); }
    void movesByCodeRunNoExit();
    void enterActsAsTab_data() { modes(); }
    void enterActsAsTab();
    void enterInADialogOverTheScreenIsTheDialogs();

private:
    void modes();
    bool realBoxes() const;
    QStringList shown() const { return realBoxes() ? m_boxTexts : m_recorder->messages(); }
    // The box closed, the screen is the active window again (offscreen, nothing does it).
    void backToTheScreen();
    template <class T> T *child(const char *name) const
    {
        return m_form->findChild<T *>(QLatin1String(name));
    }

    std::optional<RecordingServices> m_recorder;
    QStringList m_boxTexts;
    QTimer m_boxCloser;
    FocusForm *m_form = nullptr;
};

void FocusTest::modes()
{
    QTest::addColumn<bool>("realBoxes");
    QTest::newRow("recorded messages") << false;
    QTest::newRow("real message boxes") << true;
}

bool FocusTest::realBoxes() const
{
    return QTest::currentDataTag() && QByteArray(QTest::currentDataTag()) == "real message boxes";
}

void FocusTest::initTestCase()
{
    Velmora::RegisterFrameworkComponents();
    Velmora::InputFilter::install();
    m_boxCloser.setInterval(20);
    connect(&m_boxCloser, &QTimer::timeout, this, [this] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            m_boxTexts << box->text();
            box->accept();
        }
    });
}

void FocusTest::init()
{
    m_boxTexts.clear();
    if (realBoxes())
        m_boxCloser.start();
    else
        m_recorder.emplace();
    m_form = TApplication::instance().CreateForm<FocusForm>();
    m_form->Show();
    QVERIFY(QTest::qWaitForWindowActive(m_form));
}

void FocusTest::cleanup()
{
    m_boxCloser.stop();
    m_recorder.reset();
    delete m_form;
    m_form = nullptr;
}

void FocusTest::backToTheScreen()
{
    if (!realBoxes())
        return;
    m_form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_form));
}

void FocusTest::failedExitShowsOneMessageAndKeepsTheFocus()
{
    auto *date = child<TDateEditPlus>("depB");
    date->setFocus();
    date->setCursorPosition(0);
    QTest::keyClicks(date, QStringLiteral("99999999"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    backToTheScreen();
    QCOMPARE(shown(), QStringList{"Data inválida."});
    QCOMPARE(QApplication::focusWidget(), date);
    QCOMPARE(m_form->log, QStringList{"exit:depB"});

    // Shift+Tab is a move of the user's too; the field is mended and left at last.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
    backToTheScreen();
    QCOMPARE(shown().size(), 2);
    QCOMPARE(QApplication::focusWidget(), date);
    date->selectAll();
    QTest::keyClicks(date, QStringLiteral("01022024"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), child<QWidget>("edtC"));
    QCOMPARE(shown().size(), 2);
    QCOMPARE(m_form->log, QStringList({"exit:depB", "exit:depB", "exit:depB", "enter:edtC"}));
}

void FocusTest::clickOnAnotherControlAfterAFailedExitIsSwallowed()
{
    auto *code = child<TMaskEdit>("medA");
    auto *check = child<QCheckBox>("chkD");
    code->setFocus();
    code->setCursorPosition(0);
    QTest::keyClicks(code, QStringLiteral("99"));
    QTest::mouseClick(m_form->windowHandle(), Qt::LeftButton, {},
                      check->mapTo(m_form, QPoint(8, check->height() / 2)));
    backToTheScreen();
    QCOMPARE(shown(), QStringList{"Código inválido."});
    QCOMPARE(QApplication::focusWidget(), code);
    QVERIFY(!check->isChecked());
    QCOMPARE(m_form->log, QStringList{"exit:medA"});
}

void FocusTest::movesByCodeRunNoExit()
{
    auto *code = child<TMaskEdit>("medA");
    auto *edit = child<QLineEdit>("edtC");
    code->setFocus();
    code->setCursorPosition(0);
    QTest::keyClicks(code, QStringLiteral("99"));
    // Form code moving the focus (a failing check returning it, a handler): no exit.
    QVERIFY(Velmora::Dispatch([&] { edit->setFocus(); }));
    QCOMPARE(QApplication::focusWidget(), edit);
    QVERIFY(Velmora::Dispatch([&] { code->setFocus(); }));
    QCOMPARE(QApplication::focusWidget(), code);
    QVERIFY(shown().isEmpty());
    QCOMPARE(m_form->log, QStringList{});

    // A lookup over the field chosen by the user: the dialog takes the focus, no exit runs.
    TestDataSet data;
    data.Fill({{QStringLiteral("CODIGO")}}, {{"01"}, {"02"}});
    child<TDataSource>("dtsA")->SetDataSet(&data);
    if (m_recorder)
        m_recorder->queueRowAt(1);
    if (realBoxes())
        QTimer::singleShot(50, this, [] {
            if (auto *dialog = qobject_cast<SearchDialog *>(QApplication::activeModalWidget()))
                dialog->reject();
        });
    QTest::keyClick(code, Qt::Key_F4);
    backToTheScreen();
    QCOMPARE(m_form->log, QStringList{});
    QCOMPARE(QApplication::focusWidget(), code);
}

void FocusTest::enterActsAsTab()
{
    auto *code = child<TMaskEdit>("medA");
    auto *date = child<TDateEditPlus>("depB");
    code->setFocus();
    code->setCursorPosition(0);
    QTest::keyClicks(code, QStringLiteral("5"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCOMPARE(QApplication::focusWidget(), date);
    QTest::keyClicks(date, QStringLiteral("12052024"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Enter);
    QCOMPARE(QApplication::focusWidget(), child<QWidget>("edtC"));
    QCOMPARE(m_form->log, QStringList({"exit:medA", "exit:depB", "enter:edtC"}));
    QVERIFY(shown().isEmpty());

    // Enter in a field whose exit fails stays there, with one message.
    date->setFocus();
    date->selectAll();
    QTest::keyClicks(date, QStringLiteral("31022024"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    backToTheScreen();
    QCOMPARE(shown(), QStringList{"Data inválida."});
    QCOMPARE(QApplication::focusWidget(), date);
}

void FocusTest::enterInADialogOverTheScreenIsTheDialogs()
{
    // The search dialog opens over the active screen: Enter in its box picks the row instead
    // of moving on as in the screen's edits.
    Velmora::Services::install(nullptr);
    TestDataSet data;
    data.Fill({{QStringLiteral("CODIGO")}}, {{"01"}, {"02"}, {"03"}});
    child<TDataSource>("dtsA")->SetDataSet(&data);
    QString parentName;
    QTimer::singleShot(50, this, [&parentName] {
        auto *dialog = qobject_cast<SearchDialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        parentName = dialog->parentWidget() ? dialog->parentWidget()->objectName() : QString();
        QTest::keyClicks(dialog->SearchBox(), QStringLiteral("02"));
        QTest::keyClick(dialog->SearchBox(), Qt::Key_Return);
        if (dialog->isVisible()) // Enter did not pick: close it, the test fails below
            dialog->reject();
    });
    child<TMaskEdit>("medA")->setFocus();
    QVERIFY(child<TBtnPesquisa>("btpA")->Press());
    QCOMPARE(parentName, QStringLiteral("frmFocus"));
    QCOMPARE(data.RecNo(), 1);
}

QTEST_MAIN(FocusTest)
#include "tst_focus.moc"
