#include "ReportRun.h"

#include "PagedReport.h"
#include "ReportHeading.h"
#include "ReportSource.h"

#include "data/StatementInterrupt.h"

#include <QEventLoop>
#include <QPrinter>
#include <QScopeGuard>
#include <QThread>

namespace Velmora::Reports {

ReportRun::ReportRun(Request request, const ReportConnection &screen, QObject *parent)
    : QObject(parent), m_request(std::move(request)), m_screen(screen)
{}

ReportRun::~ReportRun()
{
    if (m_thread) {
        cancel();
        m_thread->wait();
        delete m_thread;
    }
}

void ReportRun::start()
{
    m_clock.start();
    m_thread = QThread::create([this] { work(); });
    // The end is told on the screen's thread, after the thread let everything go.
    connect(m_thread, &QThread::finished, this, [this] {
        m_done = true;
        emit finished();
    });
    m_thread->start();
}

void ReportRun::cancel()
{
    m_progress.cancel = true;
    const QMutexLocker lock(&m_lock);
    if (m_connection)
        Velmora::InterruptStatement(m_connection->connection().database);
}

bool ReportRun::running() const
{
    return m_thread && !m_done;
}

void ReportRun::wait()
{
    if (!running())
        return;
    QEventLoop loop;
    connect(this, &ReportRun::finished, &loop, &QEventLoop::quit);
    loop.exec();
}

std::shared_ptr<PagedReport> ReportRun::document() const
{
    const QMutexLocker lock(&m_lock);
    return m_document;
}

void ReportRun::work()
{
    std::shared_ptr<PagedReport> document;
    try {
        const WorkerConnection connection(m_screen);
        const ReportConnection &db = connection.connection();
        {
            const QMutexLocker lock(&m_lock);
            m_connection = &connection;
        }
        // The connection goes when this block ends: no one may interrupt it after.
        const auto forget = qScopeGuard([this] {
            const QMutexLocker lock(&m_lock);
            m_connection = nullptr;
        });
        PageContext context = m_request.context;
        context.heading =
            BuildHeading(m_request.layout.heading, db, m_request.params, m_request.layout.name());
        m_progress.check();
        switch (m_request.output) {
        case Output::File: {
            ReportSource source(m_request.layout, db, m_request.params);
            source.setProgress(&m_progress);
            m_result = WriteFile(source, m_request.path, context);
            break;
        }
        case Output::Printer: {
            ReportSource source(m_request.layout, db, m_request.params);
            source.setProgress(&m_progress);
            m_result = RenderPages(source, *m_request.printer, context);
            break;
        }
        case Output::Preview: {
            auto source = std::make_unique<ReportSource>(m_request.layout, db, m_request.params);
            source->setProgress(&m_progress);
            document = std::make_shared<PagedReport>(std::move(source), context);
            try {
                // The first page is there before the window is told.
                while (document->pageCount() == 0 && document->pump(64)) {
                }
                {
                    const QMutexLocker lock(&m_lock);
                    m_document = document;
                }
                emit documentReady();
                while (document->pump(2048)) {
                }
            } catch (...) {
                // The query goes with this thread's connection; the pages made so far stay.
                document->stop();
                throw;
            }
            m_result = {document->pageCount(), document->rows()};
            break;
        }
        }
    } catch (const EAbort &) {
        m_cancelled = true;
    } catch (const Exception &e) {
        m_error = e.Message();
    } catch (const std::exception &e) {
        m_error = QString::fromLocal8Bit(e.what());
    }
    // A statement stopped at the user's wish fails as the engine says; it was a cancel.
    if (m_progress.cancel) {
        m_cancelled = true;
        m_error.clear();
    }
}

} // namespace Velmora::Reports
