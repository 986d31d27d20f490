#pragma once

#include "KeepTogether.h"
#include "ReportPainter.h"
#include "ReportSource.h"
#include "reports_global.h"

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QMutex>
#include <QTemporaryFile>

#include <memory>
#include <vector>

class QPainter;
class QThread;

namespace Velmora::Reports {

// A report laid out on pages: the bands stream from the query, already formatted, into a
// spool file on disk as they come, with the place where each page starts, so any page can
// be painted again on demand while memory stays flat whatever the number of rows. Once the
// last band is in, the page count is known and every page says "Página N de M". The print,
// the PDF and the preview all page through it.
//
// One thread may pump while another asks for pages and paints them: a page is offered once
// all of it is in the spool.
class VELMORA_REPORTS_EXPORT PagedReport
{
public:
    // Owns the source and everything it needs; refers to no screen.
    PagedReport(std::unique_ptr<ReportSource> source, const PageContext &context);
    // Reads from a source that outlives it.
    PagedReport(ReportSource &source, const PageContext &context);
    ~PagedReport();
    PagedReport(const PagedReport &) = delete;
    PagedReport &operator=(const PagedReport &) = delete;

    // Reads up to about maxBands more bands. False once the report is complete.
    bool pump(int maxBands);
    bool finished() const;
    bool stopped() const;
    // Ends the reading where it stands (a run stopped or failed): the pages complete so far
    // stay, the query is let go, on the thread that pumped.
    void stop();
    // Pages that can be painted: every page begun before the last one, all once finished.
    int pageCount() const;
    QSizeF pageSize() const { return m_measure.pageSize(); }
    const ReportLayout &layout() const { return m_layout; }
    const PageContext &context() const { return m_context; }
    // The first page from `from` on (forward or back) whose texts hold text, any letter case;
    // -1 when none does.
    int findText(const QString &text, int from, bool forward);
    qint64 rows() const;
    // Paints page index (0-based) in points from the page's corner.
    void renderPage(int index, QPainter &painter);
    void renderPage(int index, PageSurface &surface);

private:
    struct PageStart
    {
        qint64 offset;
        ReportPainter::State state;
        Band::Kind first;
    };
    void write(const PageBand &band);
    void flushSpool();
    void finish();
    // Reads page index's bands from the spool, one at a time.
    template <class Each> void readPage(int index, Each each);

    ReportLayout m_layout;
    PageContext m_context;
    std::unique_ptr<ReportSource> m_owned;
    ReportSource *m_source;
    ReportProgress *m_progress; // the source's
    KeepTogether m_runs;
    ReportPainter m_measure;
    // Fonts serve only the thread that made them: the painter is made where pages are painted.
    std::unique_ptr<ReportPainter> m_paint;
    QThread *m_paintThread = nullptr;
    QTemporaryFile m_spool;
    QByteArray m_buffer; // bands not yet in the spool
    qint64 m_written = 0;
    QFile m_reader;
    mutable QMutex m_lock; // guards what the painting thread reads: pages, written, finished
    QList<PageStart> m_pages;
    std::vector<Band> m_run;
    PageBand m_band;
    qint64 m_rows = 0;
    bool m_finished = false;
    bool m_stopped = false; // finished without its last pages
};

} // namespace Velmora::Reports
