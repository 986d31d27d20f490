#pragma once

#include "ReportConnection.h"
#include "reports_global.h"

#include "data/StreamingRead.h"

#include <QLoggingCategory>
#include <QString>

class TParams;

namespace Velmora::Reports {

// The reports' log: a failed query's driver text goes here, never to the clerk.
VELMORA_REPORTS_EXPORT Q_DECLARE_LOGGING_CATEGORY(lcReports)

    // The parameter list of a report query text: one parameter per name the text declares, in
    // order of first use, each null until the screen gives it a value.
    VELMORA_REPORTS_EXPORT void ParamsFromText(const QString &text, TParams &params);

// Runs a query of the report named `report` (its code, "FIS014"): binds every declared
// parameter by name (texts as texts, dates as dates, unassigned ones as null) and reads
// forward-only, so rows stream instead of piling up on the client (OpenStreamingRead), in the
// engine's read-only mode. Raises EDatabaseError in the clerk's words, naming the report: the
// query changes data and was refused, or it failed; the driver's text goes to the log.
VELMORA_REPORTS_EXPORT Velmora::StreamingRead RunReportQuery(const ReportConnection &connection,
                                                             const QString &report,
                                                             const QString &text,
                                                             const TParams &params);

// The clerk's message for a failure of the report's query, its driver text logged.
VELMORA_REPORTS_EXPORT EDatabaseError ReportQueryFailure(const QString &report,
                                                         const EDatabaseError &failure);

} // namespace Velmora::Reports
