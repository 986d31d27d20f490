#pragma once

#include "data_global.h"

#include <ibase.h>

#include <QByteArray>
#include <QDate>
#include <QSqlDatabase>
#include <QString>
#include <QVariant>

#include <optional>

namespace Velmora {

struct ConnectionSettings;

// The Firebird client's functions, taken at run time from the library that the InterBase
// driver loads too (after the environment names the configuration folder). The queries use
// them on the driver's handle; the database tools create, drop and load databases with them.
struct VELMORA_DATA_EXPORT FirebirdApi
{
    decltype(&isc_attach_database) attach = nullptr;
    decltype(&isc_detach_database) detach = nullptr;
    decltype(&isc_drop_database) drop = nullptr;
    decltype(&isc_dsql_execute_immediate) executeImmediate = nullptr;
    decltype(&isc_start_transaction) startTransaction = nullptr;
    decltype(&isc_commit_transaction) commitTransaction = nullptr;
    decltype(&isc_rollback_transaction) rollbackTransaction = nullptr;
    decltype(&isc_dsql_allocate_statement) allocateStatement = nullptr;
    decltype(&isc_dsql_prepare) prepare = nullptr;
    decltype(&isc_dsql_describe) describe = nullptr;
    decltype(&isc_dsql_describe_bind) describeBind = nullptr;
    decltype(&isc_dsql_sql_info) sqlInfo = nullptr;
    decltype(&isc_dsql_execute) execute = nullptr;
    decltype(&isc_dsql_fetch) fetch = nullptr;
    decltype(&isc_dsql_free_statement) freeStatement = nullptr;
    decltype(&isc_open_blob2) openBlob = nullptr;
    decltype(&isc_create_blob2) createBlob = nullptr;
    decltype(&isc_put_segment) putSegment = nullptr;
    decltype(&isc_get_segment) getSegment = nullptr;
    decltype(&isc_close_blob) closeBlob = nullptr;
    decltype(&isc_vax_integer) vaxInteger = nullptr;
    decltype(&fb_interpret) interpret = nullptr;
    decltype(&fb_cancel_operation) cancelOperation = nullptr;

    // Raises EDatabaseError when the library or one of its functions is missing.
    static const FirebirdApi &get();
    // The engine's message for a failed call.
    QString message(const ISC_STATUS *status) const;
};

// The client's attachment under a Qt connection of the InterBase driver; empty for any other.
VELMORA_DATA_EXPORT std::optional<isc_db_handle> FirebirdAttachment(const QSqlDatabase &db);

// The path the client attaches to: the file, or "host/port:file".
VELMORA_DATA_EXPORT QString FirebirdPath(const ConnectionSettings &settings);
// Attachment parameters: user, password and character set, then any further items.
VELMORA_DATA_EXPORT QByteArray FirebirdDpb(const ConnectionSettings &settings,
                                           const QByteArray &more = {});

// Firebird counts days from 17/11/1858.
constexpr QDate FirebirdEpoch = QDate::fromJulianDay(2400001);

// The bytes a variable of the described type takes in its buffer.
VELMORA_DATA_EXPORT int FirebirdBufferSize(const XSQLVAR &v);

// Sets an input variable to a value in the value's own type (the engine converts it to the
// parameter's); buffer holds the data and grows as needed. declared is the parameter as the
// engine described it, giving nulls their type and texts their character set; without it a
// null is an untyped text and a text is UTF-8.
VELMORA_DATA_EXPORT void FirebirdBind(XSQLVAR &v, const QVariant &value, QByteArray &buffer,
                                      ISC_SHORT &indicator, const XSQLVAR *declared = nullptr);

} // namespace Velmora
