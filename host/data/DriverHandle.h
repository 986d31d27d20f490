#pragma once

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QVariant>

#include <initializer_list>

namespace Velmora {

// The engine's own handle under a Qt connection (sqlite3*, PGconn*, isc_db_handle), when the
// driver's handle has one of the type names given (the drivers' own); a null handle otherwise.
template <class Handle>
Handle DriverHandle(const QSqlDatabase &db, std::initializer_list<const char *> typeNames)
{
    if (!db.isValid() || !db.driver())
        return Handle{};
    const QVariant h = db.driver()->handle();
    for (const char *name : typeNames)
        if (qstrcmp(h.typeName(), name) == 0)
            return *static_cast<const Handle *>(h.constData());
    return Handle{};
}

} // namespace Velmora
