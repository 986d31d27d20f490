#pragma once

#include "reports/ReportConnection.h"

#include <QString>
#include <QVariantMap>

#include <functional>

namespace AppServer::Jobs {

// What a report's module checks on the database before the server runs a job of it, as its
// screen checked before the clerk could ask: the values may have gone stale while the job
// waited. Raises Exception with the screen's message. `params` are the job's query parameters.
using ReportCheck = std::function<void(const QVariantMap &params,
                                       const Velmora::Reports::ReportConnection &database)>;

// One check per report code (any letter case); a later registration replaces an earlier one.
void RegisterReportCheck(const QString &reportCode, ReportCheck check);
// The report's check, or an empty function when its module registered none.
ReportCheck ReportCheckOf(const QString &reportCode);

// Registers a check while the program loads: a module's server part holds one per report.
struct ReportCheckRegistration
{
    ReportCheckRegistration(const char *reportCode, ReportCheck check)
    {
        RegisterReportCheck(QString::fromLatin1(reportCode), std::move(check));
    }
};

} // namespace AppServer::Jobs
