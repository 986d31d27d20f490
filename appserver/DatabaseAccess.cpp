#include "DatabaseAccess.h"

#include "RequestLog.h"
#include "RpcError.h"
#include "rtl/Exceptions.h"

#include <QSqlError>

namespace AppServer {

namespace {
const char *const unavailable = "Banco de dados indisponível no momento; tente novamente.";
const char *const failed = "Falha ao consultar o banco de dados.";
} // namespace

WorkerConnection::WorkerConnection(const Velmora::Settings &settings)
    : m_connection(Velmora::ConnectionSettings::fromSettings(settings))
{}

bool WorkerConnection::reopen(QString *failure)
{
    m_statements.clear(); // prepared on the old connection
    try {
        m_connection.Reconnect();
        return true;
    } catch (const EDatabaseError &e) {
        if (failure)
            *failure = e.Message();
        return false;
    }
}

QSqlQuery &WorkerConnection::prepared(const QString &sql)
{
    auto &statement = m_statements[sql];
    if (!statement) {
        std::unique_ptr<QSqlQuery> query;
        try {
            query = std::make_unique<QSqlQuery>(m_connection.Database());
        } catch (const EDatabaseError &e) {
            throw DatabaseFailure(e.Message().toStdString());
        }
        query->setForwardOnly(true);
        if (!query->prepare(sql))
            throw DatabaseFailure(query->lastError().text().toStdString());
        statement = std::move(query);
    }
    return *statement;
}

WorkerConnection &DatabaseAccess::connectionOfThisThread()
{
    // Each worker thread keeps its connection until it ends.
    thread_local std::unique_ptr<WorkerConnection> connection;
    if (!connection)
        connection = std::make_unique<WorkerConnection>(m_settings);
    return *connection;
}

nlohmann::json DatabaseAccess::run(const Job &job)
{
    WorkerConnection &connection = connectionOfThisThread();
    QString failure;
    if (!connection.isOpen() && !connection.reopen(&failure))
        throw RpcError(RpcCode::DatabaseUnavailable, unavailable, failure.toStdString());
    try {
        return job(connection);
    } catch (const DatabaseFailure &first) {
        // The connection may have been lost under us (database restarted, network cut): reopen
        // it and repeat the job once. The jobs only read, so repeating one is harmless.
        if (!connection.reopen(&failure))
            throw RpcError(RpcCode::DatabaseUnavailable, unavailable,
                           std::string(first.what()) + " / " + failure.toStdString());
        qCInfo(lcServer).noquote() << "conexão ao banco reaberta após:" << first.what();
        try {
            return job(connection);
        } catch (const DatabaseFailure &again) {
            throw RpcError(RpcCode::DatabaseFailure, failed, again.what());
        }
    }
}

} // namespace AppServer
