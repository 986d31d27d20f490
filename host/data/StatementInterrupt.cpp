#include "StatementInterrupt.h"

#include "DriverHandle.h"
#include "FirebirdApi.h"
#include "rtl/Exceptions.h"

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
    if (std::optional<isc_db_handle> attachment = FirebirdAttachment(db)) {
        // The engine looks at the request now and then, also before a sort gives its first row.
        ISC_STATUS_ARRAY status{};
        try {
            return FirebirdApi::get().cancelOperation(status, &*attachment, fb_cancel_raise) == 0;
        } catch (const EDatabaseError &) {
            return false;
        }
    }
    return false;
}

} // namespace Velmora
