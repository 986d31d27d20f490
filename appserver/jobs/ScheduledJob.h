#pragma once

#include "JobQueue.h"
#include "ReportJob.h"
#include "Schedule.h"

#include <QDateTime>

namespace Velmora {
class DBConnection;
}

namespace AppServer::Jobs {

// Raises Exception, in the clerk's words, when what the schedule keeps cannot give a job: no
// report or layout, a layout version that is no SHA-256, an unknown period kind, or start and end
// parameters that are not dates among its parameters.
void checkScheduleTemplate(const Schedule &schedule);

// The job of the schedule's occurrence: the report as the schedule keeps it, with the saved
// set's relative period resolved against the occurrence's day and written into the start and end
// parameters. Raises Exception when the saved set the schedule names is gone from VARIANTETELA
// (as the screen finds a set by name for that owner) or the template cannot give a job.
ReportJob scheduledJob(Velmora::DBConnection &db, const Schedule &schedule,
                       const QDateTime &occurrence);

// scheduledJob over the connection, for JobQueue::enqueueDue.
JobQueue::JobOfOccurrence scheduledJobs(Velmora::DBConnection &db);

} // namespace AppServer::Jobs
