#include "OutputFile.h"
#include "PagedReport.h"
#include "PdfArchive.h"
#include "PdfSurface.h"
#include "ReportOutputs.h"

#include "rtl/DateConvert.h"
#include "rtl/Exceptions.h"
#include "rtl/TDateTime.h"

#include <QDateTime>
#include <QFileInfo>
#include <QPagedPaintDevice>
#include <QPainter>

namespace Velmora::Reports {

OutputResult PaintPages(PagedReport &pages, QPagedPaintDevice &device,
                        const ReportProgress *progress)
{
    const ReportLayout &layout = pages.layout();
    device.setPageLayout(
        QPageLayout(layout.page.pageSize(),
                    layout.page.landscape ? QPageLayout::Landscape : QPageLayout::Portrait,
                    QMarginsF(0, 0, 0, 0)));
    QPainter painter;
    if (!painter.begin(&device))
        throw Exception(QStringLiteral("Não foi possível iniciar a impressão do relatório."));
    // The report paints in points; the device may count in its own dots.
    painter.scale(device.logicalDpiX() / 72.0, device.logicalDpiY() / 72.0);
    for (int i = 0; i < pages.pageCount(); ++i) {
        if (progress)
            progress->check();
        if (i > 0)
            device.newPage();
        pages.renderPage(i, painter);
    }
    painter.end();
    return {pages.pageCount(), pages.rows()};
}

OutputResult RenderPages(ReportSource &source, QPagedPaintDevice &device,
                         const PageContext &context)
{
    // The whole report is paged before the first page is painted: every page says how many
    // there are.
    PagedReport pages(source, context);
    while (pages.pump(1 << 16)) {
    }
    return PaintPages(pages, device, source.progress());
}

namespace {
// An archived PDF of the pages: painted one by one into the writer as the spool gives them
// back, then completed for archiving.
OutputResult writeArchivedPdf(PagedReport &pages, const QString &path,
                              const ReportProgress *progress)
{
    const PageContext &context = pages.context();
    const QString title = context.reportCode.isEmpty()
                              ? context.title
                              : context.title + QStringLiteral(" – ") + context.reportCode;
    const QDateTime created = QDateTime::currentDateTime();
    OutputFile file(path);
    {
        PdfSurface surface(file, pages.pageSize(), title, created);
        for (int i = 0; i < pages.pageCount(); ++i) {
            if (progress)
                progress->check();
            pages.renderPage(i, surface);
            surface.endPage();
        }
        surface.finish();
    }
    file.flush();
    const QString summary = SummaryLine(context.heading);
    FinishPdfArchive(file, {title, qEnvironmentVariable("USER", QStringLiteral("Velmora")),
                            summary.isEmpty() ? title : title + QStringLiteral(" · ") + summary,
                            created});
    file.commit();
    return {pages.pageCount(), pages.rows()};
}
} // namespace

OutputResult WritePdf(ReportSource &source, const QString &path, const PageContext &context)
{
    // The whole report is paged before the first page is painted: every page says how many
    // there are.
    PagedReport pages(source, context);
    while (pages.pump(1 << 16)) {
    }
    return writeArchivedPdf(pages, path, source.progress());
}

OutputResult WritePdfPages(PagedReport &pages, const QString &path)
{
    return writeArchivedPdf(pages, path, nullptr);
}

QString FormatOfFile(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("pdf") || suffix == QLatin1String("csv") ||
        suffix == QLatin1String("xlsx") || suffix == QLatin1String("html"))
        return suffix;
    if (suffix == QLatin1String("htm"))
        return QStringLiteral("html");
    return QString();
}

OutputResult WriteFile(ReportSource &source, const QString &path, const PageContext &context)
{
    const QString format = FormatOfFile(path);
    if (format == QLatin1String("pdf"))
        return WritePdf(source, path, context);
    if (format == QLatin1String("csv"))
        return WriteCsv(source, path);
    if (format == QLatin1String("xlsx"))
        return WriteXlsx(source, path, context);
    if (format == QLatin1String("html"))
        return WriteHtml(source, path, context);
    throw Exception(QStringLiteral("O arquivo '%1' não tem um formato conhecido: use PDF, CSV, "
                                   "XLSX ou HTML.")
                        .arg(path));
}

} // namespace Velmora::Reports
