#include "TReportDesignerDialog.h"

#include "PagedReport.h"
#include "ReportPreview.h"
#include "ReportQuery.h"
#include "framework/Dispatch.h"
#include "framework/Events.h"
#include "framework/Services.h"
#include "framework/data/TParams.h"
#include "rtl/Exceptions.h"

#include <QPrintDialog>
#include <QPrinter>

using namespace Velmora::Reports;

TReportDesignerDialog::TReportDesignerDialog(QObject *owner) : QObject(owner) {}

QList<LayoutEntry> TReportDesignerDialog::Layouts(const QString &code, const QString &directory)
{
    return FindLayouts(code, directory);
}

bool TReportDesignerDialog::GetQueryParams(const ReportLayout &layout,
                                           const ReportConnection &connection, TParams &params)
{
    ParamsFromText(layout.queryText(connection.kind), params);
    bool carryOn = true;
    Velmora::Events::of(this).call(QStringLiteral("BeforeGetQueryParams"), &params, carryOn);
    QVariantMap values;
    for (int i = 0; i < params.Count(); ++i)
        values.insert(params.Items(i)->Name(), params.Items(i)->Value());
    Velmora::Services::current().reportParams(values);
    return carryOn;
}

std::unique_ptr<ReportSource> TReportDesignerDialog::Open(const ReportLayout &layout,
                                                          PageContext *context)
{
    const ReportConnection connection = CurrentReportConnection();
    TParams params;
    if (!GetQueryParams(layout, connection, params))
        return nullptr;
    if (context)
        context->heading = BuildHeading(layout.heading, connection, params);
    return std::make_unique<ReportSource>(layout, connection, params);
}

OutputResult TReportDesignerDialog::WritePdf(const ReportLayout &layout, const QString &path,
                                             const PageContext &context)
{
    PageContext run = context;
    std::unique_ptr<ReportSource> source = Open(layout, &run);
    if (!source)
        return {-1, 0};
    return Velmora::Reports::WritePdf(*source, path, run);
}

OutputResult TReportDesignerDialog::Print(const ReportLayout &layout, const PageContext &context)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setFullPage(true);
    printer.setDocName(context.title);
    printer.setPageLayout(layout.page.pageLayout());
    {
        Velmora::ModalScope modal;
        QPrintDialog dialog(&printer);
        dialog.setWindowTitle(QStringLiteral("Imprimir"));
        if (dialog.exec() != QDialog::Accepted)
            return {-1, 0};
    }
    PageContext run = context;
    std::unique_ptr<ReportSource> source = Open(layout, &run);
    if (!source)
        return {-1, 0};
    return RenderPages(*source, printer, run);
}

ReportPreview *TReportDesignerDialog::Preview(const ReportLayout &layout,
                                              const PageContext &context)
{
    PageContext run = context;
    std::unique_ptr<ReportSource> source = Open(layout, &run);
    if (!source)
        return nullptr;
    auto document = std::make_unique<PagedReport>(std::move(source), run);
    // The first page is there before the window shows; the rest follows in the background.
    while (document->pageCount() == 0 && document->pump(256)) {
    }
    auto *window = new ReportPreview(std::move(document), context.title);
    window->show();
    return window;
}

OutputResult TReportDesignerDialog::Save(const ReportLayout &layout, const QString &path,
                                         const PageContext &context)
{
    if (FormatOfFile(path).isEmpty())
        throw Exception(QStringLiteral("O arquivo '%1' não tem um formato conhecido: use PDF, "
                                       "CSV, XLSX ou HTML.")
                            .arg(path));
    PageContext run = context;
    std::unique_ptr<ReportSource> source = Open(layout, &run);
    if (!source)
        return {-1, 0};
    return WriteFile(*source, path, run);
}
