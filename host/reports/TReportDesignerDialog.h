#pragma once

#include "LayoutCatalog.h"
#include "ReportConnection.h"
#include "ReportLayout.h"
#include "ReportOutputs.h"
#include "ReportRun.h"
#include "reports_global.h"

#include <QObject>

#include <memory>

class TParams;
class QWidget;

namespace Velmora::Reports {
class LayoutEditor;
class ReportPreview;
} // namespace Velmora::Reports

// Runs and edits report layouts for a report screen. Whenever it needs the values of a
// report query's parameters — a report run, the layout editor opened or its query tried —
// it raises BeforeGetQueryParams(params, carryOn) and the screen fills the parameters it
// knows. A handler that sets carryOn to false cancels the run.
class VELMORA_REPORTS_EXPORT TReportDesignerDialog : public QObject
{
    Q_OBJECT
public:
    explicit TReportDesignerDialog(QObject *owner);

    // The layouts of a report code in the reports directory.
    static QList<Velmora::Reports::LayoutEntry> Layouts(const QString &code,
                                                        const QString &directory);

    // The parameter list of the layout's query (the text for the connection's kind), with
    // the values the screen gave. False when a handler cancelled.
    bool GetQueryParams(const Velmora::Reports::ReportLayout &layout,
                        const Velmora::Reports::ReportConnection &connection, TParams &params);

    // Takes the parameters and starts the query; nullptr when cancelled. The context's
    // heading receives the values the report runs with, in the layout's words.
    std::unique_ptr<Velmora::Reports::ReportSource>
    Open(const Velmora::Reports::ReportLayout &layout,
         Velmora::Reports::PageContext *context = nullptr);

    // A run of the layout, not yet started, with the values the screen gives now; nullptr
    // when a handler cancelled. The run goes on its own thread, with its own connection.
    Velmora::Reports::ReportRun *CreateRun(Velmora::Reports::ReportRun::Request request,
                                           QObject *owner);
};
