// The road of one report on every database engine: a fresh database, the application server
// over it as a process of its own, and the velmora executable's batch runner typing into the
// screen down to the saved PDF, CSV and XLSX, whose totals must be the database's own sums.
#include "BatchRun.h"
#include "ReportFiles.h"
#include "TestDatabases.h"

#include <QCoreApplication>
#include <QDate>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>

#include <cmath>
#include <cstdio>
#include <map>
#include <memory>

namespace {

using Velmora::Test::EngineLabel;
using Velmora::Test::EngineNames;
using Velmora::Test::Rows;

const QString registration = QStringLiteral("110042490114");

// Suppliers besides the screen fixture's; a name with the CSV separator and accents.
const char *const newSuppliers[][2] = {
    {"61585865000151", "Ômega Têxtil Ltda"},  {"33000167000101", "Açúcar; Álcool S.A."},
    {"12345678909", "João D'Ávila"},          {"07526557000100", "Kappa Ferragens Ltda"},
    {"45543915000181", "Lambda Papéis Ltda"},
};
const char *const documentSuppliers[] = {"04252011000110", "11222333000181", "61585865000151",
                                         "33000167000101", "12345678909",    "07526557000100",
                                         "45543915000181"};
// "3" and "30": a branch list must not take one for the other.
const char *const branches[] = {"1", "10", "3", "30"};

double cents(double value)
{
    return std::round(value * 100) / 100;
}

QJsonObject taxRow(const QJsonObject &document, const char *tax, double base, double rate)
{
    QJsonObject row;
    for (const char *key : {"CDEMPRESA", "CDFILIAL", "NRINSJURFORN", "CDSERIE", "NRDOCUMENTO"})
        row.insert(QLatin1String(key), document.value(QLatin1String(key)));
    row.insert(QStringLiteral("CDIMPOSTONFE"), QLatin1String(tax));
    row.insert(QStringLiteral("VLBASE"), base);
    row.insert(QStringLiteral("PCALIQUOTA"), rate);
    row.insert(QStringLiteral("VLIMPOSTO"), cents(base * rate / 100));
    return row;
}

// Enough documents for several suppliers, branches and pages, and others the report must
// leave out: another company, another registration, another tax, entries outside the period.
QByteArray RoadFixture()
{
    QJsonArray suppliers, branchRows, documents, taxes;
    for (const auto &s : newSuppliers)
        suppliers.append(QJsonObject{{"NRINSJURFORN", s[0]},
                                     {"NMRAZSOCFORN", QString::fromUtf8(s[1])},
                                     {"IDTPIJURFORN", qstrlen(s[0]) == 11 ? "F" : "J"}});
    branchRows.append(
        QJsonObject{{"CDFILIAL", "3"}, {"NMFILIAL", "Filial Santos"}, {"CDEMPRESA", "01"}});
    branchRows.append(
        QJsonObject{{"CDFILIAL", "30"}, {"NMFILIAL", "Filial Sorocaba"}, {"CDEMPRESA", "01"}});
    const double rates[] = {7, 12, 18, 4.5};
    for (int i = 0; i < 480; ++i) {
        const bool otherCompany = i % 17 == 0;
        const QDate entry = QDate(2023, 12, 16).addDays((i * 37) % 100);
        const double value = cents(((i * 7919) % 250000) / 100.0 + 15.37);
        QJsonObject d{{"CDEMPRESA", otherCompany ? "02" : "01"},
                      {"CDFILIAL", otherCompany ? "2" : branches[(i / 7) % 4]},
                      {"NRINSJURFORN", documentSuppliers[(i * 3) % 7]},
                      {"CDSERIE", i % 3 == 0 ? "U" : "1"},
                      {"NRDOCUMENTO", QString::number(300000 + i)},
                      {"DTEMISSAO", entry.addDays(-(i % 6)).toString(Qt::ISODate)},
                      {"DTENTRADA", entry.toString(Qt::ISODate)},
                      {"CDINSCRICAO", otherCompany  ? QStringLiteral("110099887766")
                                      : i % 11 == 0 ? QStringLiteral("206001234567")
                                                    : registration},
                      {"VLCONTABIL", value}};
        documents.append(d);
        if (i % 19 != 5)
            taxes.append(taxRow(d, "01", i % 4 == 0 ? cents(value * 0.8) : value, rates[i % 4]));
        if (i % 5 == 0 || i % 19 == 5)
            taxes.append(taxRow(d, "02", value, 10));
    }
    const QJsonObject fixture{{"FORNECEDOR", suppliers},
                              {"FILIAL", branchRows},
                              {"DOCENTRADA", documents},
                              {"DOCENTRADAIMP", taxes}};
    return QJsonDocument(fixture).toJson(QJsonDocument::Compact);
}

// One environment per engine, made on first use and kept for the engine's tests.
std::map<QString, std::unique_ptr<ModuleEnvironment>> environments;

ModuleEnvironment *RoadEnvironment(const QString &engine)
{
    std::unique_ptr<ModuleEnvironment> &env = environments[engine];
    if (env)
        return env.get();
    try {
        env = std::make_unique<ModuleEnvironment>(Fis01400Module(),
                                                  QStringLiteral(FIS01400_FIXTURE), engine);
        const QString path = env->folder() + QStringLiteral("/road.json");
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(RoadFixture()) < 0)
            throw std::runtime_error("road.json not written");
        file.close();
        env->load(path);
    } catch (const std::exception &e) {
        ADD_FAILURE() << "environment on " << engine.toStdString() << ": " << e.what();
        env.reset();
    }
    return env.get();
}

// A supplier's group as the report must show it: "key - name: rows; accounting value; tax
// base; tax value", the sums as the layout prints money.
QString Group(const QString &key, const QString &name, qint64 rows, double value, double base,
              double tax)
{
    return QStringLiteral("%1 - %2: %3; %4; %5; %6")
        .arg(key, name)
        .arg(rows)
        .arg(Money(value), Money(base), Money(tax));
}

struct Expected
{
    QStringList groups;
    QString grand; // Group() of the whole report, without key and name
    qint64 rows = 0;
};

// The sums straight from the tables, for company 01, tax 01, the registration and January to
// February 2024; filter narrows the documents further.
Expected ExpectedTotals(ModuleEnvironment &env, const QString &filter)
{
    const QList<QStringList> rows =
        Rows(env.connection(),
             QStringLiteral(
                 "SELECT D.NRINSJURFORN, F.NMRAZSOCFORN, COUNT(*), SUM(D.VLCONTABIL), "
                 "SUM(I.VLBASE), SUM(I.VLIMPOSTO) FROM DOCENTRADA D "
                 "JOIN DOCENTRADAIMP I ON I.CDEMPRESA = D.CDEMPRESA AND I.CDFILIAL = D.CDFILIAL "
                 "AND I.NRINSJURFORN = D.NRINSJURFORN AND I.CDSERIE = D.CDSERIE "
                 "AND I.NRDOCUMENTO = D.NRDOCUMENTO "
                 "JOIN FORNECEDOR F ON F.NRINSJURFORN = D.NRINSJURFORN "
                 "WHERE D.CDEMPRESA = '01' AND I.CDIMPOSTONFE = '01' AND D.CDINSCRICAO = '%1' "
                 "AND D.DTENTRADA BETWEEN '2024-01-01' AND '2024-02-29' %2 "
                 "GROUP BY D.NRINSJURFORN, F.NMRAZSOCFORN ORDER BY D.NRINSJURFORN")
                 .arg(registration, filter));
    Expected e;
    double value = 0, base = 0, tax = 0;
    for (const QStringList &r : rows) {
        const qint64 count = qint64(r.at(2).toDouble());
        e.groups << Group(r.at(0), r.at(1), count, r.at(3).toDouble(), r.at(4).toDouble(),
                          r.at(5).toDouble());
        e.rows += count;
        value += r.at(3).toDouble();
        base += r.at(4).toDouble();
        tax += r.at(5).toDouble();
    }
    e.grand = Group({}, {}, e.rows, value, base, tax);
    return e;
}

// The money amounts of a printed line, in order (the rate's four decimals are no money).
QList<double> Amounts(const QString &line)
{
    static const QRegularExpression money(
        QStringLiteral("(?<![\\d.,])-?\\d{1,3}(?:\\.\\d{3})*,\\d{2}(?![\\d])"));
    QList<double> found;
    for (auto it = money.globalMatch(line); it.hasNext();)
        found << MoneyValue(it.next().captured());
    return found;
}

// Groups and grand total as the PDF prints them: each header, its detail lines counted, the
// footer's three sums.
Expected PdfTotals(const QString &text)
{
    static const QRegularExpression detail(
        QStringLiteral("^\\s*\\S+\\s+\\S+\\s+\\d\\d/\\d\\d/\\d{4}\\s+\\d\\d/\\d\\d/\\d{4}\\s"));
    static const QRegularExpression header(
        QStringLiteral("^\\s*Fornecedor: (\\S+) - (.*\\S)\\s*$"));
    Expected e;
    QString key, name;
    qint64 rows = 0;
    for (const QString &line : text.split(QLatin1Char('\n'))) {
        const QRegularExpressionMatch h = header.match(line);
        if (h.hasMatch() && !line.contains(QStringLiteral("(continuação)"))) {
            key = h.captured(1);
            name = h.captured(2);
            rows = 0;
        } else if (detail.match(line).hasMatch()) {
            ++rows;
            ++e.rows;
        } else if (line.contains(QStringLiteral("Total do fornecedor"))) {
            const QList<double> a = Amounts(line);
            e.groups << Group(key, name, rows, a.value(0), a.value(1), a.value(2));
        } else if (line.contains(QStringLiteral("Total geral"))) {
            const QList<double> a = Amounts(line);
            e.grand = Group({}, {}, e.rows, a.value(0), a.value(1), a.value(2));
        }
    }
    return e;
}

// The CSV has no totals: the detail lines summed per supplier, in their order.
Expected CsvTotals(const QString &text)
{
    const QList<QStringList> rows = ParseCsv(text, QLatin1Char(';'));
    Expected e;
    QString key, name;
    qint64 count = 0;
    double sums[3] = {0, 0, 0}, grand[3] = {0, 0, 0};
    const auto close = [&] {
        if (count > 0)
            e.groups << Group(key, name, count, sums[0], sums[1], sums[2]);
    };
    for (qsizetype r = 1; r < rows.size(); ++r) {
        const QStringList &row = rows.at(r);
        if (row.size() < 11) {
            ADD_FAILURE() << "short CSV line " << r << ": " << row.join('|').toStdString();
            continue;
        }
        if (row.at(0) != key) {
            close();
            key = row.at(0);
            name = row.at(1);
            count = 0;
            sums[0] = sums[1] = sums[2] = 0;
        }
        ++count;
        ++e.rows;
        const int columns[3] = {7, 8, 10};
        for (int i = 0; i < 3; ++i) {
            sums[i] += MoneyValue(row.at(columns[i]));
            grand[i] += MoneyValue(row.at(columns[i]));
        }
    }
    close();
    e.grand = Group({}, {}, e.rows, grand[0], grand[1], grand[2]);
    if (!rows.isEmpty()) {
        EXPECT_EQ(rows.at(0).mid(0, 3), (QStringList{"C.N.P.J/C.P.F", "Fornecedor", "Documento"}));
    }
    return e;
}

// The report's worksheet: the supplier leads each detail row; the footers and the grand
// total carry the sums as numbers in H (accounting value), I (base) and K (tax).
// The data sheet's rows counted per supplier, the totals from the sheet "Totais" (the values
// its formulas came to): supplier fields in A and B, the totals in C to E.
Expected XlsxTotals(const QString &path)
{
    Expected e;
    QMap<QString, qint64> counts;
    for (const auto &row : ParseSheet(ZipEntry(path, QStringLiteral("xl/worksheets/sheet1.xml")))) {
        if (row.value("C").text == QLatin1String("Documento"))
            continue;
        ++counts[row.value("A").text];
        ++e.rows;
        EXPECT_TRUE(row.value("H").number);
    }
    for (const auto &row : ParseSheet(ZipEntry(path, QStringLiteral("xl/worksheets/sheet2.xml")))) {
        const QString first = row.value("A").text;
        const auto sum = [&row](const char *column) { return row.value(column).text.toDouble(); };
        if (first == QLatin1String("Total geral"))
            e.grand = Group({}, {}, e.rows, sum("C"), sum("D"), sum("E"));
        else if (counts.contains(first))
            e.groups << Group(first, row.value("B").text, counts.value(first), sum("C"), sum("D"),
                              sum("E"));
    }
    return e;
}

// The parameters sheet: name in A, value in B.
QMap<QString, SheetCell> XlsxParameters(const QString &path)
{
    QMap<QString, SheetCell> byName;
    for (const auto &row : ParseSheet(ZipEntry(path, QStringLiteral("xl/worksheets/sheet3.xml"))))
        byName.insert(row.value("A").text, row.value("B"));
    return byName;
}

// The "Página N de M" lines of a PDF's text, in order.
QStringList PdfPageNumbers(const QString &text)
{
    QStringList numbers;
    static const QRegularExpression page(QStringLiteral("Página \\d+ de \\d+"));
    for (auto it = page.globalMatch(text); it.hasNext();)
        numbers << it.next().captured();
    return numbers;
}

// The heading in the clerk's words, on the PDF's first page and in the parameters sheet; no
// query name or all-marker anywhere.
void ExpectHeading(const QString &pdfText, const QMap<QString, SheetCell> &sheet,
                   const QList<QPair<QString, QString>> &lines)
{
    const QString page =
        pdfText.left(pdfText.indexOf(QStringLiteral("Página 1 de")))
            .replace(QRegularExpression(QStringLiteral(" {2,}")), QStringLiteral(" "));
    for (const auto &[caption, text] : lines) {
        EXPECT_TRUE(page.contains(caption + QStringLiteral(": ") + text))
            << qPrintable(caption + QStringLiteral(": ") + text) << " in\n"
            << qPrintable(page);
        EXPECT_EQ(sheet.value(caption).text, text) << qPrintable(caption);
    }
    EXPECT_FALSE(pdfText.contains(QStringLiteral("P_")));
    EXPECT_FALSE(pdfText.contains(QRegularExpression(QStringLiteral("(^|\\s)T(\\s|$)"))));
    for (const SheetCell &cell : sheet)
        EXPECT_FALSE(cell.text.contains(QStringLiteral("P_")) || cell.text == QLatin1String("T"))
            << qPrintable(cell.text);
}

void ExpectSameTotals(const Expected &file, const Expected &database, const char *what)
{
    SCOPED_TRACE(what);
    EXPECT_EQ(file.groups, database.groups);
    EXPECT_EQ(file.grand, database.grand);
    EXPECT_EQ(file.rows, database.rows);
}

// Tax, company and registration typed; the dates taken from the server's periods.
const QByteArray roadByLookups = R"(
    {"do":"enter","control":"medCdImposto","text":"01"},
    {"do":"enter","control":"medCdEmpresa","text":"01"},
    {"do":"lookup","control":"btpInscricao","pick":{"CDINSCESTA":"110042490114"}},
    {"do":"lookup","control":"btnDataIni","pick":{"DTINICIAL":"01/01/2024"}},
    {"do":"lookup","control":"btnDataFim","pick":{"DTFINAL":"29/02/2024"}},)";

const QByteArray saveAll = R"(
    {"do":"dump"},
    {"do":"action","name":"save","file":"$DIR/NAME.pdf"},
    {"do":"action","name":"save","file":"$DIR/NAME.csv"},
    {"do":"action","name":"save","file":"$DIR/NAME.xlsx"}])";

// Every field typed, and a list of suppliers and of branches picked.
const QByteArray typedLists = R"(
        {"do":"enter","control":"medCdImposto","text":"01"},
        {"do":"enter","control":"medCdEmpresa","text":"01"},
        {"do":"enter","control":"edtInscricao","text":"110042490114"},
        {"do":"enter","control":"depDtInicial","text":"01012024"},
        {"do":"enter","control":"depDtFinal","text":"29022024"},
        {"do":"click","control":"rdbListaFor"},
        {"do":"list","control":"btnPesqForne","pick":["33000167000101","04252011000110"]},
        {"do":"click","control":"rdbListaFil"},
        {"do":"list","control":"btnFilial","pick":["3","10"]},)";

class Road : public ::testing::TestWithParam<QString>
{
protected:
    void SetUp() override
    {
        env = RoadEnvironment(GetParam());
        if (!env)
            GTEST_SKIP() << "no environment (see the failure above)";
    }
    QString file(const QString &name) const { return env->folder() + QLatin1Char('/') + name; }
    // Runs the steps, then saves the report as NAME.pdf, .csv and .xlsx.
    JobRun road(const QByteArray &steps, const QByteArray &name) const
    {
        QByteArray save = saveAll;
        save.replace("NAME", name);
        return RunJob(*env, "[" + steps + save);
    }
    // What each file holds against what the database sums.
    void expectFiles(const JobRun &r, const QString &name, const Expected &expected,
                     int minimumPages) const
    {
        ASSERT_EQ(r.status, 0) << qPrintable(r.errors);
        EXPECT_TRUE(r.messages().isEmpty()) << qPrintable(r.messages().join('\n'));
        ASSERT_EQ(r.reports().size(), 3);
        for (const QJsonObject &report : r.reports())
            EXPECT_EQ(report["rows"].toInteger(), expected.rows)
                << qPrintable(report["file"].toString());

        const QString pdf = file(name + QStringLiteral(".pdf"));
        const int pages = PdfPages(pdf);
        EXPECT_GE(pages, minimumPages) << "the groups run across page breaks";
        EXPECT_EQ(r.reports()[0]["pages"].toInt(), pages);
        const QString text = PdfText(pdf);
        ExpectSameTotals(PdfTotals(text), expected, "PDF");
        QStringList numbers;
        for (int i = 1; i <= pages; ++i)
            numbers << QStringLiteral("Página %1 de %2").arg(i).arg(pages);
        EXPECT_EQ(PdfPageNumbers(text), numbers);

        ExpectSameTotals(CsvTotals(ReadText(file(name + QStringLiteral(".csv")))), expected, "CSV");

        const QString xlsx = file(name + QStringLiteral(".xlsx"));
        ExpectSameTotals(XlsxTotals(xlsx), expected, "XLSX");
    }

    ModuleEnvironment *env = nullptr;
};

TEST_P(Road, FromTheTaxCodeToTheSavedFilesWithEverySupplierAndBranch)
{
    const int periodLookups = env->answeredCalls(QStringLiteral("GetDtIni")) +
                              env->answeredCalls(QStringLiteral("GetDtFim"));
    const JobRun r = road(roadByLookups, "todos");
    const Expected expected = ExpectedTotals(*env, QString());
    ASSERT_GE(expected.groups.size(), 6) << "the fixture spreads over the suppliers";
    expectFiles(r, QStringLiteral("todos"), expected, 4);

    // The dates came through the server's lookups; the screen shows what was picked.
    EXPECT_GE(env->answeredCalls(QStringLiteral("GetDtIni")) +
                  env->answeredCalls(QStringLiteral("GetDtFim")),
              periodLookups + 2);
    EXPECT_EQ(r.text("edtInscricao"), registration);
    EXPECT_EQ(r.text("depDtInicial"), "01/01/2024");
    EXPECT_EQ(r.text("depDtFinal"), "29/02/2024");

    ExpectHeading(PdfText(file(QStringLiteral("todos.pdf"))),
                  XlsxParameters(file(QStringLiteral("todos.xlsx"))),
                  {{"Empresa", "01 – Velmora Indústria e Comércio S.A."},
                   {"Imposto", "01 – ICMS"},
                   {"Inscrição", registration},
                   {"Período", "01/01/2024 a 29/02/2024"},
                   {"Fornecedores", "todos"},
                   {"Filiais", "todas"}});
}

TEST_P(Road, ASupplierListAndABranchList)
{
    const JobRun r = road(typedLists, "listas");
    const Expected expected =
        ExpectedTotals(*env, QStringLiteral("AND D.NRINSJURFORN IN ('33000167000101', "
                                            "'04252011000110') AND D.CDFILIAL IN ('3', '10')"));
    ASSERT_EQ(expected.groups.size(), 2);
    expectFiles(r, QStringLiteral("listas"), expected, 2);

    // The lists in the dialogs' order, by name; a company's key as a CNPJ.
    ExpectHeading(PdfText(file(QStringLiteral("listas.pdf"))),
                  XlsxParameters(file(QStringLiteral("listas.xlsx"))),
                  {{"Fornecedores", "2 selecionados – 33.000.167/0001-01, 04.252.011/0001-10"},
                   {"Filiais", "2 selecionadas – 10, 3"}});
}

// A saved set brings back what was typed: the fields, the lists and the report's parameters;
// the default set loads as the screen opens. Run last: it takes its sets away again.
TEST_P(Road, ASavedSetLoadsAsTheTypedRun)
{
    const QByteArray typed = "[" + typedLists + R"(
        {"do":"action","name":"save","file":"$DIR/digitado.csv"},
        {"do":"variant","save":"Mensal","default":true},
        {"do":"variant","save":"Falha"},
        {"do":"dump"},
        {"do":"close"},
        {"do":"open"},
        {"do":"dump"}])";
    const JobRun first = RunJob(*env, typed);
    ASSERT_EQ(first.status, 0) << qPrintable(first.errors + first.messages().join('\n'));
    const QJsonObject wanted = first.state(0);
    for (const char *field : {"medCdImposto", "medCdEmpresa", "edtNmEmpresa", "edtInscricao",
                              "depDtInicial", "depDtFinal", "rdbListaFor", "rdbListaFil"})
        EXPECT_EQ(first.state(1).value(QLatin1String(field)).toObject(),
                  wanted.value(QLatin1String(field)).toObject())
            << field << ": the default set, loaded as the screen opened";

    // In another session, over other values: loaded by name, then the clerk's last values.
    const JobRun second = RunJob(*env, R"([
        {"do":"enter","control":"medCdEmpresa","text":"02"},
        {"do":"click","control":"rdbTodosFor"},
        {"do":"variant","load":"Mensal"},
        {"do":"action","name":"save","file":"$DIR/variante.csv"},
        {"do":"click","control":"rdbTodosFil"},
        {"do":"variant","last":true}])");
    ASSERT_EQ(second.status, 0) << qPrintable(second.errors + second.messages().join('\n'));
    EXPECT_EQ(second.events(QStringLiteral("state")).at(0).value("variant"), "Mensal");
    // Every field and choice as typed, after the set and after the last values.
    for (int n = 0; n < 2; ++n) {
        for (auto it = wanted.begin(); it != wanted.end(); ++it) {
            const bool value =
                it.value().toObject().contains(QLatin1String("checked")) ||
                QRegularExpression(QStringLiteral("^(med|edt|dep)")).match(it.key()).hasMatch();
            if (value) {
                EXPECT_EQ(second.state(n).value(it.key()).toObject(), it.value().toObject())
                    << qPrintable(it.key());
            }
        }
    }
    EXPECT_EQ(second.params(0), first.params(0));
    EXPECT_EQ(ReadText(file(QStringLiteral("variante.csv"))),
              ReadText(file(QStringLiteral("digitado.csv"))));

    // A set naming a company and a supplier that are gone: the company's check fails where
    // leaving the field would, naming the set; the values after it are still written, and the
    // supplier leaves the list with one message.
    env->connection().Execute(
        QStringLiteral("UPDATE VARIANTETELA SET DSVALORES = REPLACE(REPLACE(DSVALORES, "
                       "'\"medCdEmpresa\":\"01\"', '\"medCdEmpresa\":\"99\"'), "
                       "'\"btnPesqForne\":[\"', '\"btnPesqForne\":[\"99999999000191\",\"') "
                       "WHERE NMVARIANTE = 'Falha'"));
    const JobRun broken = RunJob(*env, R"([
        {"do":"variant","load":"Falha"},
        {"do":"variant","delete":"Falha"},
        {"do":"variant","delete":"Mensal"},
        {"do":"variant","load":"Mensal"}])");
    EXPECT_FALSE(broken.ok(1));
    EXPECT_EQ(broken.messages().mid(0, 2),
              (QStringList{At(QStringLiteral("Empresa não cadastrada.\n\n(variante \"Falha\")"),
                              "medCdEmpresa"),
                           At(QStringLiteral("Não estão mais cadastrados e saíram da lista: "
                                             "99999999000191.\n\n(variante \"Falha\")"),
                              "medCdEmpresa")}));
    EXPECT_EQ(broken.text("depDtFinal"), "29/02/2024");
    EXPECT_TRUE(broken.ok(2) && broken.ok(3));
    EXPECT_FALSE(broken.ok(4)) << "a deleted set no longer loads";
}

INSTANTIATE_TEST_SUITE_P(Engines, Road, ::testing::ValuesIn(EngineNames()),
                         [](const auto &info) { return EngineLabel(info.param); });

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    const int status = RUN_ALL_TESTS();
    // Servers stop and databases are dropped while the services still run.
    environments.clear();
    return status;
}
