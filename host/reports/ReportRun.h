#pragma once

#include "ReportConnection.h"
#include "ReportLayout.h"
#include "ReportOutputs.h"
#include "ReportProgress.h"
#include "reports_global.h"

#include "data/TParams.h"

#include <QElapsedTimer>
#include <QMutex>
#include <QObject>
#include <QString>

#include <memory>

class QPrinter;
class QThread;

namespace Velmora::Reports {

class PagedReport;

// One report run on a thread of its own, with a database connection of its own, so the
// screen keeps answering while the query reads and the pages are made. The screen reads the
// progress as it goes and may ask the run to stop; a stopped run leaves no file behind.
class VELMORA_REPORTS_EXPORT ReportRun : public QObject
{
    Q_OBJECT
public:
    enum class Output { File, Printer, Preview };
    struct Request
    {
        Output output = Output::File;
        QString action; // "print", "preview", "save": how the screen names it
        ReportLayout layout;
        TParams params; // the values the screen gave
        PageContext context;
        QString path;                      // File: written in the format of its extension
        std::shared_ptr<QPrinter> printer; // Printer
    };

    ReportRun(Request request, const ReportConnection &screen, QObject *parent = nullptr);
    // Asks the run to stop and waits for its thread.
    ~ReportRun() override;

    void start();
    // Stops the run within a moment: between rows, or in the middle of the query where the
    // engine allows it.
    void cancel();
    bool running() const;
    // Waits for the end, the event loop turning.
    void wait();

    const Request &request() const { return m_request; }
    qint64 rows() const { return m_progress.rows.load(); }
    int pages() const { return m_progress.pages.load(); }
    qint64 elapsedMs() const { return m_clock.elapsed(); }

    // Preview: the pages, from the moment the query answered (documentReady).
    std::shared_ptr<PagedReport> document() const;

    // Once finished: what was made, or why not.
    OutputResult result() const { return m_result; }
    bool cancelled() const { return m_cancelled; }
    QString error() const { return m_error; }
    bool failed() const { return !m_error.isEmpty(); }

signals:
    void documentReady();
    void finished();

private:
    void work();

    Request m_request;
    ReportConnection m_screen;
    ReportProgress m_progress;
    QThread *m_thread = nullptr;
    QElapsedTimer m_clock;
    mutable QMutex m_lock;
    std::shared_ptr<PagedReport> m_document;
    const WorkerConnection *m_connection = nullptr; // while the thread has one
    OutputResult m_result;
    QString m_error;
    bool m_cancelled = false;
    bool m_done = false;
};

} // namespace Velmora::Reports
