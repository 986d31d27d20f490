// The search and list dialogs over a big table: time until shown, a type-ahead step, check
// all. Prints "figure: NAME VALUE UNIT" lines; --quick runs a small table.
#include "data/TDataSet.h"
#include "framework/Consiste.h"
#include "framework/Services.h"
#include "framework/dialogs/ListDialog.h"
#include "framework/dialogs/SearchDialog.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QRandomGenerator>
#include <QTableView>
#include <QWindow>
#include <QtTest>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

// Messages (a pasted code not found) are counted, not shown: nobody is there to close them.
class SilentServices : public Velmora::Services
{
public:
    int messages = 0;
    void showMessage(const QString &) override { ++messages; }
    bool pickRow(TDataSet *, const QString &) override { return false; }
    bool pickRows(TDataSet *, const QString &, const QString &, const QString &, QString &) override
    {
        return false;
    }
    bool askText(const QString &, const QString &, QString &) override { return false; }
    QString chooseFile(const QString &, const QString &, const QString &, bool) override
    {
        return {};
    }
    void showHelp(const QString &, int) override {}
};

class BenchDataSet : public TDataSet
{
public:
    void Fill(QVector<Column> columns, QVector<QVector<QVariant>> rows)
    {
        SetData(std::move(columns), std::move(rows));
    }
};

// Suppliers ordered by code, as a lookup query orders them; names in no order.
std::unique_ptr<BenchDataSet> suppliers(int count, bool ordered)
{
    QRandomGenerator random(42);
    QVector<QVector<QVariant>> rows;
    rows.reserve(count);
    for (int i = 0; i < count; ++i) {
        const int code = ordered ? i : static_cast<int>(random.bounded(count));
        rows.append({QStringLiteral("%1").arg(code, 8, 10, QLatin1Char('0')),
                     QStringLiteral("Fornecedor %1 Ltda")
                         .arg(random.bounded(count), 7, 10, QLatin1Char('0')),
                     QStringLiteral("%1").arg(10000000000000LL + code * 7919LL)});
    }
    auto data = std::make_unique<BenchDataSet>();
    data->Fill(
        {{QStringLiteral("CODIGO")}, {QStringLiteral("NOME")}, {QStringLiteral("NRINSJURFORN")}},
        std::move(rows));
    data->FieldByName(QStringLiteral("NRINSJURFORN"))->SetEditMask(Consiste::PictPess("J"));
    return data;
}

void figure(const char *name, double value, const char *unit)
{
    std::printf("figure: %s %.2f %s\n", name, value, unit);
    std::fflush(stdout);
}

double elapsedMs(const QElapsedTimer &timer)
{
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

// Until the dialog's window is up and its table painted once.
template <class Dialog> void showAndPaint(Dialog &dialog)
{
    dialog.show();
    QElapsedTimer patience;
    patience.start();
    while ((!dialog.windowHandle() || !dialog.windowHandle()->isExposed()) &&
           patience.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    dialog.View()->viewport()->repaint();
    QCoreApplication::processEvents();
}

struct Steps
{
    std::vector<double> times;
    void add(double ms) { times.push_back(ms); }
    double mean() const
    {
        double sum = 0;
        for (const double t : times)
            sum += t;
        return times.empty() ? 0 : sum / static_cast<double>(times.size());
    }
    double max() const { return times.empty() ? 0 : *std::max_element(times.begin(), times.end()); }
};

void searchDialog(int count)
{
    const auto data = suppliers(count, true);
    QElapsedTimer timer;
    timer.start();
    SearchDialog dialog(data.get(), QStringLiteral("Fornecedor"));
    showAndPaint(dialog);
    figure("search_show", elapsedMs(timer), "ms");

    // Codes typed digit by digit, each keystroke one step, the table repainted after it.
    Steps steps;
    const int wanted[] = {count / 3, count / 2, count - 1, 7, count / 5};
    for (const int code : wanted) {
        dialog.SearchBox()->clear();
        const QString text = QStringLiteral("%1").arg(code, 8, 10, QLatin1Char('0'));
        for (const QChar c : text) {
            timer.restart();
            QTest::keyClick(dialog.SearchBox(), c.toLatin1());
            dialog.View()->viewport()->repaint();
            steps.add(elapsedMs(timer));
        }
        if (dialog.CurrentRow() != code)
            std::fprintf(stderr, "type-ahead missed %s\n", qPrintable(text));
    }
    figure("search_typeahead_mean", steps.mean(), "ms");
    figure("search_typeahead_max", steps.max(), "ms");

    // A click on the name header sorts a million names.
    timer.restart();
    dialog.SortByColumn(1);
    dialog.View()->viewport()->repaint();
    figure("search_sort_names", elapsedMs(timer), "ms");
    Steps nameSteps;
    for (const char *prefix : {"Fornecedor 05", "fornecedor 0999"}) {
        dialog.SearchBox()->clear();
        for (const QChar c : QString::fromLatin1(prefix)) {
            timer.restart();
            QTest::keyClick(dialog.SearchBox(), c.toLatin1());
            dialog.View()->viewport()->repaint();
            nameSteps.add(elapsedMs(timer));
        }
    }
    figure("search_typeahead_names_max", nameSteps.max(), "ms");
}

void searchDialogUnordered(int count)
{
    const auto data = suppliers(count, false);
    QElapsedTimer timer;
    timer.start();
    SearchDialog dialog(data.get(), QStringLiteral("Fornecedor"));
    showAndPaint(dialog);
    figure("search_show_unordered", elapsedMs(timer), "ms");
}

void listDialog(int count)
{
    const auto data = suppliers(count, true);
    QElapsedTimer timer;
    timer.start();
    ListDialog dialog(data.get(), QStringLiteral("NRINSJURFORN"), QStringLiteral("Fornecedor"),
                      QString());
    showAndPaint(dialog);
    figure("list_show", elapsedMs(timer), "ms");

    timer.restart();
    dialog.CheckAll();
    dialog.View()->viewport()->repaint();
    figure("list_select_all", elapsedMs(timer), "ms");

    timer.restart();
    const QString selection = dialog.Selection();
    figure("list_selection_string", elapsedMs(timer), "ms");

    timer.restart();
    dialog.UncheckAll();
    dialog.SetFilter(QStringLiteral("0001"));
    dialog.View()->viewport()->repaint();
    figure("list_filter", elapsedMs(timer), "ms");

    timer.restart();
    dialog.CheckAll();
    dialog.View()->viewport()->repaint();
    figure("list_select_all_filtered", elapsedMs(timer), "ms");

    const QString codes = QStringLiteral("%1\n%2\n12.345.678/0001-00\n")
                              .arg(10000000000000LL + 7919LL * (count / 2))
                              .arg(10000000000000LL + 7919LL * (count - 1));
    dialog.SetFilter(QString());
    timer.restart();
    dialog.PasteCodes(codes);
    figure("list_paste_codes", elapsedMs(timer), "ms");

    timer.restart();
    ListDialog reopened(data.get(), QStringLiteral("NRINSJURFORN"), QString(), selection);
    showAndPaint(reopened);
    figure("list_show_all_checked", elapsedMs(timer), "ms");
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    SilentServices services;
    Velmora::Services::install(&services);
    const bool quick = app.arguments().contains(QStringLiteral("--quick"));
    const int count = quick ? 100000 : 1000000;
    std::printf("rows: %d\n", count);
    std::fflush(stdout);
    searchDialog(count);
    searchDialogUnordered(count);
    listDialog(count);
    Velmora::Services::install(nullptr);
    return services.messages == 1 ? 0 : 1;
}
