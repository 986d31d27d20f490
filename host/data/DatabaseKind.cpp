#include "DatabaseKind.h"

namespace Velmora {

Engine EngineOfDriver(const QString &driver)
{
    const QString d = driver.trimmed().toUpper();
    if (d == QLatin1String("QSQLITE"))
        return Engine::SQLite;
    if (d == QLatin1String("QPSQL"))
        return Engine::PostgreSQL;
    if (d == QLatin1String("QIBASE"))
        return Engine::Firebird;
    if (d == QLatin1String("QODBC"))
        return Engine::MSSQL;
    if (d == QLatin1String("QOCI"))
        return Engine::Oracle;
    return Engine::Unknown;
}

DatabaseKind KindOfEngine(Engine engine)
{
    switch (engine) {
    case Engine::Firebird:
        return DatabaseKind::InterBase;
    case Engine::MSSQL:
        return DatabaseKind::MSSQL;
    case Engine::Oracle:
        return DatabaseKind::Oracle;
    case Engine::SQLite:
    case Engine::PostgreSQL:
    case Engine::Unknown:
        break;
    }
    return DatabaseKind::Generic;
}

QString EngineName(Engine engine)
{
    switch (engine) {
    case Engine::SQLite:
        return QStringLiteral("SQLite");
    case Engine::PostgreSQL:
        return QStringLiteral("PostgreSQL");
    case Engine::Firebird:
        return QStringLiteral("Firebird");
    case Engine::MSSQL:
        return QStringLiteral("SQL Server");
    case Engine::Oracle:
        return QStringLiteral("Oracle");
    case Engine::Unknown:
        break;
    }
    return QStringLiteral("desconhecido");
}

} // namespace Velmora
