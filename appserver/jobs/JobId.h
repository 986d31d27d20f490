#pragma once

#include <QString>

namespace AppServer::Jobs {

// A new id for a job or a schedule: a time-ordered UUID (version 7, 36 characters), so that ids
// made later sort later and jobs queued in the same second keep their order.
QString newJobId();

} // namespace AppServer::Jobs
