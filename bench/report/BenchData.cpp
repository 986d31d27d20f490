#include "BenchData.h"

#include <QByteArray>
#include <QFile>

#include <sqlite3.h>
#include <stdexcept>
#include <string>

namespace {
void exec(sqlite3 *db, const char *sql)
{
    char *error = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &error) != SQLITE_OK) {
        const std::string what = error ? error : "sqlite error";
        sqlite3_free(error);
        throw std::runtime_error(what);
    }
}

sqlite3_stmt *prepare(sqlite3 *db, const char *sql)
{
    sqlite3_stmt *stmt = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) != SQLITE_OK)
        throw std::runtime_error(sqlite3_errmsg(db));
    return stmt;
}

void text(sqlite3_stmt *s, int i, const QByteArray &v)
{
    sqlite3_bind_text(s, i, v.constData(), int(v.size()), SQLITE_TRANSIENT);
}

void step(sqlite3_stmt *s)
{
    if (sqlite3_step(s) != SQLITE_DONE)
        throw std::runtime_error("insert failed");
    sqlite3_reset(s);
}
} // namespace

void CreateBenchDatabase(const QString &path, int documents)
{
    QFile::remove(path);
    sqlite3 *db = nullptr;
    if (sqlite3_open(QFile::encodeName(path).constData(), &db) != SQLITE_OK)
        throw std::runtime_error("cannot create the database");
    exec(db, "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF;");
    // The heading's lookups read the company and the tax.
    exec(db,
         "CREATE TABLE FORNECEDOR (NRINSJURFORN VARCHAR(14) PRIMARY KEY, NMRAZSOCFORN VARCHAR(40), "
         "IDTPIJURFORN VARCHAR(1));"
         "CREATE TABLE FILIAL (CDFILIAL VARCHAR(8) PRIMARY KEY, NMFILIAL VARCHAR(30), CDEMPRESA "
         "VARCHAR(2));"
         "CREATE TABLE EMPRESA (CDEMPRESA VARCHAR(2) PRIMARY KEY, NMEMPRESA VARCHAR(40));"
         "INSERT INTO EMPRESA VALUES ('01', 'Velmora Indústria e Comércio S.A.');"
         "CREATE TABLE IMPOSTONFE (CDIMPOSTONFE VARCHAR(2) PRIMARY KEY, SGIMPOSTONFE VARCHAR(10), "
         "IDORGARRECADNFE VARCHAR(1));"
         "INSERT INTO IMPOSTONFE VALUES ('01', 'ICMS', 'E'), ('02', 'PIS', 'F');"
         "CREATE TABLE DOCENTRADA (CDEMPRESA VARCHAR(2), CDFILIAL VARCHAR(8), NRINSJURFORN "
         "VARCHAR(14), "
         "CDSERIE VARCHAR(3), NRDOCUMENTO VARCHAR(9), DTEMISSAO DATE, DTENTRADA DATE, CDINSCRICAO "
         "VARCHAR(16), VLCONTABIL NUMERIC(15,2), PRIMARY KEY (CDEMPRESA, CDFILIAL, NRINSJURFORN, "
         "CDSERIE, NRDOCUMENTO));"
         "CREATE TABLE DOCENTRADAIMP (CDEMPRESA VARCHAR(2), CDFILIAL VARCHAR(8), NRINSJURFORN "
         "VARCHAR(14), CDSERIE VARCHAR(3), NRDOCUMENTO VARCHAR(9), CDIMPOSTONFE VARCHAR(2), VLBASE "
         "NUMERIC(15,2), PCALIQUOTA NUMERIC(7,4), VLIMPOSTO NUMERIC(15,2), PRIMARY KEY (CDEMPRESA, "
         "CDFILIAL, NRINSJURFORN, CDSERIE, NRDOCUMENTO, CDIMPOSTONFE));");
    exec(db, "BEGIN");
    const int suppliers = 2000, branches = 20;
    sqlite3_stmt *forn = prepare(db, "INSERT INTO FORNECEDOR VALUES (?, ?, 'J')");
    for (int i = 0; i < suppliers; ++i) {
        text(forn, 1, QByteArray::number(10000000000000LL + qint64(i) * 7919));
        text(forn, 2, "Fornecedor " + QByteArray::number((i * 7) % suppliers) + " Comercio Ltda");
        step(forn);
    }
    sqlite3_stmt *fil = prepare(db, "INSERT INTO FILIAL VALUES (?, ?, '01')");
    for (int i = 1; i <= branches; ++i) {
        text(fil, 1, QByteArray::number(i));
        text(fil, 2, "Filial " + QByteArray::number(i));
        step(fil);
    }
    sqlite3_stmt *doc =
        prepare(db, "INSERT INTO DOCENTRADA VALUES ('01', ?, ?, '1', ?, ?, ?, '123456789', ?)");
    sqlite3_stmt *imp =
        prepare(db, "INSERT INTO DOCENTRADAIMP VALUES ('01', ?, ?, '1', ?, ?, ?, ?, ?)");
    quint32 seed = 12345;
    auto next = [&seed] { return seed = seed * 1103515245u + 12345u; };
    char date[16];
    for (int i = 0; i < documents; ++i) {
        const QByteArray branch = QByteArray::number(1 + next() % branches);
        const QByteArray supplier =
            QByteArray::number(10000000000000LL + qint64(next() % suppliers) * 7919);
        const QByteArray number = QByteArray::number(i).rightJustified(9, '0');
        const int day = int(next() % 365);
        const int month = 1 + day / 31 % 12, dom = 1 + day % 28;
        snprintf(date, sizeof date, "2024-%02d-%02d", month, dom);
        const double value = double(100 + next() % 9999900) / 100.0;
        text(doc, 1, branch);
        text(doc, 2, supplier);
        text(doc, 3, number);
        text(doc, 4, date);
        text(doc, 5, date);
        sqlite3_bind_double(doc, 6, value);
        step(doc);
        for (const char *tax : {"01", "02"}) {
            if (tax[1] == '2' && i % 3 != 0)
                continue;
            const double rate = tax[1] == '1' ? 18.0 : 1.65;
            text(imp, 1, branch);
            text(imp, 2, supplier);
            text(imp, 3, number);
            text(imp, 4, tax);
            sqlite3_bind_double(imp, 5, value);
            sqlite3_bind_double(imp, 6, rate);
            sqlite3_bind_double(imp, 7, qRound64(value * rate) / 100.0);
            step(imp);
        }
    }
    sqlite3_finalize(forn);
    sqlite3_finalize(fil);
    sqlite3_finalize(doc);
    sqlite3_finalize(imp);
    exec(db, "COMMIT");
    // An index in the report's order lets the query stream its first rows at once instead of
    // sorting the whole period first (no statistics: with them SQLite 3.40 prefers a sort).
    exec(db, "CREATE INDEX IX_DOCENTRADA_FORNECEDOR ON DOCENTRADA (CDEMPRESA, NRINSJURFORN, "
             "DTENTRADA, NRDOCUMENTO, CDSERIE, CDFILIAL)");
    sqlite3_close(db);
}
