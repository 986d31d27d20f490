#pragma once

#include <ibase.h>

#include <QByteArray>
#include <QString>

namespace Velmora {
struct ConnectionSettings;
}

namespace Velmora::Db {

// The Firebird client's functions that the tools need, taken at run time from the library
// the InterBase driver uses (after the environment names the configuration folder).
struct FirebirdClient
{
    decltype(&isc_dsql_execute_immediate) executeImmediate = nullptr;
    decltype(&isc_attach_database) attach = nullptr;
    decltype(&isc_detach_database) detach = nullptr;
    decltype(&isc_drop_database) drop = nullptr;
    decltype(&isc_start_transaction) startTransaction = nullptr;
    decltype(&isc_commit_transaction) commit = nullptr;
    decltype(&isc_rollback_transaction) rollback = nullptr;
    decltype(&isc_dsql_allocate_statement) allocateStatement = nullptr;
    decltype(&isc_dsql_prepare) prepare = nullptr;
    decltype(&isc_dsql_describe_bind) describeBind = nullptr;
    decltype(&isc_dsql_execute) execute = nullptr;
    decltype(&isc_dsql_free_statement) freeStatement = nullptr;
    decltype(&fb_interpret) interpret = nullptr;

    // Raises EDatabaseError when the library or a function is missing.
    static const FirebirdClient &get();
    QString message(const ISC_STATUS *status) const;
};

// The path the client attaches to: the file, or "host/port:file".
QString FirebirdPath(const ConnectionSettings &settings);
// Attachment parameters: user, password, then any further items.
QByteArray FirebirdDpb(const ConnectionSettings &settings, const QByteArray &more = {});

} // namespace Velmora::Db
