#pragma once

#include "rtl/Settings.h"

#include <QSqlDatabase>
#include <QString>

namespace AppServer {

// Opens (or reopens) the database connection `connectionName` of the calling thread as the
// settings' [Database] section describes it. Returns the connection whether or not it opened;
// when it did not, `failure` (if given) says why, for the log.
QSqlDatabase openServerDatabase(const Velmora::Settings &settings, const QString &connectionName,
                                QString *failure = nullptr);

} // namespace AppServer
