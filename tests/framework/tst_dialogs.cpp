#include "RecordingServices.h"
#include "TestSupport.h"
#include "data/TDataSource.h"
#include "framework/Consiste.h"
#include "framework/GuiServices.h"
#include "framework/PesquisaLista.h"
#include "framework/dialogs/ListDialog.h"
#include "framework/dialogs/RowOrder.h"
#include "framework/dialogs/SearchDialog.h"
#include "framework/dialogs/SelectionString.h"
#include "rtl/Exceptions.h"

#include <QClipboard>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTableView>
#include <QTimer>
#include <QtTest>

#include <functional>

namespace {

// Acts on a modal dialog of that class as soon as it is up.
template <class Dialog> void whenShown(std::function<void(Dialog *)> act)
{
    auto *timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        if (auto *dialog = qobject_cast<Dialog *>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            act(dialog);
        }
    });
    timer->start();
}

const QString cnpjMask = QStringLiteral("00.000.000/0000-00;0;_");

} // namespace

class DialogsTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void rowOrderSortsLikeAWholeTextComparison();
    void rowOrderFindsTheFirstRowOfAPrefix();
    void rowOrderKeepsADatabaseOrderWithCaseApart();
    void selectionStringFormat_data();
    void selectionStringFormat();

    void searchShowsVisibleFieldsUnderTheirLabels();
    void searchKeepsTheDataSetOrderOfASortedColumn();
    void searchSortsAnUnorderedDataSet();
    void typeAheadMovesToTheFirstMatch_data();
    void typeAheadMovesToTheFirstMatch();
    void enterPicksEscCancelsDoubleClickPicks();
    void headerClickSortsAndTypeAheadFollows();
    void masksShowOnlyValuesThatFit();
    void pickRowThroughTheServices();

    void listChecksCountsAndFilters();
    void listPasteChecksCodesAndNamesTheMissing();
    void listSelectionIsRawKeysInRowOrder();
    void pickRowsOkWritesCancelKeeps();
    void pickRowsOfAnEmptyDataSetShowsTheEmptyMessage();
    void pesquisaListaGoesThroughTheServices();

private:
    // A fresh dataset per test: filling a dataset a second time is not what these tests are
    // about.
    std::unique_ptr<TestDataSet> m_owner;
    TestDataSet *m_data = nullptr;
};

void DialogsTest::cleanup()
{
    m_owner.reset();
}

void DialogsTest::init()
{
    m_owner = std::make_unique<TestDataSet>();
    m_data = m_owner.get();
    // Suppliers by code, their names and legal registrations (one person among companies).
    m_data->Fill(
        {{QStringLiteral("CODIGO")}, {QStringLiteral("NOME")}, {QStringLiteral("NRINSJURFORN")}},
        {{"001", "Zeta Comércio", "12345678000195"},
         {"002", "alfa Indústria", "98765432000110"},
         {"003", "Beta Serviços", "12345678909"},
         {"010", "Alfama Ltda", "11222333000181"},
         {"011", "Gama O'Brien", "44555666000199"}});
    m_data->FieldByName(QStringLiteral("NOME"))->SetDisplayLabel(QStringLiteral("Razão social"));
    m_data->FieldByName(QStringLiteral("NRINSJURFORN"))->SetEditMask(cnpjMask);
    m_data->First();
}

void DialogsTest::rowOrderSortsLikeAWholeTextComparison()
{
    // Long shared prefixes, letter cases and accents, and equal texts (kept in row order).
    TestDataSet data;
    QVector<QVector<QVariant>> rows;
    QRandomGenerator random(7);
    const QStringList stems{"Fornecedor ", "fornecedor ", "FORNECEDOR DE PEÇAS ",
                            "Ácido ",      "ab",          ""};
    for (int i = 0; i < 3000; ++i)
        rows.append(
            {stems.at(random.bounded(stems.size())) + QString::number(random.bounded(400))});
    data.Fill({{QStringLiteral("NOME")}}, rows);
    const TField *name = data.FieldByName(QStringLiteral("NOME"));

    RowOrder order;
    order.sortBy(name, data.RecordCount());
    std::vector<int> expected(data.RecordCount());
    std::iota(expected.begin(), expected.end(), 0);
    std::stable_sort(expected.begin(), expected.end(), [&](int a, int b) {
        return RowOrder::compareFolded(name->TextAt(a), name->TextAt(b)) < 0;
    });
    for (int p = 0; p < data.RecordCount(); ++p)
        QCOMPARE(order.row(p), expected[p]);
    QVERIFY(!RowOrder::isSorted(name, data.RecordCount()));
}

void DialogsTest::rowOrderKeepsADatabaseOrderWithCaseApart()
{
    // As a database comparing characters as stored sorts them: capitals before small letters.
    TestDataSet data;
    QStringList names{"ACME LTDA", "Acme Comércio", "Atacadão da Serra",
                      "Zeta",      "abc ltda",      "têxtil vale"};
    std::sort(names.begin(), names.end());
    QVector<QVector<QVariant>> rows;
    for (const QString &n : std::as_const(names))
        rows.append({n});
    data.Fill({{QStringLiteral("NOME")}}, rows);
    const TField *name = data.FieldByName(QStringLiteral("NOME"));
    const int count = data.FetchedCount();
    QVERIFY(!RowOrder::isSorted(name, count));
    QVERIFY(RowOrder::isSorted(name, count, 0, RowOrder::Compare::Exact));
    RowOrder order;
    order.adopt(name, count, RowOrder::Compare::Exact);
    const struct
    {
        const char *typed;
        const char *found;
    } cases[] = {
        {"acme", "ACME LTDA"}, {"acme c", "Acme Comércio"}, {"ATACADÃO", "Atacadão da Serra"},
        {"ABC", "abc ltda"},   {"Têxtil V", "têxtil vale"}, {"zeta", "Zeta"},
        {"acmex", nullptr}};
    for (const auto &c : cases) {
        const int position = order.find(name, QString::fromUtf8(c.typed));
        QCOMPARE(position < 0 ? QString() : name->TextAt(order.row(position)),
                 c.found ? QString::fromUtf8(c.found) : QString());
    }
}

void DialogsTest::rowOrderFindsTheFirstRowOfAPrefix()
{
    TestDataSet data;
    QVector<QVector<QVariant>> rows;
    for (int i = 0; i < 500; ++i)
        rows.append({QStringLiteral("Nome %1").arg(i * 7 % 500, 3, 10, QLatin1Char('0'))});
    data.Fill({{QStringLiteral("NOME")}}, rows);
    const TField *name = data.FieldByName(QStringLiteral("NOME"));
    RowOrder order;
    order.sortBy(name, data.RecordCount());
    for (const QString prefix :
         {"nome 1", "NOME 12", "Nome 499", "Nome 5", "Nome", "x", "Nome 0"}) {
        int linear = -1;
        for (int p = 0; p < order.count() && linear < 0; ++p)
            if (RowOrder::startsWithFolded(name->TextAt(order.row(p)), prefix))
                linear = p;
        QCOMPARE(order.find(name, prefix), linear);
    }
}

void DialogsTest::selectionStringFormat_data()
{
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<QString>("text");
    QTest::newRow("two keys") << QStringList{"12345678000195", "98765432000110"}
                              << "'12345678000195','98765432000110'";
    QTest::newRow("a quote in a key") << QStringList{"O'Brien"} << "'O''Brien'";
    QTest::newRow("none") << QStringList{} << "";
    QTest::newRow("blank key") << QStringList{""} << "''";
}

void DialogsTest::selectionStringFormat()
{
    QFETCH(QStringList, keys);
    QFETCH(QString, text);
    QCOMPARE(SelectionString::Format(keys), text);
    QCOMPARE(SelectionString::Parse(text), keys);
}

void DialogsTest::searchShowsVisibleFieldsUnderTheirLabels()
{
    m_data->FieldByName(QStringLiteral("CODIGO"))->SetVisible(false);
    SearchDialog dialog(m_data, QStringLiteral("Fornecedor"));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Fornecedor"));
    const QAbstractItemModel *model = dialog.View()->model();
    QCOMPARE(model->columnCount(), 2);
    QCOMPARE(model->rowCount(), 5);
    QCOMPARE(model->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Razão social"));
    QCOMPARE(model->headerData(1, Qt::Horizontal).toString(), QStringLiteral("NRINSJURFORN"));
}

void DialogsTest::searchKeepsTheDataSetOrderOfASortedColumn()
{
    SearchDialog byCode(m_data, QString());
    QCOMPARE(byCode.SortColumn(), 0);
    QCOMPARE(byCode.CurrentRow(), 0);

    // Ordered by name only (as a query ordered by name): the name column is the sorted one
    // and the rows stay as the dataset has them.
    TestDataSet byName;
    byName.Fill({{QStringLiteral("CODIGO")}, {QStringLiteral("NOME")}},
                {{"9", "Alfa"}, {"1", "beta"}, {"5", "Gama"}});
    byName.MoveTo(2);
    SearchDialog dialog(&byName, QString());
    QCOMPARE(dialog.SortColumn(), 1);
    QCOMPARE(dialog.View()->model()->index(0, 0).data().toString(), QStringLiteral("9"));
    QCOMPARE(dialog.CurrentRow(), 2); // opens on the dataset's current row
}

void DialogsTest::searchSortsAnUnorderedDataSet()
{
    TestDataSet data;
    data.Fill({{QStringLiteral("CODIGO")}, {QStringLiteral("NOME")}},
              {{"3", "b"}, {"1", "c"}, {"2", "a"}, {"1", "a"}});
    SearchDialog dialog(&data, QString());
    QCOMPARE(dialog.SortColumn(), 0);
    const QAbstractItemModel *model = dialog.View()->model();
    QStringList shown;
    for (int r = 0; r < model->rowCount(); ++r)
        shown << model->index(r, 0).data().toString() + model->index(r, 1).data().toString();
    QCOMPARE(shown, QStringList({"1c", "1a", "2a", "3b"}));
}

void DialogsTest::typeAheadMovesToTheFirstMatch_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("row"); // dataset row, -1: stays where it was
    QTest::newRow("code") << 0 << "01" << 3;
    QTest::newRow("code, first of many") << 0 << "0" << 0;
    QTest::newRow("code, exact") << 0 << "003" << 2;
    QTest::newRow("code, none") << 0 << "9" << -1;
    QTest::newRow("name, other case") << 1 << "ALFA" << 1;
    QTest::newRow("name, longer") << 1 << "alfam" << 3;
    QTest::newRow("name, accent") << 1 << "zeta com" << 0;
    QTest::newRow("masked, typed with literals") << 2 << "98.765" << 1;
    QTest::newRow("masked, typed bare") << 2 << "1122" << 3;
}

void DialogsTest::typeAheadMovesToTheFirstMatch()
{
    QFETCH(int, column);
    QFETCH(QString, typed);
    QFETCH(int, row);
    SearchDialog dialog(m_data, QString());
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    dialog.SortByColumn(column);
    QCOMPARE(dialog.SortColumn(), column);
    dialog.View()->setFocus();
    dialog.View()->selectionModel()->setCurrentIndex(dialog.View()->model()->index(4, 0),
                                                     QItemSelectionModel::ClearAndSelect);
    const int before = dialog.CurrentRow();
    // Typing in the table goes to the search box.
    QTest::keyClicks(dialog.View(), typed);
    QCOMPARE(dialog.SearchBox()->text(), typed);
    QCOMPARE(dialog.CurrentRow(), row < 0 ? before : row);
}

void DialogsTest::enterPicksEscCancelsDoubleClickPicks()
{
    {
        SearchDialog dialog(m_data, QString());
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QTest::keyClicks(dialog.SearchBox(), QStringLiteral("003"));
        QTest::keyClick(dialog.SearchBox(), Qt::Key_Down);
        QTest::keyClick(dialog.SearchBox(), Qt::Key_Return);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.ChosenRow(), 3);
    }
    {
        SearchDialog dialog(m_data, QString());
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QTest::keyClicks(dialog.SearchBox(), QStringLiteral("003"));
        QTest::keyClick(dialog.SearchBox(), Qt::Key_Escape);
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QCOMPARE(dialog.ChosenRow(), -1);
    }
    {
        SearchDialog dialog(m_data, QString());
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QTableView *view = dialog.View();
        const QRect cell = view->visualRect(view->model()->index(1, 1));
        // As a mouse sends it: a click, then the second press as a double click.
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, cell.center());
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, cell.center());
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.ChosenRow(), 1);
    }
}

void DialogsTest::headerClickSortsAndTypeAheadFollows()
{
    SearchDialog dialog(m_data, QString());
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QHeaderView *header = dialog.View()->horizontalHeader();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(1) + 5, header->height() / 2));
    QCOMPARE(dialog.SortColumn(), 1);
    QCOMPARE(header->sortIndicatorSection(), 1);
    const QAbstractItemModel *model = dialog.View()->model();
    QStringList names;
    for (int r = 0; r < model->rowCount(); ++r)
        names << model->index(r, 1).data().toString();
    QCOMPARE(names, QStringList({"alfa Indústria", "Alfama Ltda", "Beta Serviços", "Gama O'Brien",
                                 "Zeta Comércio"}));
    QTest::keyClicks(dialog.SearchBox(), QStringLiteral("g"));
    QCOMPARE(dialog.CurrentRow(), 4);
}

void DialogsTest::masksShowOnlyValuesThatFit()
{
    SearchDialog dialog(m_data, QString());
    const QAbstractItemModel *model = dialog.View()->model();
    QCOMPARE(model->index(0, 2).data().toString(), QStringLiteral("12.345.678/0001-95"));
    // A person's registration under the company mask is shown as it is, never garbled.
    QCOMPARE(model->index(2, 2).data().toString(), QStringLiteral("12345678909"));
}

void DialogsTest::pickRowThroughTheServices()
{
    Velmora::GuiServices services;
    whenShown<SearchDialog>([](SearchDialog *dialog) {
        QTest::keyClicks(dialog->SearchBox(), QStringLiteral("011"));
        QTest::keyClick(dialog->SearchBox(), Qt::Key_Enter);
    });
    QVERIFY(services.pickRow(m_data, QStringLiteral("Fornecedor")));
    QCOMPARE(m_data->RecNo(), 4);

    whenShown<SearchDialog>([](SearchDialog *dialog) { dialog->reject(); });
    QVERIFY(!services.pickRow(m_data, QStringLiteral("Fornecedor")));
    QCOMPARE(m_data->RecNo(), 4);
}

void DialogsTest::listChecksCountsAndFilters()
{
    ListDialog dialog(m_data, QStringLiteral("CODIGO"), QStringLiteral("Fornecedor"), QString());
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Fornecedor"));
    QCOMPARE(dialog.CheckedCount(), 0);
    QCOMPARE(dialog.CountLabel()->text(), QStringLiteral("0 de 5 selecionados"));

    // Space checks the current row; a click on the box checks its row.
    QTableView *view = dialog.View();
    view->setFocus();
    QTest::keyClick(view, Qt::Key_Down);
    QTest::keyClick(view, Qt::Key_Space);
    QVERIFY(dialog.IsChecked(1));
    const QRect box = view->visualRect(view->model()->index(3, 0));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, box.center());
    QVERIFY(dialog.IsChecked(3));
    QCOMPARE(dialog.CountLabel()->text(), QStringLiteral("2 de 5 selecionados"));

    // The filter narrows the rows; check all / none act on what it shows.
    QTest::keyClicks(dialog.FilterBox(), QStringLiteral("alfa"));
    QTRY_COMPARE(dialog.ShownCount(), 2);
    QTest::keyClick(dialog.FilterBox(), Qt::Key_Backspace);
    QTest::keyClick(dialog.FilterBox(), Qt::Key_Return); // filters at once, keeps the dialog
    QVERIFY(dialog.isVisible());
    QCOMPARE(dialog.ShownCount(), 2); // "alf"
    dialog.SetFilter(QStringLiteral("ind"));
    QCOMPARE(dialog.ShownCount(), 1);
    dialog.UncheckAll();
    QVERIFY(!dialog.IsChecked(1));
    QVERIFY(dialog.IsChecked(3));               // hidden by the filter, untouched
    dialog.SetFilter(QStringLiteral("12.345")); // the masked registration, typed with its literals
    QCOMPARE(dialog.ShownCount(), 2);
    dialog.CheckAll();
    QCOMPARE(dialog.CheckedCount(), 3);
    QCOMPARE(dialog.CountLabel()->text(), QStringLiteral("3 de 5 selecionados (exibindo 2)"));
    dialog.SetFilter(QString());
    QCOMPARE(dialog.ShownCount(), 5);
    QTest::mouseClick(dialog.CheckAllButton(), Qt::LeftButton);
    QCOMPARE(dialog.CheckedCount(), 5);
    QTest::mouseClick(dialog.UncheckAllButton(), Qt::LeftButton);
    QCOMPARE(dialog.CheckedCount(), 0);
}

void DialogsTest::listPasteChecksCodesAndNamesTheMissing()
{
    RecordingServices recorder;
    ListDialog dialog(m_data, QStringLiteral("NRINSJURFORN"), QString(), QString());
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    // As copied from a spreadsheet: masked, bare, quoted, and one that lost its leading zero.
    QApplication::clipboard()->setText(
        QStringLiteral("12.345.678/0001-95\n'44555666000199'\t99999999000199; 12345678909\n"));
    dialog.View()->setFocus();
    QTest::keyClick(dialog.View(), Qt::Key_V, Qt::ControlModifier);
    QVERIFY(dialog.IsChecked(0));
    QVERIFY(dialog.IsChecked(2));
    QVERIFY(dialog.IsChecked(4));
    QCOMPARE(dialog.CheckedCount(), 3);
    QCOMPARE(recorder.messages(), QStringList{"Código não encontrado na lista: 99999999000199."});

    m_data->FieldByName(QStringLiteral("NRINSJURFORN"))->SetSize(14);
    ListDialog again(m_data, QStringLiteral("CODIGO"), QString(), QString());
    m_data->FieldByName(QStringLiteral("CODIGO"))->SetSize(3);
    recorder.clear();
    QCOMPARE(again.PasteCodes(QStringLiteral("1,10 , 7")), QStringList{"7"});
    QVERIFY(again.IsChecked(0));
    QVERIFY(again.IsChecked(3));
    QCOMPARE(recorder.messages(), QStringList{"Código não encontrado na lista: 7."});
}

void DialogsTest::listSelectionIsRawKeysInRowOrder()
{
    ListDialog dialog(m_data, QStringLiteral("NRINSJURFORN"), QString(), QString());
    dialog.SetChecked(3, true);
    dialog.SetChecked(0, true);
    QCOMPARE(dialog.Selection(), QStringLiteral("'12345678000195','11222333000181'"));
    ListDialog names(m_data, QStringLiteral("NOME"), QString(), QString());
    names.SetChecked(4, true);
    QCOMPARE(names.Selection(), QStringLiteral("'Gama O''Brien'"));
    // Opening on a selection checks its rows.
    ListDialog reopened(m_data, QStringLiteral("NOME"), QString(),
                        QStringLiteral("'Gama O''Brien','Beta Serviços'"));
    QCOMPARE(reopened.CheckedCount(), 2);
    QVERIFY(reopened.IsChecked(2));
    QVERIFY(reopened.IsChecked(4));
    QCOMPARE(reopened.Selection(), QStringLiteral("'Beta Serviços','Gama O''Brien'"));
    QVERIFY_THROWS_EXCEPTION(
        EDatabaseError, ListDialog bad(m_data, QStringLiteral("NAOEXISTE"), QString(), QString()));
}

void DialogsTest::pickRowsOkWritesCancelKeeps()
{
    Velmora::GuiServices services;
    QString selection = QStringLiteral("'001'");
    whenShown<ListDialog>([](ListDialog *dialog) {
        QCOMPARE(dialog->CheckedCount(), 1);
        dialog->SetChecked(2, true);
        dialog->SetChecked(0, true);
        dialog->SetChecked(4, true);
        dialog->reject();
    });
    QVERIFY(!services.pickRows(m_data, QStringLiteral("CODIGO"), QStringLiteral("Fornecedor"),
                               QStringLiteral("Não há fornecedor cadastrado."), selection));
    QCOMPARE(selection, QStringLiteral("'001'"));

    whenShown<ListDialog>([](ListDialog *dialog) {
        dialog->SetChecked(4, true);
        QTest::keyClick(dialog->View(), Qt::Key_Return);
    });
    QVERIFY(services.pickRows(m_data, QStringLiteral("CODIGO"), QStringLiteral("Fornecedor"),
                              QStringLiteral("Não há fornecedor cadastrado."), selection));
    QCOMPARE(selection, QStringLiteral("'001','011'"));
}

void DialogsTest::pickRowsOfAnEmptyDataSetShowsTheEmptyMessage()
{
    TestDataSet empty;
    empty.Fill({{QStringLiteral("CDFILIAL")}}, {});
    Velmora::GuiServices services;
    QString shown;
    whenShown<QMessageBox>([&shown](QMessageBox *box) {
        shown = box->text();
        box->accept();
    });
    QString selection = QStringLiteral("'01'");
    QVERIFY(!services.pickRows(&empty, QStringLiteral("CDFILIAL"), QStringLiteral("Filial"),
                               QStringLiteral("Não há filial cadastrada."), selection));
    QCOMPARE(shown, QStringLiteral("Não há filial cadastrada."));
    QCOMPARE(selection, QStringLiteral("'01'"));
}

void DialogsTest::pesquisaListaGoesThroughTheServices()
{
    RecordingServices recorder;
    TDataSource source;
    source.SetDataSet(m_data);
    QString selection = QStringLiteral("'002'");
    QVERIFY(!PesquisaLista(&source, QStringLiteral("CODIGO"),
                           QStringLiteral("Fornecedor|Não há fornecedor cadastrado."), false,
                           selection));
    QCOMPARE(recorder.listsAsked.size(), 1);
    QCOMPARE(recorder.listsAsked.last().title, QStringLiteral("Fornecedor"));
    QCOMPARE(recorder.listsAsked.last().emptyMessage,
             QStringLiteral("Não há fornecedor cadastrado."));
    QCOMPARE(recorder.listsAsked.last().keyField, QStringLiteral("CODIGO"));
    QCOMPARE(selection, QStringLiteral("'002'"));

    recorder.queueListPick({false, {QStringLiteral("010")}});
    QVERIFY(PesquisaLista(&source, QStringLiteral("CODIGO"), QStringLiteral("Filial|x"), false,
                          selection));
    QCOMPARE(selection, QStringLiteral("'010'"));

    // checkAll: an empty selection opens with every row checked.
    QString none;
    PesquisaLista(&source, QStringLiteral("CODIGO"), QStringLiteral("Filial"), true, none);
    QCOMPARE(recorder.listsAsked.last().selection, QStringLiteral("'001','002','003','010','011'"));
    QCOMPARE(recorder.listsAsked.last().emptyMessage, QString());
    QCOMPARE(none, QString());
}

QTEST_MAIN(DialogsTest)
#include "tst_dialogs.moc"
