#include "TReportDesignerDialog.h"

#include "ReportQuery.h"
#include "data/TParams.h"
#include "framework/Dispatch.h"
#include "framework/Events.h"
#include "framework/Services.h"
#include "rtl/Exceptions.h"

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
        context->heading = BuildHeading(layout.heading, connection, params, layout.name());
    return std::make_unique<ReportSource>(layout, connection, params);
}

ReportRun *TReportDesignerDialog::CreateRun(ReportRun::Request request, QObject *owner)
{
    const ReportConnection connection = CurrentReportConnection();
    if (!GetQueryParams(request.layout, connection, request.params))
        return nullptr;
    return new ReportRun(std::move(request), connection, owner);
}
