// velmora-bench-db: the module's check queries, its supplier list and the lookup dialogs over
// it on each engine, over demonstration data (a million documents and a million suppliers
// unless told otherwise), against a bare prepared QSqlQuery of the same statement as the
// ceiling.
//
//   velmora-bench-db [--quick] [--documents N] [--suppliers N] [--iterations N]
//                    [--engines sqlite,postgresql,firebird]
//
// PostgreSQL is reached through VELMORA_TEST_PG_HOST/_PORT/_USER/_PASSWORD (scripts/test-services
// start DIR, then source DIR/env); Firebird runs embedded; SQLite in a file. Each figure is
// printed as "figure: NAME VALUE UNIT".
#include "Databases.h"
#include "Demo.h"
#include "data/TADOIBQuery.h"
#include "data/dtmDBGeral.h"
#include "framework/ComponentRegistry.h"
#include "framework/TApplication.h"
#include "framework/TForm.h"
#include "framework/dialogs/ListDialog.h"
#include "framework/dialogs/SearchDialog.h"
#include "rtl/Exceptions.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

struct Options
{
    qint64 documents = 1000000;
    qint64 suppliers = 1000000;
    int iterations = 20000;
    int listRuns = 3;
    QStringList engines{"sqlite", "postgresql", "firebird"};
};

void figure(const QString &name, double value, const char *unit)
{
    std::printf("figure: %s %.3f %s\n", qPrintable(name), value, unit);
    std::fflush(stdout);
}

void note(const QString &text)
{
    std::fprintf(stderr, "%s\n", qPrintable(text));
}

// The screen's data definitions, loaded as the screen loads them.
class DataForm : public TForm
{
public:
    explicit DataForm(TApplication *owner) : TForm(owner) {}
    QString DescriptionPath() const override { return path; }
    static inline QString path;
};

QString writeDescription(const QTemporaryDir &dir)
{
    QJsonArray components;
    const QDir data(QStringLiteral(VELMORA_MODULE_DATA));
    for (const QString &file : data.entryList({QStringLiteral("qry*.json")}, QDir::Files)) {
        QFile f(data.filePath(file));
        f.open(QIODevice::ReadOnly);
        for (const QJsonValue c : QJsonDocument::fromJson(f.readAll())
                                      .object()
                                      .value(QStringLiteral("components"))
                                      .toArray()) {
            components.append(
                QJsonObject{{"name", c[QStringLiteral("name")]}, {"from", f.fileName()}});
            for (const QJsonValue field : c[QStringLiteral("fields")].toArray())
                components.append(
                    QJsonObject{{"name", field[QStringLiteral("name")]}, {"from", f.fileName()}});
        }
    }
    const QString path = dir.filePath(QStringLiteral("bench.json"));
    QFile out(path);
    out.open(QIODevice::WriteOnly);
    out.write(
        QJsonDocument(QJsonObject{{"name", "frmBench"}, {"components", components}}).toJson());
    return path;
}

struct Latency
{
    double p50 = 0, p99 = 0;
};

Latency measure(int iterations, const std::function<void()> &once)
{
    for (int i = 0; i < iterations / 10 + 10; ++i)
        once(); // warm caches and prepared statements
    std::vector<qint64> ns(static_cast<size_t>(iterations));
    QElapsedTimer t;
    for (int i = 0; i < iterations; ++i) {
        t.start();
        once();
        ns[static_cast<size_t>(i)] = t.nsecsElapsed();
    }
    std::sort(ns.begin(), ns.end());
    const auto at = [&](double q) {
        return double(ns[std::min(ns.size() - 1, static_cast<size_t>(q * double(ns.size())))]) /
               1000.0;
    };
    return {at(0.50), at(0.99)};
}

double medianMs(int runs, const std::function<void()> &once)
{
    std::vector<qint64> ms;
    QElapsedTimer t;
    for (int i = 0; i < runs; ++i) {
        t.start();
        once();
        ms.push_back(t.nsecsElapsed());
    }
    std::sort(ms.begin(), ms.end());
    return double(ms[ms.size() / 2]) / 1e6;
}

// One check as a handler makes it: Close, parameters by name, Open, IsEmpty, a field read.
struct Check
{
    const char *name;
    TADOIBQuery *query;
    QList<QPair<QString, QVariant>> params;
};

void runCheck(const Check &c)
{
    c.query->Close();
    for (const auto &p : c.params) {
        if (p.second.isNull())
            c.query->ParamByName(p.first)->Clear();
        else
            c.query->ParamByName(p.first)->SetAsString(p.second.toString());
    }
    c.query->Open();
    if (c.query->IsEmpty() || c.query->Fields().first()->AsString().isEmpty())
        throw Exception(QStringLiteral("A consulta %1 não achou o código procurado.").arg(c.name));
}

// The same statement as a bare prepared QSqlQuery, prepared once.
class Bare
{
public:
    Bare(QSqlDatabase db, const QString &text, const QList<QPair<QString, QVariant>> &params)
        : m_query(db), m_params(params), m_text(text)
    {
        m_query.setForwardOnly(true);
        if (!m_query.prepare(text))
            throw Exception(QStringLiteral("prepare: ") + m_query.lastError().text());
    }
    void run()
    {
        for (const auto &p : m_params)
            m_query.bindValue(QLatin1Char(':') + p.first,
                              p.second.isNull() ? QVariant(QMetaType::fromType<QString>())
                                                : p.second);
        if (!m_query.exec())
            throw Exception(QStringLiteral("exec: ") + m_query.lastError().text());
        int rows = 0;
        const int columns = m_query.record().count();
        while (m_query.next()) {
            for (int i = 0; i < columns; ++i)
                (void)m_query.value(i);
            ++rows;
        }
        m_query.finish();
        if (rows == 0)
            throw Exception(QStringLiteral("A consulta nua não achou linhas."));
    }
    // Prepared anew each time, as the query component must on Firebird.
    void runPreparing(QSqlDatabase db)
    {
        QSqlQuery q(db);
        q.setForwardOnly(true);
        q.prepare(m_text);
        for (const auto &p : m_params)
            q.bindValue(QLatin1Char(':') + p.first,
                        p.second.isNull() ? QVariant(QMetaType::fromType<QString>()) : p.second);
        q.exec();
        while (q.next())
            (void)q.value(0);
    }

private:
    QSqlQuery m_query;
    QList<QPair<QString, QVariant>> m_params;
    QString m_text;
};

Velmora::ConnectionSettings settingsFor(const QString &engine, const QTemporaryDir &dir, bool &ok)
{
    Velmora::ConnectionSettings s;
    ok = true;
    if (engine == QLatin1String("sqlite")) {
        s.database = dir.filePath(QStringLiteral("bench.sqlite"));
    } else if (engine == QLatin1String("firebird")) {
        s.driver = QStringLiteral("QIBASE");
        s.database = dir.filePath(QStringLiteral("bench.fdb"));
        s.user = QStringLiteral("SYSDBA");
    } else {
        s.driver = QStringLiteral("QPSQL");
        s.host = qEnvironmentVariable("VELMORA_TEST_PG_HOST");
        s.port = qEnvironmentVariableIntValue("VELMORA_TEST_PG_PORT");
        s.user = qEnvironmentVariable("VELMORA_TEST_PG_USER");
        s.password = qEnvironmentVariable("VELMORA_TEST_PG_PASSWORD");
        s.database = QStringLiteral("velmora_bench_%1").arg(QCoreApplication::applicationPid());
        ok = !s.host.isEmpty() && s.port > 0;
    }
    return s;
}

// The first rows a forward-only statement gives, read apart from the query under test.
QStringList firstValues(Velmora::DBConnection *db, const QString &sql, int count)
{
    QSqlQuery q(db->Database());
    q.setForwardOnly(true);
    if (!q.exec(sql))
        throw Exception(q.lastError().text());
    QStringList values;
    while (values.size() < count && q.next())
        values << q.value(0).toString();
    q.finish();
    return values;
}

// What the clerk waits for on the supplier buttons: the press until a dialog shows its rows,
// a name far down the list typed before it arrived, a hundred codes pasted.
void benchLookupDialogs(const QString &engine, TADOIBQuery *suppliers, const Options &o)
{
    Velmora::DBConnection *db = suppliers->Connection();
    const QString last =
        firstValues(db, QStringLiteral("SELECT MAX(NMRAZSOCFORN) FROM FORNECEDOR"), 1).value(0);
    const QStringList keys = firstValues(
        db, QStringLiteral("SELECT NRINSJURFORN FROM FORNECEDOR ORDER BY NRINSJURFORN DESC"), 100);
    const QString key = QStringLiteral("NRINSJURFORN");
    const auto reopen = [&] {
        suppliers->Close();
        suppliers->Open();
    };
    const double firstPacket = medianMs(o.listRuns, reopen);
    const double listShown = medianMs(o.listRuns, [&] {
        reopen();
        ListDialog dialog(suppliers, key, QStringLiteral("Fornecedores"), QString());
        dialog.show();
        (void)dialog.grab();
    });
    const double searchShown = medianMs(o.listRuns, [&] {
        reopen();
        SearchDialog dialog(suppliers, QStringLiteral("Fornecedores"));
        dialog.show();
        (void)dialog.grab();
    });
    std::vector<double> typed, pasted;
    for (int i = 0; i < o.listRuns; ++i) {
        reopen();
        QElapsedTimer t;
        {
            SearchDialog dialog(suppliers, QStringLiteral("Fornecedores"));
            t.start();
            if (!dialog.TypeAhead(last))
                throw Exception(QStringLiteral("A busca não achou o último nome: %1").arg(last));
            typed.push_back(double(t.nsecsElapsed()) / 1e6);
        }
        reopen();
        ListDialog dialog(suppliers, key, QStringLiteral("Fornecedores"), QString());
        t.start();
        if (!dialog.PasteCodes(keys.join(QLatin1Char('\n'))).isEmpty())
            throw Exception(QStringLiteral("Códigos colados não achados."));
        pasted.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    std::sort(typed.begin(), typed.end());
    std::sort(pasted.begin(), pasted.end());
    suppliers->Close();
    figure(QStringLiteral("supplier_first_packet_%1").arg(engine), firstPacket, "ms");
    figure(QStringLiteral("press_to_list_dialog_%1").arg(engine), listShown, "ms");
    figure(QStringLiteral("press_to_search_dialog_%1").arg(engine), searchShown, "ms");
    figure(QStringLiteral("typeahead_not_arrived_%1").arg(engine), typed[typed.size() / 2], "ms");
    figure(QStringLiteral("paste_100_codes_%1").arg(engine), pasted[pasted.size() / 2], "ms");
}

void benchEngine(const QString &engine, const Options &o, TForm *form)
{
    QTemporaryDir dir;
    bool available = false;
    const Velmora::ConnectionSettings settings = settingsFor(engine, dir, available);
    if (!available) {
        note(
            QStringLiteral("%1: sem servidor (defina VELMORA_TEST_PG_HOST e _PORT, por exemplo com "
                           "scripts/test-services); motor não medido.")
                .arg(engine));
        return;
    }
    Velmora::Db::CreateDatabase(settings, Velmora::Db::Durability::Throwaway);
    struct Dropper
    {
        Velmora::ConnectionSettings s;
        ~Dropper()
        {
            try {
                Velmora::Db::DropDatabase(s);
            } catch (const Exception &e) {
                note(e.Message());
            }
        }
    } dropper{settings};

    {
        QElapsedTimer t;
        t.start();
        Velmora::DBConnection loader(settings);
        Velmora::Db::DemoOptions demo;
        demo.documents = o.documents;
        demo.suppliers = o.suppliers;
        Velmora::Db::GenerateDemo(loader, demo,
                                  [&](const QString &line) { note(engine + ": " + line); });
        figure(QStringLiteral("demo_load_%1").arg(engine), double(t.elapsed()) / 1000.0, "s");
    }

    TdtmDBGeral shared(settings);
    Velmora::DBConnection *db = shared.adcGeral();
    db->Open();
    // A company, a tax and a state registration that exist in the demonstration data.
    QSqlQuery pick(db->Database());
    pick.exec(QStringLiteral(
        "SELECT CDEMPRESA, CDINSCESTA FROM INSCRESTAD ORDER BY CDEMPRESA, CDINSCESTA"));
    pick.next();
    const QString company = pick.value(0).toString(), registration = pick.value(1).toString();
    pick.finish();

    const auto query = [form](const char *name) {
        return form->findChild<TADOIBQuery *>(QLatin1String(name));
    };
    const QVariant null;
    const QList<Check> checks{
        {"empresa", query("qryEmpresa"), {{"P_CDEMPRESA", company}}},
        {"imposto", query("qryImposto"), {{"P_CDIMPOSTO", QStringLiteral("01")}}},
        {"inscricao",
         query("qryInscEsta"),
         {{"P_CDEMPRESA", company}, {"P_CDINSCESTA", registration}, {"P_TCDINSCESTA", null}}},
    };
    double worstP99 = 0, worstBareP99 = 0;
    for (const Check &c : checks) {
        const Latency ours = measure(o.iterations, [&] { runCheck(c); });
        const QString text = c.query->TextFor(db->Kind()).join(QLatin1Char('\n'));
        Bare bare(db->Database(), text, c.params);
        const Latency ceiling = measure(o.iterations, [&] { bare.run(); });
        figure(QStringLiteral("check_%1_p50_%2").arg(c.name, engine), ours.p50, "us");
        figure(QStringLiteral("check_%1_p99_%2").arg(c.name, engine), ours.p99, "us");
        figure(QStringLiteral("check_%1_bare_p50_%2").arg(c.name, engine), ceiling.p50, "us");
        figure(QStringLiteral("check_%1_bare_p99_%2").arg(c.name, engine), ceiling.p99, "us");
        if (db->engine() == Velmora::Engine::Firebird) {
            const Latency reprepared =
                measure(o.iterations / 4, [&] { bare.runPreparing(db->Database()); });
            figure(QStringLiteral("check_%1_bare_prepared_each_time_p99_%2").arg(c.name, engine),
                   reprepared.p99, "us");
        }
        worstP99 = std::max(worstP99, ours.p99);
        worstBareP99 = std::max(worstBareP99, ceiling.p99);
        c.query->Close();
    }
    figure(QStringLiteral("check_p99_%1").arg(engine), worstP99, "us");
    figure(QStringLiteral("check_bare_p99_%1").arg(engine), worstBareP99, "us");
    figure(QStringLiteral("check_p99_ratio_%1").arg(engine), worstP99 / worstBareP99, "x");

    TADOIBQuery *suppliers = query("qryFornecedor");
    benchLookupDialogs(engine, suppliers, o);
    int rows = 0;
    const auto whole = [&] {
        suppliers->Close();
        suppliers->Open();
        rows = suppliers->RecordCount();
    };
    const double listMs = medianMs(o.listRuns, whole);
    const int packet = suppliers->PacketRecords();
    suppliers->SetPacketRecords(0);
    const double atOnceMs = medianMs(o.listRuns, whole);
    suppliers->SetPacketRecords(packet);
    suppliers->Close();
    figure(QStringLiteral("supplier_list_at_once_%1").arg(engine), atOnceMs, "ms");
    Bare bareList(db->Database(), suppliers->TextFor(db->Kind()).join(QLatin1Char('\n')), {});
    const double bareMs = medianMs(o.listRuns, [&] { bareList.run(); });
    figure(QStringLiteral("supplier_list_open_%1").arg(engine), listMs, "ms");
    figure(QStringLiteral("supplier_list_bare_%1").arg(engine), bareMs, "ms");
    figure(QStringLiteral("supplier_list_rows_%1").arg(engine), rows, "rows");
}

Options parse(const QStringList &args)
{
    Options o;
    for (int i = 1; i < args.size(); ++i) {
        const QString a = args.at(i);
        const auto next = [&]() -> QString {
            if (i + 1 >= args.size())
                throw Exception(QStringLiteral("A opção %1 pede um valor.").arg(a));
            return args.at(++i);
        };
        if (a == QLatin1String("--quick")) {
            o.documents = 10000;
            o.suppliers = 10000;
            o.iterations = 2000;
            o.listRuns = 3;
        } else if (a == QLatin1String("--documents")) {
            o.documents = next().toLongLong();
        } else if (a == QLatin1String("--suppliers")) {
            o.suppliers = next().toLongLong();
        } else if (a == QLatin1String("--iterations")) {
            o.iterations = qMax(100, next().toInt());
        } else if (a == QLatin1String("--engines")) {
            o.engines = next().split(QLatin1Char(','), Qt::SkipEmptyParts);
        } else {
            throw Exception(QStringLiteral("Opção desconhecida: %1").arg(a));
        }
    }
    return o;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    try {
        const Options o = parse(app.arguments());
        Velmora::RegisterFrameworkComponents();
        QTemporaryDir dir;
        DataForm::path = writeDescription(dir);
        TForm *form = TApplication::instance().CreateForm<DataForm>();
        for (const QString &engine : o.engines) {
            note(QStringLiteral("%1: %2 documentos, %3 fornecedores")
                     .arg(engine)
                     .arg(o.documents)
                     .arg(o.suppliers));
            benchEngine(engine, o, form);
        }
        delete form;
    } catch (const Exception &e) {
        note(e.Message());
        return 1;
    }
    return 0;
}
