#include "ServerWait.h"

#include "Dispatch.h"
#include "Services.h"
#include "rtl/Exceptions.h"

#include <QApplication>
#include <QEventLoop>
#include <QLoggingCategory>
#include <QThread>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <exception>
#include <memory>
#include <mutex>
#include <thread>

Q_LOGGING_CATEGORY(lcServerWait, "velmora.serverwait")

namespace Velmora {

// What the worker and the GUI thread share. The worker may outlive the wait (a call given
// up), so it holds the job, never the wait itself.
struct ServerWait::Job
{
    std::function<void()> exchange;
    std::exception_ptr error;
    std::mutex mutex;
    ServerWait *waiter = nullptr; // under mutex; null once nobody waits any more
};

namespace {

// Joins a worker that has ended, or leaves one that was given up to end on its own; either
// way the worker no longer reaches the wait.
class WorkerGuard
{
public:
    WorkerGuard(std::thread &thread, std::mutex &mutex, ServerWait *&waiter)
        : m_thread(thread), m_mutex(mutex), m_waiter(waiter)
    {}
    ~WorkerGuard()
    {
        abandon();
        if (joined)
            m_thread.join();
        else
            m_thread.detach();
    }
    WorkerGuard(const WorkerGuard &) = delete;
    WorkerGuard &operator=(const WorkerGuard &) = delete;

    // From now on the worker ends without telling anyone.
    void abandon()
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_waiter = nullptr;
    }

    bool joined = false;

private:
    std::thread &m_thread;
    std::mutex &m_mutex;
    ServerWait *&m_waiter;
};

bool isUserInput(QEvent::Type type)
{
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Shortcut:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
        return true;
    default:
        return false;
    }
}

} // namespace

ServerWait::ServerWait()
{
    auto *app = qobject_cast<QApplication *>(QCoreApplication::instance());
    m_active = app && QThread::currentThread() == app->thread();
    if (!m_active)
        return;
    m_clock.start();
    m_modalAtStart = QApplication::activeModalWidget();
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    app->installEventFilter(this);
}

ServerWait::~ServerWait()
{
    if (!m_active)
        return;
    qApp->removeEventFilter(this);
    QGuiApplication::restoreOverrideCursor();
}

QString ServerWait::text()
{
    return QStringLiteral("Consultando o servidor de aplicação…");
}

void ServerWait::run(const std::function<void()> &exchange, const std::function<void()> &abort)
{
    if (!m_active) {
        exchange();
        return;
    }
    auto job = std::make_shared<Job>();
    job->exchange = exchange;
    job->waiter = this;
    m_finished = false;
    {
        std::thread worker([job] {
            try {
                job->exchange();
            } catch (...) {
                job->error = std::current_exception();
            }
            const std::lock_guard<std::mutex> lock(job->mutex);
            if (job->waiter)
                QMetaObject::invokeMethod(job->waiter, &ServerWait::ended, Qt::QueuedConnection);
        });
        WorkerGuard guard(worker, job->mutex, job->waiter);
        if (!waitFor()) {
            guard.abandon();
            if (abort)
                abort();
            m_finished = true;
            throw EAbort();
        }
        // The worker posted its end under the job's lock: nothing is left for it but to return.
        guard.joined = true;
    }
    if (job->error)
        std::rethrow_exception(job->error);
}

bool ServerWait::waitFor()
{
    // Only while the loop turns: code that runs between two exchanges of one call (the
    // connection's BeforeConnect) is on the stack, not a new entry.
    const RefuseScope refuse;
    QEventLoop loop;
    QTimer due;
    due.setSingleShot(true);
    connect(&due, &QTimer::timeout, &loop, &QEventLoop::quit);
    connect(this, &ServerWait::finished, &loop, &QEventLoop::quit);
    while (!m_finished) {
        const qint64 left = showAfterMs - m_clock.elapsed();
        if (left > 0 && !m_shown) {
            due.start(static_cast<int>(left));
            loop.exec();
            continue;
        }
        if (!m_shown) {
            m_shown = true;
            QGuiApplication::changeOverrideCursor(Qt::BusyCursor); // the wait can be clicked
        }
        bool cancelled = false;
        try {
            cancelled = Services::current().waitForServer(*this);
        } catch (...) {
            qCCritical(lcServerWait) << "the wait service failed; the call is waited for";
        }
        if (cancelled)
            return false;
        // Services with no one to ask return at once: the call runs out its time.
        if (!m_finished)
            loop.exec();
    }
    return true;
}

void ServerWait::ended()
{
    m_finished = true;
    emit finished();
}

bool ServerWait::acceptsInput(QObject *watched) const
{
    // Only the wait's own dialog: a modal window opened since the wait began.
    QWidget *modal = QApplication::activeModalWidget();
    if (!modal || modal == m_modalAtStart)
        return false;
    if (watched->isWidgetType())
        return static_cast<QWidget *>(watched)->window() == modal;
    if (auto *window = qobject_cast<QWindow *>(watched))
        return window == modal->windowHandle();
    return false;
}

bool ServerWait::eventFilter(QObject *watched, QEvent *event)
{
    // Dropped rather than held back: a click made while the screen was busy must not fire
    // once it is free again.
    if (isUserInput(event->type()))
        return !acceptsInput(watched);
    if (event->type() == QEvent::Close && event->spontaneous())
        return !acceptsInput(watched);
    return false;
}

} // namespace Velmora
