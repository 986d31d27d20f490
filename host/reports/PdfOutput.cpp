#include "OutputFile.h"
#include "ReportOutputs.h"

#include "rtl/DateConvert.h"
#include "rtl/Exceptions.h"
#include "rtl/TDateTime.h"

#include <QFileInfo>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>

namespace Velmora::Reports {

OutputResult RenderPages(ReportSource &source, QPagedPaintDevice &device,
                         const PageContext &context)
{
    const ReportLayout &layout = source.layout();
    device.setPageLayout(
        QPageLayout(layout.page.pageSize(),
                    layout.page.landscape ? QPageLayout::Landscape : QPageLayout::Portrait,
                    QMarginsF(0, 0, 0, 0)));
    ReportPainter pages(layout, context);
    QPainter painter;
    if (!painter.begin(&device))
        throw Exception(QStringLiteral("Não foi possível iniciar a impressão do relatório."));
    // The report paints in fractions of a point; the device may count in its own dots.
    painter.scale(device.logicalDpiX() / 72.0 / ReportPainter::UnitsPerPoint,
                  device.logicalDpiY() / 72.0 / ReportPainter::UnitsPerPoint);
    Band band;
    bool first = true;
    while (source.next(band)) {
        if (first) {
            pages.beginPage(&painter, band.kind);
            first = false;
        } else if (pages.breaksBefore(band)) {
            device.newPage();
            pages.beginPage(&painter, band.kind);
        }
        pages.place(&painter, band);
    }
    painter.end();
    return {pages.pages(), source.rows()};
}

OutputResult WritePdf(ReportSource &source, const QString &path, const PageContext &context)
{
    OutputFile file(path);
    OutputResult result;
    {
        QPdfWriter writer(&file);
        writer.setResolution(72);
        writer.setCreator(QStringLiteral("Velmora"));
        writer.setTitle(context.title);
        result = RenderPages(source, writer, context);
    }
    file.commit();
    return result;
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
