#pragma once

#include "DatabaseKind.h"
#include "data_global.h"

#include <QDateTime>
#include <QString>
#include <QVariant>

namespace Velmora {

// Timestamps to the second, the same wall-clock time on every engine. SQLite keeps them as
// "YYYY-MM-DD HH:MM:SS" texts; PostgreSQL's driver would send a QDateTime as UTC, which a
// TIMESTAMP column turns by the server's time zone, so it gets the text too; Firebird's
// driver binds the QDateTime as it is.

// The value to bind (NULL for an invalid moment).
VELMORA_DATA_EXPORT QVariant TimestampToEngine(const QDateTime &moment, Engine engine);
// The select expression that reads a timestamp column back in a form TimestampFromEngine
// takes on every engine.
VELMORA_DATA_EXPORT QString TimestampColumn(const QString &column);
// The moment read back; invalid for NULL or a value that is no timestamp.
VELMORA_DATA_EXPORT QDateTime TimestampFromEngine(const QVariant &value);

} // namespace Velmora
