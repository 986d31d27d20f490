#pragma once

#include <QSqlDatabase>

namespace Velmora::Internal {

// NVL, DECODE and NVLSTR for SQLite, registered on one connection (SQLite keeps functions
// per connection). INSTR is built in.
bool RegisterSqliteFunctions(QSqlDatabase &db);

} // namespace Velmora::Internal
