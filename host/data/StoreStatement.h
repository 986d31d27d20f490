#pragma once

#include "data_global.h"

#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVariantList>

namespace Velmora {

class DBConnection;

// The tables a store of the shared database keeps its rows in (saved parameter sets, the
// report queue), which `velmora-db upgrade` adds to an older database.
struct VELMORA_DATA_EXPORT StoreTables
{
    QStringList names;
    QString missing; // what a database lacking them is told; "%1" names the database

    bool presentIn(DBConnection &db) const;
    QString missingIn(const DBConnection &db) const;
};

// One statement of such a store, its values bound (a QDateTime as the engine keeps
// timestamps). A failure raises EDatabaseError saying what was being done, or that the store's
// tables are missing.
class VELMORA_DATA_EXPORT StoreStatement
{
public:
    StoreStatement(DBConnection &db, const StoreTables &tables, const QString &what);

    QSqlQuery &run(const QString &sql, const QVariantList &values = {});
    // Like run, but false where another connection changed or holds the row (Firebird's
    // update conflict, a PostgreSQL deadlock): a race the caller lost, not a failure.
    bool runUnlessConflict(const QString &sql, const QVariantList &values = {});
    int affected() const { return m_query.numRowsAffected(); }

private:
    bool execute(const QString &sql, const QVariantList &values);
    [[noreturn]] void fail();

    DBConnection &m_db;
    const StoreTables &m_tables;
    QString m_what;
    QSqlQuery m_query;
};

} // namespace Velmora
