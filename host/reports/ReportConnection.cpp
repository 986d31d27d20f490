#include "ReportConnection.h"

#include "rtl/Exceptions.h"

#include <QAtomicInt>
#include <QSqlError>
#include <QSqlQuery>

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
    return KindOfEngine(EngineOfDriver(driverName));
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

ReportConnection ReportConnectionOf(Velmora::DBConnection &connection)
{
    ReportConnection report;
    report.database = connection.Database();
    report.kind = connection.Kind();
    report.settings = std::make_shared<const Velmora::ConnectionSettings>(connection.Settings());
    return report;
}

WorkerConnection::WorkerConnection(const ReportConnection &screen)
{
    m_connection.kind = screen.kind;
    if (screen.settings) {
        m_own = std::make_unique<Velmora::DBConnection>(*screen.settings);
        m_connection.database = m_own->Database();
        m_connection.settings = screen.settings;
    } else {
        // A connection made outside the framework: a copy of it, by name.
        static QAtomicInt serial;
        m_clone = QStringLiteral("velmora-relatorio-%1").arg(serial.fetchAndAddRelaxed(1));
        m_connection.database =
            QSqlDatabase::cloneDatabase(screen.database.connectionName(), m_clone);
        if (!m_connection.database.open())
            throw EDatabaseError(QStringLiteral("Não foi possível abrir a conexão do relatório: %1")
                                     .arg(m_connection.database.lastError().text()));
    }
    // A report only reads.
    QSqlQuery q(m_connection.database);
    const QString driver = m_connection.database.driverName();
    if (driver == QLatin1String("QSQLITE")) {
        q.exec(QStringLiteral("PRAGMA query_only = ON"));
        // A report walks the documents in supplier order and fetches each row and its tax
        // from all over the file: mapped, those pages are read without a system call each.
        // The cap keeps the report's resident memory within bounds on large files.
        q.exec(QStringLiteral("PRAGMA mmap_size = 134217728"));
    } else if (driver == QLatin1String("QPSQL"))
        q.exec(QStringLiteral("SET SESSION CHARACTERISTICS AS TRANSACTION READ ONLY"));
}

WorkerConnection::~WorkerConnection()
{
    m_connection.database = QSqlDatabase();
    m_own.reset();
    if (!m_clone.isEmpty())
        QSqlDatabase::removeDatabase(m_clone);
}

} // namespace Velmora::Reports
