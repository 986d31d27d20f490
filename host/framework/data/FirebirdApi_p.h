#pragma once

#include <ibase.h>

#include <QString>

namespace Velmora::Internal {

// The Firebird client's functions, taken at run time from the library that the InterBase
// driver loads too (after the environment names the configuration folder).
struct FirebirdApi
{
    decltype(&isc_start_transaction) startTransaction = nullptr;
    decltype(&isc_commit_transaction) commitTransaction = nullptr;
    decltype(&isc_dsql_allocate_statement) allocateStatement = nullptr;
    decltype(&isc_dsql_prepare) prepare = nullptr;
    decltype(&isc_dsql_describe) describe = nullptr;
    decltype(&isc_dsql_describe_bind) describeBind = nullptr;
    decltype(&isc_dsql_sql_info) sqlInfo = nullptr;
    decltype(&isc_dsql_execute) execute = nullptr;
    decltype(&isc_dsql_fetch) fetch = nullptr;
    decltype(&isc_dsql_free_statement) freeStatement = nullptr;
    decltype(&isc_open_blob2) openBlob = nullptr;
    decltype(&isc_get_segment) getSegment = nullptr;
    decltype(&isc_close_blob) closeBlob = nullptr;
    decltype(&isc_vax_integer) vaxInteger = nullptr;
    decltype(&fb_interpret) interpret = nullptr;

    // Raises EDatabaseError when the library or one of its functions is missing.
    static const FirebirdApi &get();
    // The engine's message for a failed call.
    QString message(const ISC_STATUS *status) const;
};

} // namespace Velmora::Internal
