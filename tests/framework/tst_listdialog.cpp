#include "RecordingServices.h"
#include "TestSupport.h"
#include "framework/dialogs/ListDialog.h"
#include "framework/dialogs/PastedCodes.h"

#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QTableView>
#include <QtTest>

// The list dialog from the keyboard: where the focus starts, Space, the count, the size it
// keeps, and codes pasted the ways a clerk copies them.
class ListDialogTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void pastedCodesCheckTheirRows_data();
    void pastedCodesCheckTheirRows();
    void ctrlVInTheFilterPastesAListAndTypesOneText();
    void keyboardChecksRowsWithoutLosingTyping();
    void opensInTheFilterAndKeepsItsSize();

private:
    std::unique_ptr<TestDataSet> m_data;
};

void ListDialogTest::init()
{
    // Legal registrations stored bare (companies and a person), and branch-like codes that
    // hold punctuation of their own.
    m_data = std::make_unique<TestDataSet>();
    m_data->Fill(
        {{QStringLiteral("NRINSJURFORN")}, {QStringLiteral("NOME")}, {QStringLiteral("CODIGO")}},
        {{"12204179000188", "Acme Comércio", "A-01"},
         {"12345678909", "João da Silva", "B.02"},
         {"00000000000191", "Banco Ltda", "C 03"},
         {"98765432000110", "Zeta Indústria", "104"}});
    m_data->FieldByName(QStringLiteral("NRINSJURFORN"))->SetSize(14);
}

void ListDialogTest::cleanup()
{
    m_data.reset();
}

void ListDialogTest::pastedCodesCheckTheirRows_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("pasted");
    QTest::addColumn<QList<int>>("checked");
    QTest::addColumn<QStringList>("messages");
    const QString reg = QStringLiteral("NRINSJURFORN");
    const QString code = QStringLiteral("CODIGO");

    QTest::newRow("formatted CNPJ")
        << reg << "12.204.179/0001-88" << QList<int>{0} << QStringList{};
    QTest::newRow("formatted CPF") << reg << "123.456.789-09" << QList<int>{1} << QStringList{};
    QTest::newRow("spreadsheet column") << reg
                                        << "12.204.179/0001-88\r\n\r\n123.456.789-09\r\n  "
                                           "\r\n98765432000110\r\n"
                                        << QList<int>{0, 1, 3} << QStringList{};
    QTest::newRow("semicolons and commas")
        << reg << "12.204.179/0001-88;123.456.789-09 , 98765432000110" << QList<int>{0, 1, 3}
        << QStringList{};
    QTest::newRow("tabs") << reg << "12204179000188\t\t123.456.789-09" << QList<int>{0, 1}
                          << QStringList{};
    QTest::newRow("blanks inside a code")
        << reg << " 12 204 179 0001 88 " << QList<int>{0} << QStringList{};
    QTest::newRow("codes between blanks")
        << reg << "12204179000188 98765432000110" << QList<int>{0, 3} << QStringList{};
    QTest::newRow("one not found, named as pasted")
        << reg << "12.204.179/0001-88\r\n11.111.111/1111-11\r\n"
        << QList<int>{0} << QStringList{"Código não encontrado na lista: 11.111.111/1111-11."};
    QTest::newRow("letters are no punctuation")
        << reg << "12204179000188x;abc;123.456.789-09" << QList<int>{1}
        << QStringList{"Códigos não encontrados na lista: 12204179000188x, abc."};
    QTest::newRow("a word of a line not found")
        << reg << "12204179000188 555" << QList<int>{0}
        << QStringList{"Código não encontrado na lista: 555."};
    QTest::newRow("non-numeric codes as stored")
        << code << "A-01\r\nC 03\r\nB.02" << QList<int>{0, 1, 2} << QStringList{};
    QTest::newRow("non-numeric codes keep their punctuation")
        << code << "A01;B02" << QList<int>{}
        << QStringList{"Códigos não encontrados na lista: A01, B02."};
    QTest::newRow("a numeric code among non-numeric ones")
        << code << "1.04" << QList<int>{} << QStringList{"Código não encontrado na lista: 1.04."};
}

void ListDialogTest::pastedCodesCheckTheirRows()
{
    QFETCH(QString, key);
    QFETCH(QString, pasted);
    QFETCH(QList<int>, checked);
    QFETCH(QStringList, messages);
    RecordingServices recorder;
    ListDialog dialog(m_data.get(), key, QString(), QString());
    dialog.PasteCodes(pasted);
    QList<int> rows;
    for (int r = 0; r < dialog.RowCount(); ++r)
        if (dialog.IsChecked(r))
            rows << r;
    QCOMPARE(rows, checked);
    QCOMPARE(recorder.messages(), messages);
    QCOMPARE(dialog.CountLabel()->text(),
             QStringLiteral("%1 de 4 selecionados").arg(checked.size()));
}

void ListDialogTest::ctrlVInTheFilterPastesAListAndTypesOneText()
{
    RecordingServices recorder;
    ListDialog dialog(m_data.get(), QStringLiteral("NRINSJURFORN"), QString(), QString());
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    QApplication::clipboard()->setText(QStringLiteral("123.456.789-09\r\n98765432000110\r\n"));
    QTest::keyClick(dialog.FilterBox(), Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(dialog.CheckedCount(), 2);
    QVERIFY(dialog.FilterBox()->text().isEmpty());
    // A spreadsheet's single cell is a list too.
    QApplication::clipboard()->setText(QStringLiteral("12.204.179/0001-88\r\n"));
    QTest::keyClick(dialog.FilterBox(), Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(dialog.CheckedCount(), 3);
    QVERIFY(dialog.FilterBox()->text().isEmpty());
    // One text is what the clerk filters by.
    QApplication::clipboard()->setText(QStringLiteral("Zeta"));
    QTest::keyClick(dialog.FilterBox(), Qt::Key_V, Qt::ControlModifier);
    QCOMPARE(dialog.FilterBox()->text(), QStringLiteral("Zeta"));
    QCOMPARE(dialog.CheckedCount(), 3);
    QVERIFY(recorder.messages().isEmpty());
}

void ListDialogTest::keyboardChecksRowsWithoutLosingTyping()
{
    ListDialog dialog(m_data.get(), QStringLiteral("NRINSJURFORN"), QString(), QString());
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    QLineEdit *filter = dialog.FilterBox();
    QTableView *view = dialog.View();
    QCOMPARE(QApplication::focusWidget(), filter);

    // In the empty box Space checks the current (first) row.
    QTest::keyClick(filter, Qt::Key_Space);
    QVERIFY(dialog.IsChecked(0));
    QVERIFY(filter->text().isEmpty());
    QTest::keyClick(filter, Qt::Key_Space);
    QVERIFY(!dialog.IsChecked(0));

    // Between words the blank is the clerk's; Enter filters and leads to the rows.
    QTest::keyClicks(filter, QStringLiteral("da Silva"));
    QCOMPARE(filter->text(), QStringLiteral("da Silva"));
    QCOMPARE(dialog.CheckedCount(), 0);
    QTest::keyClick(filter, Qt::Key_Return);
    QVERIFY(dialog.isVisible());
    QCOMPARE(dialog.ShownCount(), 1);
    QCOMPARE(QApplication::focusWidget(), view);
    QTest::keyClick(view, Qt::Key_Space);
    QVERIFY(dialog.IsChecked(1));
    QCOMPARE(dialog.CountLabel()->text(), QStringLiteral("1 de 4 selecionados (exibindo 1)"));

    // Letters typed in the rows land in the filter.
    QTest::keyClicks(view, QStringLiteral("x"));
    QCOMPARE(QApplication::focusWidget(), filter);
    QCOMPARE(filter->text(), QStringLiteral("da Silvax"));

    // The cursor keys lead to the rows on the current row; Space there toggles it.
    filter->clear();
    dialog.SetFilter(QString());
    QTest::keyClick(filter, Qt::Key_Down);
    QCOMPARE(QApplication::focusWidget(), view);
    QTest::keyClick(view, Qt::Key_Down);
    QTest::keyClick(view, Qt::Key_Down);
    QTest::keyClick(view, Qt::Key_Space);
    QVERIFY(dialog.IsChecked(2));
    QCOMPARE(dialog.CountLabel()->text(), QStringLiteral("2 de 4 selecionados"));
}

void ListDialogTest::opensInTheFilterAndKeepsItsSize()
{
    // Enough rows for the count's text to outgrow the dialog's buttons row.
    TestDataSet many;
    QVector<QVector<QVariant>> rows;
    for (int i = 0; i < 200000; ++i)
        rows.append({QStringLiteral("%1").arg(i, 6, 10, QLatin1Char('0'))});
    many.Fill({{QStringLiteral("CDFILIAL")}}, std::move(rows));
    ListDialog dialog(&many, QStringLiteral("CDFILIAL"), QString(), QString());
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    QCOMPARE(QApplication::focusWidget(), dialog.FilterBox());
    const QSize opened = dialog.size();

    dialog.CheckAll();
    dialog.SetFilter(QStringLiteral("1"));
    QCoreApplication::processEvents();
    QCOMPARE(
        dialog.CountLabel()->text(),
        QStringLiteral("200000 de 200000 selecionados (exibindo %1)").arg(dialog.ShownCount()));
    QCOMPARE(dialog.size(), opened);
    const QLabel *count = dialog.CountLabel();
    QVERIFY(count->width() >= count->fontMetrics().horizontalAdvance(count->text()));
    dialog.UncheckAll();
    dialog.SetFilter(QString());
    QCoreApplication::processEvents();
    QCOMPARE(dialog.size(), opened);
}

QTEST_MAIN(ListDialogTest)
#include "tst_listdialog.moc"
