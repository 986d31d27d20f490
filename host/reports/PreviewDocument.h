#pragma once

#include "ReportPainter.h"
#include "ReportSource.h"
#include "reports_global.h"

#include <QDataStream>
#include <QFile>
#include <QList>
#include <QTemporaryFile>

#include <memory>

class QPainter;

namespace Velmora::Reports {

// A report held for browsing: the bands stream from the query into a spool file on disk as
// they come, with the place where each page starts, so any page can be painted again on
// demand while memory stays flat whatever the number of rows. The document owns its query
// and copies of everything it needs; it refers to no screen.
class VELMORA_REPORTS_EXPORT PreviewDocument
{
public:
    PreviewDocument(std::unique_ptr<ReportSource> source, const PageContext &context);
    ~PreviewDocument();

    // Reads up to maxBands more bands. False once the report is complete.
    bool pump(int maxBands);
    bool finished() const { return m_finished; }
    // Pages that can be painted: every page begun before the last one, all once finished.
    int pageCount() const;
    QSizeF pageSize() const { return m_measure.pageSize(); }
    qint64 rows() const { return m_source ? m_source->rows() : m_rows; }
    // Paints page index (0-based) in points from the page's corner.
    void renderPage(int index, QPainter &painter);

private:
    struct PageStart
    {
        qint64 offset;
        ReportPainter::State state;
        Band::Kind first;
    };
    bool readBand(QDataStream &in, Band &band) const;

    std::unique_ptr<ReportSource> m_source;
    ReportPainter m_measure;
    ReportPainter m_paint;
    QTemporaryFile m_spool;
    QDataStream m_out;
    QFile m_reader;
    QList<PageStart> m_pages;
    qint64 m_rows = 0;
    bool m_finished = false;
};

} // namespace Velmora::Reports
