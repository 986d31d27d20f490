#pragma once

#include <QStringList>
#include <QVariantList>
#include <QVector>

#include <memory>

namespace Velmora {
class DBConnection;
}

namespace Velmora::Db {

// Writes many rows into several tables fast, each engine its own way: SQLite's statement
// API, PostgreSQL's COPY, Firebird's client API (other engines through Qt SQL). Values are
// bound or streamed as data, never written into a statement. Rows wait in memory and are
// written table by table in the order the tables were added, so parents come before the
// children that refer to them. Values: QString, QDate, numbers, or an invalid QVariant for
// null.
class BulkLoad
{
public:
    // Starts a transaction on the connection.
    explicit BulkLoad(DBConnection &db);
    // Undoes what was not committed.
    ~BulkLoad();
    BulkLoad(const BulkLoad &) = delete;
    BulkLoad &operator=(const BulkLoad &) = delete;

    int AddTable(const QString &table, const QStringList &columns);
    void Add(int table, const QVariantList &row);
    // Writes what waits and commits; a new transaction starts unless it is the last.
    void Commit(bool last = false);
    qint64 Written(int table) const;

    class Writer;
    class Transaction;

private:
    void writeAll();

    struct Table
    {
        QString name;
        QStringList columns;
        QVector<QVariantList> pending;
        qint64 written = 0;
        std::unique_ptr<Writer> writer;
    };
    DBConnection &m_db;
    std::vector<Table> m_tables;
    qint64 m_waiting = 0;
    bool m_open = false;
    std::unique_ptr<Transaction> m_transaction;
};

} // namespace Velmora::Db
