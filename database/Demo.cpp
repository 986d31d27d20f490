#include "Demo.h"

#include "BulkLoad.h"
#include "Documents.h"
#include "Schema.h"
#include "data/DBConnection.h"
#include "rtl/Exceptions.h"

#include <QRandomGenerator64>
#include <QSqlError>
#include <QSqlQuery>

#include <memory>

namespace Velmora::Db {

namespace {

const char *const companyNames[] = {"Velmora Indústria e Comércio S.A.",
                                    "Atlântica Distribuidora Ltda", "Serra Verde Alimentos Ltda",
                                    "Horizonte Metalúrgica S.A.", "Rio Claro Têxtil Ltda"};
const char *const cities[] = {"São Paulo",     "Campinas", "Belo Horizonte", "Curitiba",
                              "Porto Alegre",  "Recife",   "Salvador",       "Goiânia",
                              "Florianópolis", "Fortaleza"};
const char *const trades[] = {"Comercial",    "Distribuidora", "Indústria", "Transportes",
                              "Agropecuária", "Metalúrgica",   "Papelaria", "Construtora",
                              "Atacadista",   "Farmacêutica",  "Têxtil",    "Alimentos"};
const char *const surnames[] = {"Silva",    "Santos",  "Oliveira",  "Souza",    "Rodrigues",
                                "Ferreira", "Alves",   "Pereira",   "Lima",     "Gomes",
                                "Costa",    "Ribeiro", "Martins",   "Carvalho", "Almeida",
                                "Lopes",    "Soares",  "Fernandes", "Vieira",   "Barbosa"};
const char *const regions[] = {"do Vale", "Paulista", "Mineira",  "do Sul",    "Nordeste",
                               "Central", "Brasil",   "do Norte", "Litorânea", "Serrana"};
const char *const kinds[] = {"Ltda", "S.A.", "ME", "EIRELI"};
const char *const firstNames[] = {"Maria",   "José",   "Ana",     "João",  "Francisca", "Antônio",
                                  "Adriana", "Carlos", "Juliana", "Paulo", "Márcia",    "Lucas"};

template <size_t N> QString pick(const char *const (&list)[N], quint64 n)
{
    return QString::fromUtf8(list[n % N]);
}

struct Tax
{
    const char *code, *acronym, *body; // body nullptr: null collecting body
    double rate;                       // percent
};

// Codes 07 has no tax rows: the screen neither lists nor accepts it.
const Tax taxes[] = {{"01", "ICMS", "E", 18.0},      {"02", "IPI", "F", 10.0},
                     {"03", "ISS", "M", 5.0},        {"04", "PIS", "", 1.65},
                     {"05", "COFINS", nullptr, 7.6}, {"06", "ICMS ST", "E", 12.0},
                     {"07", "II", "F", 14.0}};
const struct
{
    const char *code, *name, *tax;
} taxRows[] = {{"0101", "ICMS Normal", "01"},
               {"0102", "ICMS Diferencial de Alíquota", "01"},
               {"0201", "IPI", "02"},
               {"0301", "ISS Próprio", "03"},
               {"0302", "ISS Retido", "03"},
               {"0401", "PIS não Cumulativo", "04"},
               {"0501", "COFINS não Cumulativo", "05"},
               {"0601", "ICMS Substituição Tributária", "06"}};

QString code(qint64 n, int width)
{
    return QStringLiteral("%1").arg(n, width, 10, QLatin1Char('0'));
}

QVariant money(qint64 cents)
{
    return QStringLiteral("%1.%2").arg(cents / 100).arg(cents % 100, 2, 10, QLatin1Char('0'));
}

void check(bool ok, const QString &what)
{
    if (!ok)
        throw EDatabaseError(QStringLiteral("Opção inválida para a demonstração: %1.").arg(what));
}

void requireEmpty(DBConnection &db)
{
    for (const TableDef &t : Tables()) {
        QSqlQuery q(db.Database());
        if (!q.exec(QStringLiteral("SELECT 1 FROM %1").arg(t.name)))
            throw EDatabaseError(
                QStringLiteral("Erro ao ler a tabela %1: %2").arg(t.name, q.lastError().text()));
        if (q.next())
            throw EDatabaseError(QStringLiteral("O banco de dados %1 já tem dados (tabela %2): a "
                                                "demonstração pede um banco vazio.")
                                     .arg(db.Settings().describe(), t.name));
    }
}

} // namespace

DemoResult GenerateDemo(DBConnection &db, const DemoOptions &o,
                        const std::function<void(const QString &)> &progress)
{
    check(o.documents >= 0 && o.documents <= 999999999,
          QStringLiteral("--documents de 0 a 999999999"));
    check(o.suppliers >= 0 && o.suppliers <= 50000000,
          QStringLiteral("--suppliers de 0 (automático) a 50000000"));
    check(o.companies >= 1 && o.companies <= 99, QStringLiteral("--companies de 1 a 99"));
    check(o.branches >= 1 && o.branches <= 9999, QStringLiteral("--branches de 1 a 9999"));
    check(o.months >= 1 && o.months <= 600, QStringLiteral("--months de 1 a 600"));
    check(o.start.isValid(), QStringLiteral("data inicial"));
    const qint64 supplierCount = o.suppliers > 0 ? o.suppliers : qMax<qint64>(50, o.documents / 10);
    const auto say = [&](const QString &text) {
        if (progress)
            progress(text);
    };

    db.Open();
    if (!SchemaExists(db)) {
        CreateSchema(db);
        say(QStringLiteral("Esquema criado."));
    } else {
        // An empty database of an older version would otherwise stop at the table it lacks.
        for (const QString &line : UpgradeSchema(db).lines())
            say(line);
    }
    requireEmpty(db);

    QRandomGenerator64 rng(o.seed);
    const auto below = [&rng](quint64 n) { return n <= 1 ? quint64(0) : rng.bounded(n); };
    switch (db.engine()) {
    case Engine::SQLite:
        db.Execute(QStringLiteral("PRAGMA synchronous = OFF"));
        db.Execute(QStringLiteral("PRAGMA cache_size = -262144"));
        break;
    case Engine::PostgreSQL:
        db.Execute(QStringLiteral("SET synchronous_commit = off"));
        break;
    default:
        break;
    }

    BulkLoad load(db);
    const int empresa = load.AddTable(QStringLiteral("EMPRESA"), {"CDEMPRESA", "NMEMPRESA"});
    const int impostoNfe = load.AddTable(QStringLiteral("IMPOSTONFE"),
                                         {"CDIMPOSTONFE", "SGIMPOSTONFE", "IDORGARRECADNFE"});
    const int imposto =
        load.AddTable(QStringLiteral("IMPOSTO"), {"CDIMPOSTO", "NMIMPOSTO", "CDIMPOSTONFE"});
    const int inscEstad = load.AddTable(QStringLiteral("INSCRESTAD"), {"CDEMPRESA", "CDINSCESTA"});
    const int inscMuni = load.AddTable(QStringLiteral("INSCRMUNICIP"), {"CDEMPRESA", "CDINSCMUNI"});
    const int fornecedor = load.AddTable(QStringLiteral("FORNECEDOR"),
                                         {"NRINSJURFORN", "NMRAZSOCFORN", "IDTPIJURFORN"});
    const int filial =
        load.AddTable(QStringLiteral("FILIAL"), {"CDFILIAL", "NMFILIAL", "CDEMPRESA"});
    const int mapa =
        load.AddTable(QStringLiteral("MAPAAPURACAO"),
                      {"CDEMPRESA", "CDIMPOSTONFE", "CDINSCRICAO", "DTINIPERIODO", "DTFIMPERIODO"});
    const int doc =
        load.AddTable(QStringLiteral("DOCENTRADA"),
                      {"CDEMPRESA", "CDFILIAL", "NRINSJURFORN", "CDSERIE", "NRDOCUMENTO",
                       "DTEMISSAO", "DTENTRADA", "CDINSCRICAO", "VLCONTABIL"});
    const int docImp =
        load.AddTable(QStringLiteral("DOCENTRADAIMP"),
                      {"CDEMPRESA", "CDFILIAL", "NRINSJURFORN", "CDSERIE", "NRDOCUMENTO",
                       "CDIMPOSTONFE", "VLBASE", "PCALIQUOTA", "VLIMPOSTO"});
    qint64 sinceCommit = 0;
    const auto add = [&](int table, const QVariantList &row) {
        load.Add(table, row);
        if (++sinceCommit >= 500000) {
            load.Commit();
            sinceCommit = 0;
        }
    };

    {
        // Companies, their branches (one state registration per branch state) and
        // registrations.
        QVector<QStringList> branchesOf(o.companies), stateRegs(o.companies), cityRegs(o.companies);
        for (int c = 0; c < o.companies; ++c) {
            const QString cd = code(c + 1, 2);
            QString name = pick(companyNames, quint64(c));
            if (c >= int(std::size(companyNames)))
                name = QStringLiteral("%1 %2 Ltda")
                           .arg(pick(trades, quint64(c)), pick(surnames, quint64(c)));
            add(empresa, {cd, name.left(40)});
            const int states = qMin(2, o.branches);
            for (int s = 0; s < states; ++s) {
                stateRegs[c]
                    << QStringLiteral("%1%2").arg(110 + c * 7 + s).arg(code(below(1000000000), 9));
                add(inscEstad, {cd, stateRegs[c].last()});
            }
            for (int m = 0; m < states; ++m) {
                cityRegs[c] << code(1000000 + (c * 37 + m) * 9173 % 8999999, 8);
                add(inscMuni, {cd, cityRegs[c].last()});
            }
            for (int b = 0; b < o.branches; ++b) {
                branchesOf[c] << cd + code(b + 1, 4);
                const QString nm =
                    b == 0
                        ? QStringLiteral("Matriz %1").arg(pick(cities, quint64(c)))
                        : QStringLiteral("Filial %1 %2").arg(pick(cities, quint64(c + b))).arg(b);
                add(filial, {branchesOf[c].last(), nm.left(30), cd});
            }
        }
        for (const Tax &t : taxes)
            add(impostoNfe, {QLatin1String(t.code), QLatin1String(t.acronym),
                             t.body ? QVariant(QString::fromLatin1(t.body)) : QVariant()});
        for (const auto &t : taxRows)
            add(imposto, {QLatin1String(t.code), QString::fromUtf8(t.name), QLatin1String(t.tax)});

        // Monthly maps of every tax that has tax rows, for each registration it calls for.
        for (int c = 0; c < o.companies; ++c)
            for (const Tax &t : taxes) {
                if (QByteArray(t.code) == "07")
                    continue;
                const QString body = t.body ? QString::fromLatin1(t.body) : QString();
                const QStringList regs = body == QLatin1String("E") ? stateRegs[c]
                                         : body == QLatin1String("M")
                                             ? cityRegs[c]
                                             : QStringList{QStringLiteral("")};
                for (const QString &reg : regs)
                    for (int m = 0; m < o.months; ++m) {
                        const QDate first = o.start.addMonths(m);
                        add(mapa, {code(c + 1, 2), QLatin1String(t.code), reg, first,
                                   first.addMonths(1).addDays(-1)});
                    }
            }
        say(QStringLiteral("Empresas, filiais, impostos, inscrições e mapas gravados."));

        // Suppliers: four companies for each person.
        QStringList supplierIds;
        supplierIds.reserve(supplierCount);
        qint64 companiesMade = 0, personsMade = 0;
        for (qint64 i = 0; i < supplierCount; ++i) {
            const bool person = i % 5 == 4;
            QString id, name;
            if (person) {
                id = Cpf(quint32(100000000 + personsMade++ * 7));
                name = QStringLiteral("%1 %2 %3")
                           .arg(pick(firstNames, below(1000)), pick(surnames, below(1000)),
                                pick(surnames, below(1000)));
            } else {
                id = Cnpj(quint32((companiesMade++ * 7919 + 1000) % 100000000), 1);
                name = QStringLiteral("%1 %2 %3 %4")
                           .arg(pick(trades, below(1000)), pick(surnames, below(1000)),
                                pick(regions, below(1000)), pick(kinds, below(1000)));
            }
            supplierIds << id;
            add(fornecedor,
                {id, name.left(40), person ? QStringLiteral("F") : QStringLiteral("J")});
            if ((i + 1) % 200000 == 0)
                say(QStringLiteral("%1 fornecedores gravados.").arg(i + 1));
        }

        // Documents: goods (ICMS, often IPI, PIS and COFINS) under the branch's state
        // registration, one in ten a service (ISS, PIS, COFINS) under the municipal one.
        const qint64 reportEvery = qMax<qint64>(100000, o.documents / 10);
        for (qint64 n = 0; n < o.documents; ++n) {
            const int c = int(below(quint64(o.companies)));
            const int b = int(below(quint64(o.branches)));
            const QString cd = code(c + 1, 2);
            const QString branch = branchesOf[c].at(b);
            const QString supplier = supplierIds.at(qsizetype(below(quint64(supplierCount))));
            const bool service = below(10) == 0;
            const QString serie = service ? QStringLiteral("") : QString::number(1 + below(3));
            const QString number = QString::number(n + 1);
            const QDate month = o.start.addMonths(int(below(quint64(o.months))));
            const QDate issued = month.addDays(qint64(below(quint64(month.daysInMonth()))));
            const QDate entered = issued.addDays(qint64(below(4)));
            const QString reg = service ? cityRegs[c].at(b % cityRegs[c].size())
                                        : stateRegs[c].at(b % stateRegs[c].size());
            const qint64 total = 5000 + qint64(below(4995000));
            add(doc, {cd, branch, supplier, serie, number, issued, entered, reg, money(total)});
            const auto tax = [&](const char *taxCode, double rate) {
                const qint64 amount = qRound64(double(total) * rate / 100.0);
                add(docImp, {cd, branch, supplier, serie, number, QLatin1String(taxCode),
                             money(total), QString::number(rate, 'f', 4), money(amount)});
            };
            if (service) {
                tax("03", 2.0 + double(below(4)));
            } else {
                static const double icms[] = {18.0, 12.0, 7.0};
                tax("01", icms[below(3)]);
                if (below(10) < 3)
                    tax("02", below(2) ? 5.0 : 10.0);
            }
            if (below(2) == 0) {
                tax("04", 1.65);
                tax("05", 7.6);
            }
            if ((n + 1) % reportEvery == 0)
                say(QStringLiteral("%1 documentos gravados.").arg(n + 1));
        }
        load.Commit(true);
    }

    if (db.engine() == Engine::SQLite) {
        db.Execute(QStringLiteral("PRAGMA synchronous = FULL"));
        db.Execute(QStringLiteral("ANALYZE"));
    } else if (db.engine() == Engine::PostgreSQL) {
        db.Execute(QStringLiteral("ANALYZE"));
    }

    DemoResult result;
    for (const TableDef &t : Tables()) {
        QSqlQuery q(db.Database());
        if (q.exec(QStringLiteral("SELECT COUNT(*) FROM %1").arg(t.name)) && q.next())
            result.rowsPerTable.insert(t.name, q.value(0).toLongLong());
    }
    return result;
}

} // namespace Velmora::Db
