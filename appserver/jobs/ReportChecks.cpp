#include "ReportChecks.h"

#include <QHash>
#include <QMutex>

namespace AppServer::Jobs {

namespace {

// Built on first use: registrations run while static objects are made, in no set order.
struct Registry
{
    QMutex lock;
    QHash<QString, ReportCheck> checks;
};

Registry &registry()
{
    static Registry r;
    return r;
}

} // namespace

void RegisterReportCheck(const QString &reportCode, ReportCheck check)
{
    Registry &r = registry();
    const QMutexLocker lock(&r.lock);
    r.checks.insert(reportCode.trimmed().toUpper(), std::move(check));
}

ReportCheck ReportCheckOf(const QString &reportCode)
{
    Registry &r = registry();
    const QMutexLocker lock(&r.lock);
    return r.checks.value(reportCode.trimmed().toUpper());
}

} // namespace AppServer::Jobs
