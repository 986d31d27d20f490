#pragma once

#include "data/DatabaseKind.h"

#include <QStringList>

namespace Velmora::Db {

// The dialect routines that the query texts call and that live in the database: NVL, DECODE
// and INSTR on PostgreSQL; PARAM, NVLSTR and INSTR on Firebird. SQLite has none here: its
// connection registers NVL, DECODE and NVLSTR, and INSTR is built in.
QStringList RoutineStatements(Engine engine);

} // namespace Velmora::Db
