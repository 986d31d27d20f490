#include "BackgroundFetch_p.h"

#include "StatementInterrupt.h"
#include "Statement_p.h"
#include "rtl/Exceptions.h"

#include <QSqlDatabase>
#include <QThread>

#include <condition_variable>
#include <deque>
#include <mutex>

namespace Velmora::Internal {

namespace {

// Rows per packet, and how many the reader may hold that the dataset has not taken: enough
// to keep a list scrolling, little enough that an abandoned list costs nothing to stop.
constexpr int PacketRows = 4096;
constexpr qsizetype RowsAhead = 16 * PacketRows;

// What the reading thread and the dataset share.
struct Feed
{
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<QVector<QVector<QVariant>>> packets;
    qsizetype pending = 0;
    bool ended = false;
    bool gaveRows = false;
    bool cancelled = false;
    QString error;
    QSqlDatabase running; // set while a statement runs, so a cancel can stop it
};

void readRows(const std::shared_ptr<Feed> &feed, const BackgroundRead &read)
{
    QString error;
    bool ok = false;
    try {
        DBConnection connection(read.settings);
        connection.Open();
        std::unique_ptr<Statement> statement =
            Prepare(connection, read.text, read.exactDecimals, error);
        bool cancelled = false;
        if (statement) {
            // A cancel that came while connecting stops the read before it starts; one that
            // comes later interrupts the statement.
            std::lock_guard lock(feed->mutex);
            cancelled = feed->cancelled;
            if (!cancelled)
                feed->running = connection.Database();
        }
        if (statement && !cancelled) {
            QVector<TDataSet::Column> columns;
            QVector<QVector<QVariant>> rows;
            bool done = false;
            ok = statement->Start(read.values, columns, error);
            if (ok && read.skip > 0) {
                ok = statement->Fetch(read.skip, rows, done, error);
                rows.clear();
            }
            while (ok && !done) {
                {
                    std::unique_lock lock(feed->mutex);
                    feed->changed.wait(
                        lock, [&] { return feed->cancelled || feed->pending < RowsAhead; });
                    if (feed->cancelled)
                        break;
                }
                rows.reserve(PacketRows);
                ok = statement->Fetch(PacketRows, rows, done, error);
                if (rows.isEmpty())
                    continue;
                std::lock_guard lock(feed->mutex);
                feed->pending += rows.size();
                feed->packets.push_back(std::move(rows));
                feed->gaveRows = true;
                rows = {};
                feed->changed.notify_all();
            }
            if (ok && !done)
                statement->Finish();
            std::lock_guard lock(feed->mutex);
            feed->running = QSqlDatabase();
        }
        // The statement lets go of the connection before the connection closes.
        statement.reset();
    } catch (const Exception &e) {
        ok = false;
        error = e.Message();
    }
    std::lock_guard lock(feed->mutex);
    feed->ended = true;
    if (!ok && !feed->cancelled)
        feed->error = QStringLiteral("Erro ao ler o restante da consulta '%1' no banco de dados "
                                     "%2: %3")
                          .arg(read.name, read.settings.describe(), error);
    feed->changed.notify_all();
}

class BackgroundSource : public TDataSet::RowSource
{
public:
    explicit BackgroundSource(BackgroundRead read)
        : m_feed(std::make_shared<Feed>()), m_readHere(std::move(read.readHere))
    {
        // A Qt thread: the connection's objects may want an event dispatcher.
        m_thread.reset(QThread::create(
            [feed = m_feed, read = std::move(read)]() mutable { readRows(feed, read); }));
        m_thread->start();
    }

    ~BackgroundSource() override
    {
        Cancel();
        m_thread->wait();
    }

    bool Take(QVector<QVector<QVariant>> &rows, bool wait) override
    {
        std::unique_lock lock(m_feed->mutex);
        if (wait)
            m_feed->changed.wait(lock, [&] { return !m_feed->packets.empty() || m_feed->ended; });
        if (!m_feed->packets.empty()) {
            rows = std::move(m_feed->packets.front());
            m_feed->packets.pop_front();
            m_feed->pending -= rows.size();
            m_feed->changed.notify_all();
            return true;
        }
        if (!m_feed->ended)
            return true;
        if (m_feed->error.isEmpty())
            return false;
        // A reader that could not even start (no connection to spare, say) leaves the rows
        // to the connection that gave the first ones.
        if (!m_feed->gaveRows && m_readHere) {
            const QString failure = m_feed->error;
            lock.unlock();
            QString error;
            const auto readHere = std::exchange(m_readHere, nullptr);
            if (readHere(rows, error))
                return false;
            throw EDatabaseError(error.isEmpty() ? failure : error);
        }
        throw EDatabaseError(m_feed->error);
    }

    void Cancel() override
    {
        std::lock_guard lock(m_feed->mutex);
        if (m_feed->cancelled)
            return;
        m_feed->cancelled = true;
        if (m_feed->running.isValid())
            InterruptStatement(m_feed->running);
        m_feed->changed.notify_all();
    }

private:
    std::shared_ptr<Feed> m_feed;
    std::function<bool(QVector<QVector<QVariant>> &, QString &)> m_readHere;
    std::unique_ptr<QThread> m_thread;
};

} // namespace

std::unique_ptr<TDataSet::RowSource> ReadInBackground(BackgroundRead read)
{
    return std::make_unique<BackgroundSource>(std::move(read));
}

} // namespace Velmora::Internal
