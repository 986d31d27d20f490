#include "ReportTestSupport.h"
#include "TestReportScreen.h"

#include "data/DBConnection.h"
#include "framework/ComponentRegistry.h"
#include "reports/ReportConnection.h"
#include "rtl/Settings.h"

#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUuid>
#include <gtest/gtest.h>

#include <cmath>

void RegisterTestMessages()
{
    auto &registry = Velmora::ComponentRegistry::instance();
    if (registry.Find(QStringLiteral("TMessages")))
        return;
    registry.Register(
        {QStringLiteral("TMessages"),
         [](QObject *owner, QWidget *) -> QObject * { return new TestMessages(owner); },
         {}});
}

QStringList TestDatabase::Engines()
{
    return Velmora::Test::EngineNames();
}

TestDatabase::TestDatabase(const QString &engine)
    : m_scratch(std::make_unique<Velmora::Test::ScratchDatabase>(engine))
{
    Velmora::DBConnection *connection = &m_scratch->Connection();
    Velmora::Reports::SetReportConnectionProvider(
        [connection] { return Velmora::Reports::ReportConnectionOf(*connection); });
}

TestDatabase::~TestDatabase()
{
    Velmora::Reports::SetReportConnectionProvider(nullptr);
}

QSqlDatabase TestDatabase::db() const
{
    return m_scratch->Connection().Database();
}

Velmora::DBConnection &TestDatabase::connection()
{
    return m_scratch->Connection();
}

void TestDatabase::exec(const QString &sql)
{
    m_scratch->Connection().Execute(sql);
}

QVariantList TestDatabase::row(const QString &sql)
{
    QSqlQuery q(db());
    if (!q.exec(sql) || !q.next())
        throw std::runtime_error((sql + QStringLiteral(": ") + q.lastError().text()).toStdString());
    QVariantList out;
    for (int i = 0; i < q.record().count(); ++i)
        out << q.value(i);
    return out;
}

void TestDatabase::insertTax(const EntryDocument &d)
{
    m_scratch->Connection().Execute(
        QStringLiteral("INSERT INTO DOCENTRADAIMP (CDEMPRESA, CDFILIAL, NRINSJURFORN, CDSERIE, "
                       "NRDOCUMENTO, CDIMPOSTONFE, VLBASE, PCALIQUOTA, VLIMPOSTO) VALUES "
                       "(?, ?, ?, ?, ?, ?, ?, ?, ?)"),
        {d.empresa, d.filial, d.fornecedor, d.serie, d.documento, d.imposto, d.base, d.aliquota,
         d.vlimposto});
}

void TestDatabase::addSupplier(const QString &key, const QString &name, const QString &kind)
{
    m_scratch->Connection().Execute(QStringLiteral("INSERT INTO FORNECEDOR (NRINSJURFORN, "
                                                   "NMRAZSOCFORN, IDTPIJURFORN) VALUES (?, ?, ?)"),
                                    {key, name, kind});
}

void TestDatabase::addDocuments(const QList<EntryDocument> &documents)
{
    Velmora::DBConnection &c = m_scratch->Connection();
    c.StartTransaction();
    try {
        for (const EntryDocument &d : documents) {
            c.Execute(QStringLiteral("INSERT INTO DOCENTRADA (CDEMPRESA, CDFILIAL, NRINSJURFORN, "
                                     "CDSERIE, NRDOCUMENTO, DTEMISSAO, DTENTRADA, CDINSCRICAO, "
                                     "VLCONTABIL) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                      {d.empresa, d.filial, d.fornecedor, d.serie, d.documento, d.emissao,
                       d.entrada, d.inscricao, d.valor});
            insertTax(d);
        }
        c.Commit();
    } catch (...) {
        c.Rollback();
        throw;
    }
}

void TestDatabase::loadFixture()
{
    Velmora::DBConnection &c = m_scratch->Connection();
    const auto insert = [&c](const char *table, const QVariantList &values) {
        QStringList marks;
        for (qsizetype i = 0; i < values.size(); ++i)
            marks << QStringLiteral("?");
        c.Execute(QStringLiteral("INSERT INTO %1 VALUES (%2)")
                      .arg(QLatin1String(table), marks.join(QLatin1Char(','))),
                  values);
    };
    insert("EMPRESA", {"01", "Velmora Matriz"});
    insert("EMPRESA", {"02", "Outra Empresa"});
    insert("IMPOSTONFE", {"01", "ICMS", "E"});
    insert("IMPOSTONFE", {"02", "PIS", "F"});
    insert("FORNECEDOR", {"11111111000111", "Alfa Comércio Ltda", "J"});
    insert("FORNECEDOR", {"22222222000122", "Beta Indústria S.A.", "J"});
    insert("FORNECEDOR", {"33333333333", "Carlos D'Ávila", "F"});
    insert("FORNECEDOR", {"44444444000144", "Delta Serviços", "J"});
    insert("FILIAL", {"1", "Filial Um", "01"});
    insert("FILIAL", {"10", "Filial Dez", "01"});
    insert("FILIAL", {"2", "Filial Dois", "01"});
    struct Doc
    {
        const char *empresa, *filial, *forn, *serie, *doc, *emissao, *entrada, *inscricao;
        double valor;
        const char *imposto;
        double base, aliquota, vlimposto;
        const char *imposto2;
    };
    const Doc docs[] = {
        {"01", "1", "11111111000111", "1", "000000001", "2024-01-02", "2024-01-03", "123456789",
         1000.00, "01", 1000.00, 18, 180.00, "02"},
        {"01", "10", "11111111000111", "1", "000000002", "2024-01-05", "2024-01-06", "123456789",
         2500.50, "01", 2500.50, 12, 300.06, nullptr},
        {"01", "2", "22222222000122", "U", "000000010", "2024-01-10", "2024-01-11", "123456789",
         333.33, "01", 333.33, 7, 23.33, nullptr},
        {"01", "10", "22222222000122", "1", "000000011", "2024-01-31", "2024-01-31", "987654321",
         150.00, "01", 150.00, 18, 27.00, nullptr},
        {"01", "1", "33333333333", "1", "000000020", "2024-01-15", "2024-01-16", "123456789", 99.99,
         "01", 99.99, 4, 4.00, nullptr},
        {"01", "1", "11111111000111", "1", "000000003", "2024-02-01", "2024-02-01", "123456789",
         777.00, "01", 777.00, 18, 139.86, nullptr},
        {"02", "1", "11111111000111", "1", "000000004", "2024-01-10", "2024-01-10", "555", 888.00,
         "01", 888.00, 18, 159.84, nullptr},
        {"01", "1", "22222222000122", "1", "000000012", "2024-01-12", "2024-01-12", "123456789",
         50.00, "02", 50.00, 1.65, 0.83, nullptr},
        {"01", "1", "33333333333", "1", "000000021", "2023-12-31", "2024-01-01", "123456789", 10.10,
         "01", 10.10, 18, 1.82, nullptr},
    };
    QList<EntryDocument> documents;
    QList<EntryDocument> secondTaxes;
    for (const Doc &d : docs) {
        EntryDocument e{d.empresa,
                        d.filial,
                        d.forn,
                        d.serie,
                        d.doc,
                        QDate::fromString(QLatin1String(d.emissao), Qt::ISODate),
                        QDate::fromString(QLatin1String(d.entrada), Qt::ISODate),
                        d.inscricao,
                        d.valor,
                        d.imposto,
                        d.base,
                        d.aliquota,
                        d.vlimposto};
        documents << e;
        if (d.imposto2) {
            e.imposto = QLatin1String(d.imposto2);
            e.aliquota = 1.65;
            e.vlimposto = std::round(d.base * 1.65) / 100;
            secondTaxes << e;
        }
    }
    addDocuments(documents);
    for (const EntryDocument &e : secondTaxes)
        insertTax(e);
}

QVariantList TestDatabase::expectedTotals(const QString &extraWhere)
{
    return row(
        QStringLiteral("SELECT COUNT(*), ROUND(SUM(D.VLCONTABIL), 2), ROUND(SUM(I.VLBASE), 2), "
                       "ROUND(SUM(I.VLIMPOSTO), 2) FROM DOCENTRADA D JOIN DOCENTRADAIMP I ON "
                       "I.CDEMPRESA = D.CDEMPRESA AND I.CDFILIAL = D.CDFILIAL AND I.NRINSJURFORN = "
                       "D.NRINSJURFORN AND I.CDSERIE = D.CDSERIE AND I.NRDOCUMENTO = D.NRDOCUMENTO "
                       "WHERE D.CDEMPRESA = '01' AND I.CDIMPOSTONFE = '01' AND D.DTENTRADA BETWEEN "
                       "'2024-01-01' AND '2024-01-31' %1")
            .arg(extraWhere));
}

LayoutDirectory::LayoutDirectory()
{
    QFile::copy(QStringLiteral(FIS014_LAYOUT), m_dir.filePath(QStringLiteral("FIS014.json")));
    QFile::setPermissions(m_dir.filePath(QStringLiteral("FIS014.json")),
                          QFile::ReadOwner | QFile::WriteOwner);
    Velmora::Settings s = Velmora::settings();
    s.reportsDirectory = m_dir.path();
    Velmora::installSettings(s);
}

LayoutDirectory::~LayoutDirectory()
{
    Velmora::Settings s = Velmora::settings();
    s.reportsDirectory.clear();
    Velmora::installSettings(s);
}

void LayoutDirectory::write(const QString &name, const QByteArray &content) const
{
    QFile f(file(name));
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw std::runtime_error("cannot write layout");
    f.write(content);
}
