#pragma once

#include "ReportFiles.h"
#include "TestDatabases.h" // also: readable QStrings in test failures

#include <QDate>
#include <QMap>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariant>
#include <QVariantList>

#include <memory>
#include <ostream>

// Registers a stand-in for the message table class under "TMessages" when the framework
// offers none (the tests only need its Lines).
void RegisterTestMessages();

// An entry document and its tax row, as the report reads them.
struct EntryDocument
{
    QString empresa, filial, fornecedor, serie, documento;
    QDate emissao, entrada;
    QString inscricao;
    double valor = 0;
    QString imposto;
    double base = 0, aliquota = 0, vlimposto = 0;
};

// A throw-away database with the shared schema on one engine (sqlite, postgresql, firebird)
// and the report connection pointed at it while it lives.
class TestDatabase
{
public:
    explicit TestDatabase(const QString &engine = QStringLiteral("sqlite"));
    ~TestDatabase();
    TestDatabase(const TestDatabase &) = delete;
    TestDatabase &operator=(const TestDatabase &) = delete;

    // Every engine the database tests run on.
    static QStringList Engines();

    QSqlDatabase db() const;
    // The connection the report connection is taken from (the screen's).
    Velmora::DBConnection &connection();
    void exec(const QString &sql);
    QVariantList row(const QString &sql);
    // Companies, branches (1, 10 and 2), suppliers, taxes 01 and 02 and nine documents.
    void loadFixture();
    void addSupplier(const QString &key, const QString &name, const QString &kind);
    // Inserts the documents and their tax rows in one transaction.
    void addDocuments(const QList<EntryDocument> &documents);
    // Sums of a filtered set of entry documents of tax 01, company 01, January 2024, computed
    // directly in SQL: count, accounting value, tax base, tax value.
    QVariantList expectedTotals(const QString &extraWhere);

private:
    void insertTax(const EntryDocument &d);

    std::unique_ptr<Velmora::Test::ScratchDatabase> m_scratch;
};

// A reports directory holding the FIS014 layout, installed in the settings while it lives.
class LayoutDirectory
{
public:
    LayoutDirectory();
    ~LayoutDirectory();
    QString path() const { return m_dir.path(); }
    QString file(const QString &name) const { return m_dir.filePath(name); }
    void write(const QString &name, const QByteArray &content) const;

private:
    QTemporaryDir m_dir;
};
