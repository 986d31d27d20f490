#pragma once

#include "reports_global.h"

#include <QSqlDatabase>
#include <QString>
#include <functional>

namespace Velmora::Reports {

// The database kinds a layout may carry a query text for, as the framework's queries do.
enum class DatabaseKind { Generic, InterBase, Oracle, MSSQL };

// The connection report queries run on and its kind.
struct ReportConnection
{
    QSqlDatabase database;
    DatabaseKind kind = DatabaseKind::Generic;
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
