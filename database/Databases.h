#pragma once

#include "data/DBConnection.h"

// Creating and dropping whole databases, which no connection to the database itself can do.
namespace Velmora::Db {

enum class Durability { Durable, Throwaway };

// Makes the empty database the settings name when it does not exist yet: an SQLite file (in WAL
// mode), a PostgreSQL database (through the server's "postgres" database), a Firebird file (UTF8).
// Raises EDatabaseError with the engine's reason.
// Throwaway: a Firebird file without forced writes, for tests and benchmarks.
void CreateDatabase(const ConnectionSettings &settings,
                    Durability durability = Durability::Durable);
// Firebird writes each page through to the disk unless told otherwise; a bulk load runs
// much faster without. No effect on the other engines.
void SetForcedWrites(const ConnectionSettings &settings, bool on);
// Puts an SQLite file in write-ahead-log mode, which the file keeps: a long read (a report) then
// holds no writer back (a cancel, a queued job). True when the file was in another mode; false
// on the other engines.
bool UseWriteAheadLog(DBConnection &db);
// Removes it; a database that does not exist is no error.
void DropDatabase(const ConnectionSettings &settings);

} // namespace Velmora::Db
