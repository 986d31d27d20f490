#include "framework/EditMask.h"
#include "framework/Events.h"
#include "framework/controls/TMaskEdit.h"

#include <QApplication>
#include <QClipboard>
#include <QtTest>

// Counts the change events of the controls it is bound to.
class ChangeCounter : public QObject
{
    Q_OBJECT
public:
    int changes = 0;
    QStringList texts;
    Q_INVOKABLE void changed(QObject *sender)
    {
        ++changes;
        texts << static_cast<TMaskEdit *>(sender)->Text();
    }
};

class EditMaskTest : public QObject
{
    Q_OBJECT

private slots:
    void typing_data();
    void typing();
    void typedInTheControl_data();
    void typedInTheControl();
    void writtenByCode_data();
    void writtenByCode();
    void noPositionFilledIsAnEmptyText();
    void formatShowsOnlyValuesThatFit_data();
    void formatShowsOnlyValuesThatFit();
    void requiredPositions();
    void caseDirectivesAndEscapes();
    void deletingClearsPositions();
    void changeEventsOnlyOnRealChanges();
    void pasteGoesThroughTheMask();
    void maxLength();
    void neverUsesQtInputMask();
};

// The engine: what typing a sequence of characters into an empty field gives.
void EditMaskTest::typing_data()
{
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("display");
    QTest::addColumn<QString>("text");

    QTest::newRow("tax code, one digit") << "!99;0; "
                                         << "5"
                                         << "5 "
                                         << "5";
    QTest::newRow("tax code, two digits") << "!99;0; "
                                          << "12"
                                          << "12"
                                          << "12";
    QTest::newRow("tax code, third digit refused") << "!99;0; "
                                                   << "123"
                                                   << "12"
                                                   << "12";
    QTest::newRow("tax code, letters refused") << "!99;0; "
                                               << "a1b"
                                               << "1 "
                                               << "1";
    QTest::newRow("company code, one digit") << "99;0; "
                                             << "7"
                                             << "7 "
                                             << "7";
    QTest::newRow("company code, letters refused") << "99;0; "
                                                   << "xy"
                                                   << "  "
                                                   << "";
    QTest::newRow("cnpj, digits only") << "00.000.000/0000-00;0;_"
                                       << "12345678000195"
                                       << "12.345.678/0001-95"
                                       << "12345678000195";
    QTest::newRow("cnpj, with its literals") << "00.000.000/0000-00;0;_"
                                             << "12.345.678/0001-95"
                                             << "12.345.678/0001-95"
                                             << "12345678000195";
    QTest::newRow("cnpj, part") << "00.000.000/0000-00;0;_"
                                << "1234"
                                << "12.34_.___/____-__"
                                << "1234";
    QTest::newRow("cpf") << "000.000.000-00;0;_"
                         << "12345678909"
                         << "123.456.789-09"
                         << "12345678909";
    QTest::newRow("cpf, letters refused") << "000.000.000-00;0;_"
                                          << "1a2b3"
                                          << "123.___.___-__"
                                          << "123";
    QTest::newRow("date without slashes") << "99/99/9999;1; "
                                          << "12052024"
                                          << "12/05/2024"
                                          << "12/05/2024";
    QTest::newRow("date with slashes") << "99/99/9999;1; "
                                       << "12/05/2024"
                                       << "12/05/2024"
                                       << "12/05/2024";
    QTest::newRow("date, part") << "99/99/9999;1; "
                                << "1205"
                                << "12/05/    "
                                << "12/05/";
    // Stored literals stay; only the unfilled positions at the end go.
    QTest::newRow("literal stored, blanks kept inside") << "(99) 9999;1;_"
                                                        << "1"
                                                        << "(1_) ____"
                                                        << "(1 ) ";
}

void EditMaskTest::typing()
{
    QFETCH(QString, mask);
    QFETCH(QString, typed);
    QFETCH(QString, display);
    QFETCH(QString, text);
    const EditMask m(mask);
    const EditMask::Edit edit = m.type(m.emptyDisplay(), 0, typed);
    QCOMPARE(edit.display, display);
    QCOMPARE(m.valueOf(edit.display), text);
}

// The same through the control, typed key by key as the user does.
void EditMaskTest::typedInTheControl_data()
{
    typing_data();
}

void EditMaskTest::typedInTheControl()
{
    QFETCH(QString, mask);
    QFETCH(QString, typed);
    QFETCH(QString, display);
    QFETCH(QString, text);
    TMaskEdit edit;
    edit.SetEditMask(mask);
    edit.show();
    edit.setFocus();
    edit.setCursorPosition(0);
    QTest::keyClicks(&edit, typed);
    QCOMPARE(edit.EditText(), display);
    QCOMPARE(edit.Text(), text);
}

void EditMaskTest::writtenByCode_data()
{
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("display");
    QTest::addColumn<QString>("text");

    // "!": the missing positions stand in front; without it, at the end. The value drops them.
    QTest::newRow("! short value at the right") << "!999;0;_"
                                                << "12"
                                                << "_12"
                                                << "12";
    // With stored literals too: a value that left out its blank front positions reads back
    // where it was typed, not shifted onto the literal (found by fuzzing).
    QTest::newRow("! short value at the right, literals stored") << "!999-99;1;_"
                                                                 << "23-45"
                                                                 << "_23-45"
                                                                 << "23-45";
    QTest::newRow("no ! short value at the left") << "999;0;_"
                                                  << "12"
                                                  << "12_"
                                                  << "12";
    QTest::newRow("tax code brought to width") << "!99;0; "
                                               << "05"
                                               << "05"
                                               << "05";
    QTest::newRow("tax code one digit") << "!99;0; "
                                        << "5"
                                        << " 5"
                                        << "5";
    QTest::newRow("company code one digit") << "99;0; "
                                            << "5"
                                            << "5 "
                                            << "5";
    QTest::newRow("cnpj raw") << "00.000.000/0000-00;0;_"
                              << "12345678000195"
                              << "12.345.678/0001-95"
                              << "12345678000195";
    QTest::newRow("cnpj formatted") << "00.000.000/0000-00;0;_"
                                    << "12.345.678/0001-95"
                                    << "12.345.678/0001-95"
                                    << "12345678000195";
    QTest::newRow("date") << "99/99/9999;1; "
                          << "01/02/2024"
                          << "01/02/2024"
                          << "01/02/2024";
    QTest::newRow("date with short parts") << "99/99/9999;1; "
                                           << "1/2/2024"
                                           << "1 /2 /2024"
                                           << "1 /2 /2024";
    QTest::newRow("empty") << "!99;0; "
                           << ""
                           << "  "
                           << "";
    QTest::newRow("refused characters left out") << "99;0; "
                                                 << "a"
                                                 << "  "
                                                 << "";
}

void EditMaskTest::writtenByCode()
{
    QFETCH(QString, mask);
    QFETCH(QString, value);
    QFETCH(QString, display);
    QFETCH(QString, text);
    TMaskEdit edit;
    edit.SetEditMask(mask);
    edit.SetText(value);
    QCOMPARE(edit.EditText(), display);
    QCOMPARE(edit.Text(), text);
}

void EditMaskTest::noPositionFilledIsAnEmptyText()
{
    for (const QString &mask :
         {QStringLiteral("!99;0; "), QStringLiteral("99/99/9999;1; "),
          QStringLiteral("00.000.000/0000-00;0;_"), QStringLiteral("(999) 9999;1;_")}) {
        TMaskEdit edit;
        edit.SetEditMask(mask);
        QCOMPARE(edit.Text().size(), 0);
        QVERIFY(!edit.Text().isNull());
        edit.SetText(QStringLiteral("1"));
        QVERIFY(!edit.Text().isEmpty());
        edit.selectAll();
        edit.del();
        QCOMPARE(edit.Text().size(), 0);
    }
}

void EditMaskTest::formatShowsOnlyValuesThatFit_data()
{
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("shown");

    const QString cnpj = QStringLiteral("00.000.000/0000-00;0;_");
    const QString cpf = QStringLiteral("000.000.000-00;0;_");
    QTest::newRow("cnpj under cnpj mask") << cnpj << "12345678000195"
                                          << "12.345.678/0001-95";
    QTest::newRow("cpf under cnpj mask") << cnpj << "12345678909"
                                         << "12345678909";
    QTest::newRow("cnpj under cpf mask") << cpf << "12345678000195"
                                         << "12345678000195";
    QTest::newRow("cpf under cpf mask") << cpf << "12345678909"
                                        << "123.456.789-09";
    QTest::newRow("letters under a digit mask") << cpf << "1234567890X"
                                                << "1234567890X";
    QTest::newRow("empty") << cnpj << ""
                           << "";
    QTest::newRow("short code") << "!99;0; "
                                << "5"
                                << "5";
    QTest::newRow("saved literals") << "99/99/9999;1;_"
                                    << "01/02/2024"
                                    << "01/02/2024";
    QTest::newRow("saved literals, wrong separator") << "99/99/9999;1;_"
                                                     << "01-02-2024"
                                                     << "01-02-2024";
}

void EditMaskTest::formatShowsOnlyValuesThatFit()
{
    QFETCH(QString, mask);
    QFETCH(QString, value);
    QFETCH(QString, shown);
    QCOMPARE(EditMask(mask).format(value), shown);
}

void EditMaskTest::requiredPositions()
{
    const EditMask m(QStringLiteral("000;0;_"));
    QVERIFY(m.isComplete(m.emptyDisplay()));
    QVERIFY(!m.isComplete(m.type(m.emptyDisplay(), 0, QStringLiteral("12")).display));
    QVERIFY(m.isComplete(m.type(m.emptyDisplay(), 0, QStringLiteral("123")).display));
    const EditMask optional(QStringLiteral("999;0;_"));
    QVERIFY(optional.isComplete(
        optional.type(optional.emptyDisplay(), 0, QStringLiteral("1")).display));
}

void EditMaskTest::caseDirectivesAndEscapes()
{
    const EditMask upper(QStringLiteral(">LL<ll<>LL;0;_"));
    QCOMPARE(upper.valueOf(upper.type(upper.emptyDisplay(), 0, QStringLiteral("abCDeF")).display),
             QStringLiteral("ABcdeF"));
    // "\9" is a literal nine, not a digit position.
    const EditMask escaped(QStringLiteral("\\99;1;_"));
    QCOMPARE(escaped.length(), 2);
    QCOMPARE(escaped.inputCount(), 1);
    QCOMPARE(escaped.valueOf(escaped.type(escaped.emptyDisplay(), 0, QStringLiteral("5")).display),
             QStringLiteral("95"));
    // Other letters of the notation: "#" takes a sign, "A" letters and digits, "C" anything.
    const EditMask mixed(QStringLiteral("#AC;0;_"));
    QCOMPARE(mixed.valueOf(mixed.type(mixed.emptyDisplay(), 0, QStringLiteral("-x?")).display),
             QStringLiteral("-x?"));
    QCOMPARE(mixed.valueOf(mixed.type(mixed.emptyDisplay(), 0, QStringLiteral("x")).display),
             QStringLiteral(""));
}

void EditMaskTest::deletingClearsPositions()
{
    TMaskEdit edit;
    edit.SetEditMask(QStringLiteral("99/99/9999;1; "));
    edit.show();
    edit.setFocus();
    edit.setCursorPosition(0);
    QTest::keyClicks(&edit, QStringLiteral("12052024"));
    QTest::keyClick(&edit, Qt::Key_Backspace);
    QCOMPARE(edit.EditText(), QStringLiteral("12/05/202 "));
    // Backspace over a literal only moves over it.
    edit.setCursorPosition(6);
    QTest::keyClick(&edit, Qt::Key_Backspace);
    QCOMPARE(edit.EditText(), QStringLiteral("12/05/202 "));
    QCOMPARE(edit.cursorPosition(), 5);
    QTest::keyClick(&edit, Qt::Key_Backspace);
    QCOMPARE(edit.EditText(), QStringLiteral("12/0 /202 "));
    edit.setSelection(0, 3);
    QTest::keyClick(&edit, Qt::Key_Delete);
    QCOMPARE(edit.EditText(), QStringLiteral("  /0 /202 "));
    // Typing over a selection replaces it; a refused key leaves everything as it was.
    edit.setSelection(0, 5);
    QTest::keyClick(&edit, Qt::Key_A);
    QCOMPARE(edit.EditText(), QStringLiteral("  /0 /202 "));
    edit.setSelection(0, 5);
    QTest::keyClicks(&edit, QStringLiteral("3101"));
    QCOMPARE(edit.EditText(), QStringLiteral("31/01/202 "));
}

void EditMaskTest::changeEventsOnlyOnRealChanges()
{
    TMaskEdit edit;
    ChangeCounter counter;
    QString why;
    QVERIFY2(Velmora::Events::of(&edit).bind(QStringLiteral("OnChange"),
                                             Velmora::EventSignature::Notify, &counter, "changed",
                                             &why),
             qPrintable(why));
    edit.SetEditMask(QStringLiteral("!99;0; "));
    QCOMPARE(counter.changes, 0);
    edit.show();
    edit.setFocus();
    edit.setCursorPosition(0);

    QTest::keyClick(&edit, Qt::Key_5);
    QCOMPARE(counter.changes, 1);
    QTest::keyClick(&edit, Qt::Key_X); // refused: nothing changes
    QCOMPARE(counter.changes, 1);
    // The value the control holds, written again (here from another display): no change.
    edit.SetText(QStringLiteral("5"));
    QCOMPARE(counter.changes, 1);
    edit.SetText(QStringLiteral("05")); // brought to width by code: a change
    QCOMPARE(counter.changes, 2);
    edit.SetText(QStringLiteral("05"));
    QCOMPARE(counter.changes, 2);
    edit.setSelection(0, 2);
    QTest::keyClick(&edit, Qt::Key_Delete);
    QCOMPARE(counter.changes, 3);
    QCOMPARE(counter.texts, QStringList({"5", "05", ""}));

    // A plain edit (no mask) behaves alike.
    TMaskEdit plain;
    ChangeCounter plainCounter;
    QVERIFY(Velmora::Events::of(&plain).bind(QStringLiteral("OnChange"),
                                             Velmora::EventSignature::Notify, &plainCounter,
                                             "changed", &why));
    plain.SetText(QStringLiteral("abc"));
    plain.SetText(QStringLiteral("abc"));
    QCOMPARE(plainCounter.changes, 1);
}

void EditMaskTest::pasteGoesThroughTheMask()
{
    TMaskEdit edit;
    edit.SetEditMask(QStringLiteral("00.000.000/0000-00;0;_"));
    edit.show();
    edit.setFocus();
    QApplication::clipboard()->setText(QStringLiteral("12.345.678/0001-95"));
    edit.selectAll();
    edit.paste();
    QCOMPARE(edit.Text(), QStringLiteral("12345678000195"));
    QApplication::clipboard()->setText(QStringLiteral("98x765"));
    edit.selectAll();
    edit.paste();
    QCOMPARE(edit.Text(), QStringLiteral("98765"));
}

void EditMaskTest::maxLength()
{
    TMaskEdit plain;
    plain.SetMaxLength(16);
    plain.show();
    plain.setFocus();
    QTest::keyClicks(&plain, QStringLiteral("12345678901234567890"));
    QCOMPARE(plain.Text(), QStringLiteral("1234567890123456"));

    TMaskEdit masked;
    masked.SetEditMask(QStringLiteral("9999;0;_"));
    masked.SetMaxLength(2);
    masked.show();
    masked.setFocus();
    masked.setCursorPosition(0);
    QTest::keyClicks(&masked, QStringLiteral("1234"));
    QCOMPARE(masked.Text(), QStringLiteral("12"));
}

void EditMaskTest::neverUsesQtInputMask()
{
    TMaskEdit edit;
    edit.SetEditMask(QStringLiteral("!99;0; "));
    QVERIFY(edit.inputMask().isEmpty());
    QVERIFY(edit.validator() != nullptr);
}

QTEST_MAIN(EditMaskTest)
#include "tst_editmask.moc"
