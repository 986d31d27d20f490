#include "ServerDatabase.h"

#include <QFileInfo>
#include <QSqlError>

namespace AppServer {

QSqlDatabase openServerDatabase(const Velmora::Settings &settings, const QString &connectionName,
                                QString *failure)
{
    QSqlDatabase db = QSqlDatabase::contains(connectionName)
                          ? QSqlDatabase::database(connectionName, false)
                          : QSqlDatabase::addDatabase(settings.dbDriver, connectionName);
    db.close();
    QString why;
    if (!db.isValid()) {
        why = QStringLiteral("driver %1 indisponível").arg(settings.dbDriver);
    } else if (settings.dbDriver == QLatin1String("QSQLITE")) {
        // SQLite would create a missing file empty: a moved or lost database must fail instead.
        if (!QFileInfo(settings.dbDatabase).isFile())
            why = QStringLiteral("arquivo %1 não encontrado").arg(settings.dbDatabase);
        db.setDatabaseName(settings.dbDatabase);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
    } else {
        // Firebird: a file path (embedded) or a path on Host; the driver composes host/port:path.
        db.setDatabaseName(settings.dbDatabase);
        db.setHostName(settings.dbHost);
        if (settings.dbPort > 0)
            db.setPort(settings.dbPort);
        const bool firebird = settings.dbDriver == QLatin1String("QIBASE");
        db.setUserName(firebird && settings.dbUser.isEmpty() ? QStringLiteral("SYSDBA")
                                                             : settings.dbUser);
        db.setPassword(settings.dbPassword);
        if (settings.dbDriver == QLatin1String("QPSQL"))
            db.setConnectOptions(QStringLiteral("connect_timeout=5"));
    }
    if (why.isEmpty() && !db.open())
        why = db.lastError().text();
    if (failure)
        *failure = why;
    return db;
}

} // namespace AppServer
