#include "StatementInterrupt.h"

#include <QSqlDriver>
#include <QVariant>

#include <libpq-fe.h>
#include <sqlite3.h>

namespace Velmora {

bool InterruptStatement(const QSqlDatabase &db)
{
    if (!db.isValid() || !db.isOpen())
        return false;
    const QVariant handle = db.driver()->handle();
    if (qstrcmp(handle.typeName(), "sqlite3*") == 0) {
        if (auto *sqlite = *static_cast<sqlite3 *const *>(handle.constData())) {
            sqlite3_interrupt(sqlite);
            return true;
        }
    } else if (qstrcmp(handle.typeName(), "PGconn*") == 0) {
        if (auto *pg = *static_cast<PGconn *const *>(handle.constData())) {
            PGcancel *cancel = PQgetCancel(pg);
            if (!cancel)
                return false;
            char error[256];
            const bool sent = PQcancel(cancel, error, sizeof error) == 1;
            PQfreeCancel(cancel);
            return sent;
        }
    }
    return false;
}

} // namespace Velmora
