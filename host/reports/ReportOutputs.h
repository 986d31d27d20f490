#pragma once

#include "ReportPainter.h"
#include "ReportSource.h"
#include "reports_global.h"

#include <QList>
#include <QPair>
#include <QString>
#include <QVariant>

class QPagedPaintDevice;

namespace Velmora::Reports {

class PagedReport;

struct VELMORA_REPORTS_EXPORT OutputResult
{
    int pages = 0;   // pages of a paged output; 0 for tables
    qint64 rows = 0; // rows of the query
};

// Paints the whole report on a paged device (PDF writer, printer), one page at a time while
// the rows stream; the device's page layout is set from the report's.
VELMORA_REPORTS_EXPORT OutputResult RenderPages(ReportSource &source, QPagedPaintDevice &device,
                                                const PageContext &context);
VELMORA_REPORTS_EXPORT OutputResult WritePdf(ReportSource &source, const QString &path,
                                             const PageContext &context);
// The pages of a report already paged (all of them read), on a device or in a PDF file.
VELMORA_REPORTS_EXPORT OutputResult PaintPages(PagedReport &pages, QPagedPaintDevice &device,
                                               const ReportProgress *progress = nullptr);
VELMORA_REPORTS_EXPORT OutputResult WritePdfPages(PagedReport &pages, const QString &path);
// UTF-8 with the locale's list separator; a header line, then one line per row, the group
// fields first. Totals are left to whoever reads the file. Texts that a spreadsheet would
// take for a formula get a leading quote.
VELMORA_REPORTS_EXPORT OutputResult WriteCsv(ReportSource &source, const QString &path);
// A worksheet with the rows only (numbers as numbers, dates as dates, codes as texts), one
// with the group and grand totals as formulas over it, and one with the heading. Written in
// constant memory.
VELMORA_REPORTS_EXPORT OutputResult WriteXlsx(ReportSource &source, const QString &path,
                                              const PageContext &context);
VELMORA_REPORTS_EXPORT OutputResult WriteHtml(ReportSource &source, const QString &path,
                                              const PageContext &context);

// The output that a file name's extension asks for: "pdf", "csv", "xlsx", "html"; empty when
// none fits.
VELMORA_REPORTS_EXPORT QString FormatOfFile(const QString &path);
// Writes the file in that format; raises Exception for an unknown one.
VELMORA_REPORTS_EXPORT OutputResult WriteFile(ReportSource &source, const QString &path,
                                              const PageContext &context);

} // namespace Velmora::Reports
