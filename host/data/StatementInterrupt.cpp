#include "StatementInterrupt.h"

#include "DriverHandle.h"

#include <libpq-fe.h>
#include <sqlite3.h>

namespace Velmora {

bool InterruptStatement(const QSqlDatabase &db)
{
    if (!db.isValid() || !db.isOpen())
        return false;
    if (auto *sqlite = DriverHandle<sqlite3 *>(db, {"sqlite3*"})) {
        sqlite3_interrupt(sqlite);
        return true;
    }
    if (auto *pg = DriverHandle<PGconn *>(db, {"PGconn*", "pg_conn*"})) {
        PGcancel *cancel = PQgetCancel(pg);
        if (!cancel)
            return false;
        char error[256];
        const bool sent = PQcancel(cancel, error, sizeof error) == 1;
        PQfreeCancel(cancel);
        return sent;
    }
    return false;
}

} // namespace Velmora
