#pragma once

#include "ReportConnection.h"
#include "reports_global.h"

#include <QSqlQuery>
#include <QString>

class TParams;

namespace Velmora::Reports {

// The parameter list of a report query text: one parameter per name the text declares, in
// order of first use, each null until the screen gives it a value.
VELMORA_REPORTS_EXPORT void ParamsFromText(const QString &text, TParams &params);

// Runs a report query: prepares the text on the connection, binds every declared parameter
// by name (texts as texts, dates as dates, unassigned ones as null) and executes it
// forward-only, so rows stream instead of piling up on the client (OpenStreamingRead). Raises
// EDatabaseError with the database's explanation when the text cannot run, and refuses a
// text that would change data.
VELMORA_REPORTS_EXPORT QSqlQuery RunReportQuery(const ReportConnection &connection,
                                                const QString &text, const TParams &params);

} // namespace Velmora::Reports
