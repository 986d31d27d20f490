#pragma once

#include <QSqlDatabase>

namespace Velmora::Internal {

// NVL, DECODE and NVLSTR for SQLite, registered on one connection (SQLite keeps functions
// per connection). INSTR is built in.
bool RegisterSqliteFunctions(QSqlDatabase &db);

// Points the Firebird client at the project's configuration folder (ServerMode SuperClassic,
// so the host and the application server share one embedded database) and at a lock folder
// of this user, unless the environment already names them. Must run before the client
// library first starts.
void PrepareFirebirdEnvironment();

} // namespace Velmora::Internal
