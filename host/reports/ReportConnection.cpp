#include "ReportConnection.h"

namespace Velmora::Reports {

namespace {
std::function<ReportConnection()> &provider()
{
    static std::function<ReportConnection()> p;
    return p;
}
} // namespace

DatabaseKind KindOfDriver(const QString &driverName)
{
    if (driverName == QLatin1String("QIBASE"))
        return DatabaseKind::InterBase;
    if (driverName == QLatin1String("QOCI"))
        return DatabaseKind::Oracle;
    if (driverName == QLatin1String("QODBC"))
        return DatabaseKind::MSSQL;
    return DatabaseKind::Generic;
}

QString QueryKey(DatabaseKind kind)
{
    switch (kind) {
    case DatabaseKind::InterBase:
        return QStringLiteral("SQL_IB");
    case DatabaseKind::Oracle:
        return QStringLiteral("SQL_ORACLE");
    case DatabaseKind::MSSQL:
        return QStringLiteral("SQL_MSSQL");
    case DatabaseKind::Generic:
        break;
    }
    return QStringLiteral("SQL");
}

ReportConnection CurrentReportConnection()
{
    if (provider())
        return provider()();
    ReportConnection c;
    c.database = QSqlDatabase::database();
    c.kind = KindOfDriver(c.database.driverName());
    return c;
}

void SetReportConnectionProvider(std::function<ReportConnection()> p)
{
    provider() = std::move(p);
}

} // namespace Velmora::Reports
