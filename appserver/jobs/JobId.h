#pragma once

#include <QString>

namespace AppServer::Jobs {

// A new id for a job or a schedule: a time-ordered UUID (version 7, 36 characters), so that ids
// made later sort later and jobs queued in the same second keep their order.
QString newJobId();
// Whether the text has the shape newJobId() gives (lower-case hexadecimal in 8-4-4-4-12): a
// name from outside is checked before it reaches a statement or a file's name.
bool isJobId(QStringView text);

} // namespace AppServer::Jobs
