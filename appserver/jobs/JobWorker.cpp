#include "JobWorker.h"

#include "JobQueue.h"
#include "JobStatement.h"
#include "ReportJobRunner.h"

#include "data/DBConnection.h"
#include "rtl/Exceptions.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QSysInfo>

Q_LOGGING_CATEGORY(lcJobs, "velmora.jobs")

namespace AppServer::Jobs {

namespace {

// How often an idle worker looks at the queue, and how long it waits after the database
// failed it.
constexpr int idleMs = 1000;
constexpr int troubleMs = 10000;
// A database without the queue's tables stays so until someone upgrades it.
constexpr int noTablesMs = 5 * 60 * 1000;

// The trouble last logged by any worker of the process: the workers of one server share the
// database, and one line says it for all of them.
std::mutex troubleLock;
QString lastTrouble;

// Logs the trouble unless it is the one said last.
void tell(const QString &what, const QString &trouble)
{
    const std::lock_guard lock(troubleLock);
    if (trouble == lastTrouble)
        return;
    lastTrouble = trouble;
    qCWarning(lcJobs).noquote() << what << trouble;
}

void troubleOver()
{
    const std::lock_guard lock(troubleLock);
    lastTrouble.clear();
}

} // namespace

QString JobWorker::processName()
{
    return QStringLiteral("%1:%2")
        .arg(QSysInfo::machineHostName())
        .arg(QCoreApplication::applicationPid());
}

JobWorker::JobWorker(const Velmora::Settings &settings, QString name)
    : m_settings(settings), m_name(name.isEmpty() ? processName() : std::move(name))
{}

void JobWorker::addChore(Chore chore)
{
    m_chores.push_back(std::move(chore));
}

JobWorker::~JobWorker()
{
    stop();
}

void JobWorker::start()
{
    m_stopping = false;
    m_thread = std::thread([this] { work(); });
}

void JobWorker::askToStop()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
}

void JobWorker::stop()
{
    askToStop();
    if (m_thread.joinable())
        m_thread.join();
}

void JobWorker::pause(int ms)
{
    std::unique_lock lock(m_mutex);
    m_wake.wait_for(lock, std::chrono::milliseconds(ms), [this] { return m_stopping.load(); });
}

void JobWorker::work()
{
    Velmora::DBConnection db(Velmora::ConnectionSettings::fromSettings(m_settings));
    JobQueue queue(&db);
    const ReportJobRunner runner(m_settings);
    using Clock = std::chrono::steady_clock;
    std::vector<Clock::time_point> due(m_chores.size(), Clock::now());
    bool troubled = false;
    while (!m_stopping) {
        std::optional<ReportJob> claimed;
        try {
            claimed = queue.claim(m_name, m_settings.jobLeaseSeconds);
            if (troubled)
                troubleOver();
            troubled = false;
        } catch (const Exception &e) {
            // Said once until it changes: a database that is away stays away for a while, and
            // one without the queue's tables until it is upgraded.
            tell(QStringLiteral("fila de relatórios:"), e.Message());
            troubled = true;
            db.Close();
            pause(e.Message() == queueTables.missingIn(db) ? noTablesMs : troubleMs);
            continue;
        }
        for (std::size_t i = 0; i < m_chores.size() && !m_stopping; ++i) {
            if (Clock::now() < due[i])
                continue;
            due[i] = Clock::now() + m_chores[i].every;
            try {
                m_chores[i].run(queue, QDateTime::currentDateTime());
            } catch (const Exception &e) {
                qCWarning(lcJobs).noquote() << m_chores[i].name << e.Message();
            }
        }
        if (!claimed) {
            pause(idleMs);
            continue;
        }
        ReportJob job = *claimed;
        qCInfo(lcJobs).noquote() << "relatório" << job.reportCode << job.id << "de" << job.owner;
        // Each progress renews the hold; a lost hold or a cancel stops the run.
        bool held = true;
        const bool made = runner.run(job, [&](int percent) {
            if (m_stopping)
                return false;
            try {
                held = queue.progress(job.id, m_name, percent) &&
                       queue.renew(job.id, m_name, m_settings.jobLeaseSeconds);
            } catch (const Exception &e) {
                qCWarning(lcJobs).noquote() << "relatório" << job.id << e.Message();
                held = false;
            }
            return held;
        });
        try {
            // A job taken over at the last moment is the other server's to record; its file has
            // the same name, so this one's is left where it is.
            if (made) {
                queue.complete(job.id, m_name,
                               {job.archivePath, job.sha256, job.bytes, job.pages, job.documents});
            } else if (!made && queue.cancelAsked(job.id)) {
                queue.cancelled(job.id, m_name);
            } else if (!made && !m_stopping && held) {
                queue.fail(job.id, m_name, job.error);
            }
        } catch (const Exception &e) {
            qCWarning(lcJobs).noquote() << "relatório" << job.id << e.Message();
        }
        qCInfo(lcJobs).noquote() << "relatório" << job.id
                                 << (made ? QStringLiteral("pronto") : job.error);
    }
}

} // namespace AppServer::Jobs
