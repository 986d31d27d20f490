#pragma once

#include "data_global.h"

#include <QString>

namespace Velmora {

// The kind of database a query text is written for. Each query carries one text per kind and
// falls back to the generic text.
enum class DatabaseKind { Generic, Oracle, MSSQL, InterBase };

// The engines this system runs on; the two server kinds without a test server are mapped only.
enum class Engine { SQLite, PostgreSQL, Firebird, MSSQL, Oracle, Unknown };

VELMORA_DATA_EXPORT Engine EngineOfDriver(const QString &driver);
VELMORA_DATA_EXPORT DatabaseKind KindOfEngine(Engine engine);
// The name the messages use ("SQLite", "PostgreSQL", "Firebird", ...).
VELMORA_DATA_EXPORT QString EngineName(Engine engine);

} // namespace Velmora
