#pragma once

#include <QSqlQuery>
#include <QString>
#include <QVariantList>

namespace Velmora {
class DBConnection;
}

namespace AppServer::Jobs {

// One statement of the queue, its values bound (a QDateTime as the engine keeps timestamps).
// A failure raises EDatabaseError saying what was being done, or that the queue's tables are
// missing.
class JobStatement
{
public:
    JobStatement(Velmora::DBConnection &db, const QString &what);

    QSqlQuery &run(const QString &sql, const QVariantList &values = {});
    // Like run, but false where another connection changed or holds the row (Firebird's
    // update conflict, a PostgreSQL deadlock): a race the caller lost, not a failure.
    bool runUnlessConflict(const QString &sql, const QVariantList &values = {});
    int affected() const { return m_query.numRowsAffected(); }

private:
    bool execute(const QString &sql, const QVariantList &values);
    [[noreturn]] void fail();

    Velmora::DBConnection &m_db;
    QString m_what;
    QSqlQuery m_query;
};

} // namespace AppServer::Jobs
