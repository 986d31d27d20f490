#include "DatabaseWorkers.h"

#include "RequestLog.h"
#include "RpcError.h"
#include "ServerDatabase.h"

namespace AppServer {

namespace {
const char *const unavailable = "Banco de dados indisponível no momento; tente novamente.";
const char *const failed = "Falha ao consultar o banco de dados.";
} // namespace

DatabaseWorkers::DatabaseWorkers(const Velmora::Settings &settings, int count,
                                 std::chrono::milliseconds waitLimit)
    : m_settings(settings), m_waitLimit(waitLimit)
{
    for (int i = 0; i < count; ++i)
        m_threads.emplace_back(&DatabaseWorkers::work, this, i);
}

DatabaseWorkers::~DatabaseWorkers()
{
    {
        std::lock_guard lock(m_lock);
        m_stopping = true;
    }
    m_wake.notify_all();
    for (std::thread &t : m_threads)
        t.join();
}

nlohmann::json DatabaseWorkers::run(Job job)
{
    auto answer = std::make_shared<std::promise<nlohmann::json>>();
    std::future<nlohmann::json> result = answer->get_future();
    {
        std::lock_guard lock(m_lock);
        m_tasks.push_back({std::move(job), std::move(answer)});
    }
    m_wake.notify_one();
    // The task keeps its own promise, so a worker that finishes after we gave up is harmless.
    if (result.wait_for(m_waitLimit) != std::future_status::ready)
        throw RpcError(RpcCode::Timeout, "O banco de dados não respondeu a tempo; tente novamente.",
                       "no worker finished within the wait limit");
    return result.get();
}

void DatabaseWorkers::work(int index)
{
    const QString name = QStringLiteral("appserver-worker-%1").arg(index);
    {
        QString failure;
        QSqlDatabase db = openServerDatabase(m_settings, name, &failure);
        if (!failure.isEmpty())
            qCWarning(lcServer).noquote()
                << "conexão" << name << "não abriu; tentará de novo a cada chamada:" << failure;
        for (;;) {
            Task task;
            {
                std::unique_lock lock(m_lock);
                m_wake.wait(lock, [this] { return m_stopping || !m_tasks.empty(); });
                if (m_stopping && m_tasks.empty())
                    break;
                task = std::move(m_tasks.front());
                m_tasks.pop_front();
            }
            try {
                task.answer->set_value(execute(db, name, task.job));
            } catch (...) {
                task.answer->set_exception(std::current_exception());
            }
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

nlohmann::json DatabaseWorkers::execute(QSqlDatabase &db, const QString &name, const Job &job)
{
    QString failure;
    if (!db.isOpen()) {
        db = openServerDatabase(m_settings, name, &failure);
        if (!db.isOpen())
            throw RpcError(RpcCode::DatabaseUnavailable, unavailable, failure.toStdString());
        qCInfo(lcServer).noquote() << "conexão" << name << "reaberta";
    }
    try {
        return job(db);
    } catch (const DatabaseFailure &first) {
        // The connection may have been lost under us (database restarted, network cut): reopen
        // it and repeat the job once. The jobs only read, so repeating one is harmless.
        db = openServerDatabase(m_settings, name, &failure);
        if (!db.isOpen())
            throw RpcError(RpcCode::DatabaseUnavailable, unavailable,
                           std::string(first.what()) + " / " + failure.toStdString());
        try {
            return job(db);
        } catch (const DatabaseFailure &again) {
            throw RpcError(RpcCode::DatabaseFailure, failed, again.what());
        }
    }
}

} // namespace AppServer
