// A clerk's day from the keyboard: the field reached is selected whole, Tab enters a group of
// choices on the checked one and the arrows move within it, Esc closes the help, the focus
// comes back after each dialog, and fields stay readable and look disabled when they are.
#include "RecordingServices.h"
#include "TestSupport.h"
#include "framework/ComponentRegistry.h"
#include "framework/Consiste.h"
#include "framework/ControlState.h"
#include "framework/Dispatch.h"
#include "framework/FieldCheck.h"
#include "framework/InputFilter.h"
#include "framework/TApplication.h"
#include "framework/TForm.h"
#include "framework/controls/TMaskEdit.h"

#include <QDialog>
#include <QLineEdit>
#include <QPointer>
#include <QRadioButton>
#include <QTextBrowser>
#include <QTimer>
#include <QtTest>

#include <cmath>
#include <optional>

class KeyboardForm : public TForm
{
    Q_OBJECT
public:
    using TForm::TForm;
    QString DescriptionPath() const override { return QStringLiteral(":/forms/KeyboardForm.json"); }

    QStringList log;

    Q_INVOKABLE void medAExit(QObject *sender)
    {
        if (static_cast<TMaskEdit *>(sender)->Text() == QLatin1String("99"))
            Consiste::MensErro(QStringLiteral("Código inválido."), true);
    }
    Q_INVOKABLE void rdbTodosClick(QObject *) { log << QStringLiteral("click:rdbTodos"); }
    Q_INVOKABLE void rdbListaClick(QObject *) { log << QStringLiteral("click:rdbLista"); }
};

namespace {
// Relative luminance and contrast ratio as the web's accessibility guidelines define them.
double luminance(const QColor &c)
{
    const auto lin = [](double v) {
        return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * lin(c.redF()) + 0.7152 * lin(c.greenF()) + 0.0722 * lin(c.blueF());
}

double contrast(const QColor &a, const QColor &b)
{
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}
} // namespace

class KeyboardTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void theFieldReachedIsSelectedWhole_data();
    void theFieldReachedIsSelectedWhole();
    void tabEntersAGroupOnItsCheckedChoice_data();
    void tabEntersAGroupOnItsCheckedChoice();
    void arrowsChooseWithinTheGroupAndEnterMovesOn();
    void escClosesTheHelp();
    void theFocusComesBackAfterADialog_data();
    void theFocusComesBackAfterADialog();
    void fieldsAreReadableAndLookDisabled_data();
    void fieldsAreReadableAndLookDisabled();

private:
    template <class T> T *child(const QString &name) const { return m_form->findChild<T *>(name); }
    static QWidget *focused() { return QApplication::focusWidget(); }

    std::optional<RecordingServices> m_recorder;
    KeyboardForm *m_form = nullptr;
};

void KeyboardTest::initTestCase()
{
    Velmora::RegisterFrameworkComponents();
    Velmora::InputFilter::install();
}

void KeyboardTest::init()
{
    m_recorder.emplace();
    m_form = TApplication::instance().CreateForm<KeyboardForm>();
    m_form->Show();
    QVERIFY(QTest::qWaitForWindowActive(m_form));
    child<TMaskEdit>(QStringLiteral("medA"))->SetText(QStringLiteral("12"));
    child<QLineEdit>(QStringLiteral("edtNome"))->setText(QStringLiteral("EMPRESA DEMONSTRAÇÃO"));
    child<QLineEdit>(QStringLiteral("edtB"))->setText(QStringLiteral("abc"));
    child<QLineEdit>(QStringLiteral("edtD"))->setText(QStringLiteral("xyz"));
    m_form->log.clear();
}

void KeyboardTest::cleanup()
{
    m_recorder.reset();
    delete m_form;
    m_form = nullptr;
}

void KeyboardTest::theFieldReachedIsSelectedWhole_data()
{
    QTest::addColumn<QString>("move");
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("landsOn");
    QTest::addColumn<bool>("selectedWhole");
    QTest::newRow("Tab") << "tab"
                         << "medA"
                         << "edtB" << true;
    QTest::newRow("Shift+Tab into a masked field") << "backtab"
                                                   << "edtB"
                                                   << "medA" << true;
    QTest::newRow("Enter as Tab") << "enter"
                                  << "medA"
                                  << "edtB" << true;
    QTest::newRow("back after a failed exit") << "failedExit"
                                              << "medA"
                                              << "medA" << true;
    QTest::newRow("back by the check's own code") << "failedCheck"
                                                  << "edtB"
                                                  << "medA" << true;
    QTest::newRow("a click places the caret") << "click"
                                              << "medA"
                                              << "edtB" << false;
}

void KeyboardTest::theFieldReachedIsSelectedWhole()
{
    QFETCH(QString, move);
    QFETCH(QString, from);
    QFETCH(QString, landsOn);
    QFETCH(bool, selectedWhole);
    auto *medA = child<TMaskEdit>(QStringLiteral("medA"));
    auto *target = child<QLineEdit>(landsOn);
    if (move == QLatin1String("failedExit"))
        medA->SetText(QStringLiteral("99"));
    auto *start = child<QLineEdit>(from);
    start->setFocus();
    start->deselect();

    if (move == QLatin1String("tab") || move == QLatin1String("failedExit"))
        QTest::keyClick(focused(), Qt::Key_Tab);
    else if (move == QLatin1String("backtab"))
        QTest::keyClick(focused(), Qt::Key_Backtab, Qt::ShiftModifier);
    else if (move == QLatin1String("enter"))
        QTest::keyClick(focused(), Qt::Key_Return);
    else if (move == QLatin1String("failedCheck"))
        QVERIFY(!Velmora::Dispatch([&] {
            Velmora::FocusOnFailure(
                medA, [] { Consiste::MensErro(QStringLiteral("Código inválido."), true); });
        }));
    else
        QTest::mouseClick(m_form->windowHandle(), Qt::LeftButton, {},
                          target->mapTo(m_form, QPoint(4, target->height() / 2)));

    QCOMPARE(focused(), target);
    QCOMPARE(target->hasSelectedText() && target->selectedText() == target->text(), selectedWhole);
    if (!selectedWhole)
        return;
    // What the clerk types next replaces the whole value, masked or not.
    QTest::keyClicks(focused(), QStringLiteral("34"));
    QCOMPARE(target->property("Text").toString(), QStringLiteral("34"));
}

void KeyboardTest::tabEntersAGroupOnItsCheckedChoice_data()
{
    QTest::addColumn<QString>("checked");
    QTest::addColumn<QString>("from");
    QTest::addColumn<bool>("backwards");
    QTest::newRow("Todos, Tab") << "rdbTodos"
                                << "edtB" << false;
    QTest::newRow("Todos, Shift+Tab") << "rdbTodos"
                                      << "edtD" << true;
    QTest::newRow("Lista, Tab") << "rdbLista"
                                << "edtB" << false;
    QTest::newRow("Lista, Shift+Tab") << "rdbLista"
                                      << "edtD" << true;
}

void KeyboardTest::tabEntersAGroupOnItsCheckedChoice()
{
    QFETCH(QString, checked);
    QFETCH(QString, from);
    QFETCH(bool, backwards);
    auto *choice = child<QRadioButton>(checked);
    choice->setChecked(true);
    child<QWidget>(from)->setFocus();
    if (backwards)
        QTest::keyClick(focused(), Qt::Key_Backtab, Qt::ShiftModifier);
    else
        QTest::keyClick(focused(), Qt::Key_Tab);
    QCOMPARE(focused(), choice);
    // Out of the group at once, the other way round.
    if (backwards)
        QTest::keyClick(focused(), Qt::Key_Backtab, Qt::ShiftModifier);
    else
        QTest::keyClick(focused(), Qt::Key_Tab);
    QCOMPARE(focused(),
             child<QWidget>(backwards ? QStringLiteral("edtB") : QStringLiteral("edtD")));
}

void KeyboardTest::arrowsChooseWithinTheGroupAndEnterMovesOn()
{
    auto *todos = child<QRadioButton>(QStringLiteral("rdbTodos"));
    auto *lista = child<QRadioButton>(QStringLiteral("rdbLista"));
    child<QWidget>(QStringLiteral("edtB"))->setFocus();
    QTest::keyClick(focused(), Qt::Key_Tab);
    QCOMPARE(focused(), todos);
    QTest::keyClick(focused(), Qt::Key_Down);
    QCOMPARE(focused(), lista);
    QVERIFY(lista->isChecked());
    QTest::keyClick(focused(), Qt::Key_Up);
    QCOMPARE(focused(), todos);
    QVERIFY(todos->isChecked());
    QCOMPARE(m_form->log, QStringList({"click:rdbLista", "click:rdbTodos"}));

    QTest::keyClick(focused(), Qt::Key_Down);
    QTest::keyClick(focused(), Qt::Key_Return);
    QCOMPARE(focused(), child<QWidget>(QStringLiteral("edtD")));
    QVERIFY(lista->isChecked());
    QTest::keyClick(focused(), Qt::Key_Backtab, Qt::ShiftModifier);
    QCOMPARE(focused(), lista);
}

void KeyboardTest::escClosesTheHelp()
{
    Velmora::Services::install(nullptr);
    child<QWidget>(QStringLiteral("edtB"))->setFocus();
    QTest::keyClick(focused(), Qt::Key_F1);
    QPointer<QTextBrowser> help;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *browser = qobject_cast<QTextBrowser *>(w); browser && browser->isVisible())
            help = browser;
    QVERIFY(help);
    QVERIFY(help->toPlainText().contains(QStringLiteral("teclado")));
    help->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(help));
    QTest::keyClick(help.data(), Qt::Key_Escape);
    QTRY_VERIFY(help.isNull());
    QVERIFY(m_recorder->messages().isEmpty());
}

void KeyboardTest::theFocusComesBackAfterADialog_data()
{
    QTest::addColumn<QString>("dialog");
    for (const char *dialog : {"message", "question", "search", "list", "text", "file"})
        QTest::newRow(dialog) << QString::fromLatin1(dialog);
}

void KeyboardTest::theFocusComesBackAfterADialog()
{
    QFETCH(QString, dialog);
    Velmora::Services::install(nullptr); // the real dialogs
    TestDataSet data;
    data.Fill({{QStringLiteral("CODIGO")}}, {{"01"}, {"02"}});
    QTimer closer;
    QStringList seen;
    connect(&closer, &QTimer::timeout, this, [&seen] {
        if (auto *modal = qobject_cast<QDialog *>(QApplication::activeModalWidget())) {
            seen << QString::fromLatin1(modal->metaObject()->className());
            modal->reject();
        }
    });
    closer.start(20);
    auto *edit = child<QLineEdit>(QStringLiteral("edtD"));
    edit->setFocus();
    QVERIFY(Velmora::Dispatch([&] {
        Velmora::Services &gui = Velmora::Services::current();
        QString text;
        if (dialog == QLatin1String("message"))
            gui.showMessage(QStringLiteral("Aviso."));
        else if (dialog == QLatin1String("question"))
            gui.confirm(QStringLiteral("Pergunta"), QStringLiteral("Continuar?"));
        else if (dialog == QLatin1String("search"))
            gui.pickRow(&data, QStringLiteral("Código"));
        else if (dialog == QLatin1String("list"))
            gui.pickRows(&data, QStringLiteral("CODIGO"), QStringLiteral("Códigos"),
                         QStringLiteral("Não há códigos."), text);
        else if (dialog == QLatin1String("text"))
            gui.askText(QStringLiteral("Texto"), QStringLiteral("Nome:"), text);
        else
            gui.chooseFile(QStringLiteral("Salvar"), QStringLiteral("PDF (*.pdf)"),
                           QDir::temp().filePath(QStringLiteral("teclado.pdf")), true);
    }));
    closer.stop();
    QCOMPARE(seen.size(), 1);
    // Nothing here activates the screen again: the services do.
    QTRY_VERIFY(m_form->isActiveWindow());
    QCOMPARE(focused(), edit);
}

void KeyboardTest::fieldsAreReadableAndLookDisabled_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<bool>("enabled");
    QTest::newRow("name box, disabled") << "edtNome" << false;
    QTest::newRow("name box, enabled") << "edtNome" << true;
    QTest::newRow("required field, enabled") << "medA" << true;
    QTest::newRow("required field, disabled") << "medA" << false;
}

void KeyboardTest::fieldsAreReadableAndLookDisabled()
{
    QFETCH(QString, field);
    QFETCH(bool, enabled);
    auto *edit = child<QLineEdit>(field);
    edit->setEnabled(enabled);
    const QImage image = edit->grab().toImage();
    // The background where no text is; the text's colour is its darkest stroke.
    const QColor background = image.pixelColor(image.width() - 5, image.height() / 2);
    QColor text = background;
    for (int y = 2; y < image.height() - 2; ++y)
        for (int x = 2; x < image.width() / 2; ++x)
            if (contrast(image.pixelColor(x, y), background) > contrast(text, background))
                text = image.pixelColor(x, y);
    const double ratio = contrast(text, background);
    QVERIFY2(ratio >= 4.5, qPrintable(QStringLiteral("%1 sobre %2: %3:1")
                                          .arg(text.name(), background.name())
                                          .arg(ratio, 0, 'f', 2)));

    const QColor marked =
        Velmora::ColorByName(Velmora::StateOf(edit) ? Velmora::StateOf(edit)->color() : QString());
    if (enabled) {
        QCOMPARE(background.name(), marked.name());
    } else {
        // Disabled, a field looks as every disabled control does, whatever colour marks it.
        QCOMPARE(background.name(),
                 QApplication::palette().color(QPalette::Disabled, QPalette::Base).name());
        if (field == QLatin1String("medA"))
            QVERIFY(background.name() != marked.name());
    }
}

QTEST_MAIN(KeyboardTest)
#include "tst_keyboard.moc"
