#pragma once

#include "data_global.h"

#include <QSqlDatabase>

namespace Velmora {

// Asks the engine to stop the statement a connection is running, from any thread: the
// statement then fails on its own thread. SQLite, PostgreSQL and Firebird stop at once; the
// other engines are not asked, and their statements run to their next row. False when the
// engine was not asked. On Firebird the whole attachment's work is cancelled: give each
// interruptible run a connection of its own.
VELMORA_DATA_EXPORT bool InterruptStatement(const QSqlDatabase &db);

} // namespace Velmora
