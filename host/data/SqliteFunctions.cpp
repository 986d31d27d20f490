#include "DriverHandle.h"
#include "EngineSupport_p.h"

#include <QSqlDriver>
#include <QVariant>

#include <cstring>
#include <sqlite3.h>

namespace Velmora::Internal {

namespace {

// The first argument, or the second when the first is null.
void nvl(sqlite3_context *ctx, int, sqlite3_value **argv)
{
    sqlite3_result_value(ctx, sqlite3_value_type(argv[0]) == SQLITE_NULL ? argv[1] : argv[0]);
}

// Two nulls match, as DECODE compares.
bool sameValue(sqlite3_value *a, sqlite3_value *b)
{
    const int ta = sqlite3_value_type(a), tb = sqlite3_value_type(b);
    if (ta == SQLITE_NULL || tb == SQLITE_NULL)
        return ta == tb;
    const bool na = ta == SQLITE_INTEGER || ta == SQLITE_FLOAT;
    const bool nb = tb == SQLITE_INTEGER || tb == SQLITE_FLOAT;
    if (na && nb)
        return sqlite3_value_double(a) == sqlite3_value_double(b);
    const auto *sa = sqlite3_value_text(a);
    const int la = sqlite3_value_bytes(a);
    const auto *sb = sqlite3_value_text(b);
    const int lb = sqlite3_value_bytes(b);
    return la == lb && (la == 0 || std::memcmp(sa, sb, static_cast<size_t>(la)) == 0);
}

// DECODE(value, match1, result1 [, match2, result2 ...] [, default])
void decode(sqlite3_context *ctx, int argc, sqlite3_value **argv)
{
    if (argc < 3) {
        sqlite3_result_error(ctx, "DECODE pede ao menos três argumentos", -1);
        return;
    }
    int i = 1;
    for (; i + 1 < argc; i += 2) {
        if (sameValue(argv[0], argv[i])) {
            sqlite3_result_value(ctx, argv[i + 1]);
            return;
        }
    }
    if (i < argc)
        sqlite3_result_value(ctx, argv[i]);
    else
        sqlite3_result_null(ctx);
}

} // namespace

bool RegisterSqliteFunctions(QSqlDatabase &db)
{
    auto *sqlite = DriverHandle<sqlite3 *>(db, {"sqlite3*"});
    if (!sqlite)
        return false;
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
    return sqlite3_create_function_v2(sqlite, "NVL", 2, flags, nullptr, nvl, nullptr, nullptr,
                                      nullptr) == SQLITE_OK &&
           sqlite3_create_function_v2(sqlite, "NVLSTR", 2, flags, nullptr, nvl, nullptr, nullptr,
                                      nullptr) == SQLITE_OK &&
           sqlite3_create_function_v2(sqlite, "DECODE", -1, flags, nullptr, decode, nullptr,
                                      nullptr, nullptr) == SQLITE_OK;
}

} // namespace Velmora::Internal
