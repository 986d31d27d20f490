#pragma once

#include "reports_global.h"

#include "data/DBConnection.h"
#include "data/DatabaseKind.h"

#include <QSqlDatabase>
#include <QString>
#include <functional>
#include <memory>

namespace Velmora::Reports {

// A layout carries a query text per database kind, as the framework's queries do.
using Velmora::DatabaseKind;

// The connection report queries run on and its kind.
struct ReportConnection
{
    QSqlDatabase database;
    DatabaseKind kind = DatabaseKind::Generic;
    // Where it goes, so that a report run on a thread of its own opens a connection of its
    // own (a Qt SQL connection belongs to the thread that made it).
    std::shared_ptr<const Velmora::ConnectionSettings> settings;
};

// The report's view of one of the framework's connections.
VELMORA_REPORTS_EXPORT ReportConnection ReportConnectionOf(Velmora::DBConnection &connection);

// A connection of a report run's own, opened on the thread that runs the report from the
// screen's connection's settings, read-only where the engine offers it, and closed when it
// goes. Raises EDatabaseError when it cannot connect.
class VELMORA_REPORTS_EXPORT WorkerConnection
{
public:
    explicit WorkerConnection(const ReportConnection &screen);
    ~WorkerConnection();
    WorkerConnection(const WorkerConnection &) = delete;
    WorkerConnection &operator=(const WorkerConnection &) = delete;

    const ReportConnection &connection() const { return m_connection; }

private:
    std::unique_ptr<Velmora::DBConnection> m_own;
    QString m_clone;
    ReportConnection m_connection;
};

// The kind that serves a Qt SQL driver: QIBASE is InterBase, QOCI Oracle, QODBC SQL Server,
// anything else the generic text.
VELMORA_REPORTS_EXPORT DatabaseKind KindOfDriver(const QString &driverName);
// The layout key of a kind's query text: "SQL", "SQL_IB", "SQL_ORACLE", "SQL_MSSQL".
VELMORA_REPORTS_EXPORT QString QueryKey(DatabaseKind kind);

// The connection in force. Until a provider is installed it is Qt's default connection, with
// the kind of its driver; the host points it at the shared database module.
VELMORA_REPORTS_EXPORT ReportConnection CurrentReportConnection();
// nullptr restores the default.
VELMORA_REPORTS_EXPORT void SetReportConnectionProvider(std::function<ReportConnection()> provider);

} // namespace Velmora::Reports
