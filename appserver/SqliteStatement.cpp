#include "SqliteStatement.h"

#include "DatabaseAccess.h"
#include "data/DriverHandle.h"

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QVariant>

#include <sqlite3.h>

namespace AppServer {

SqliteStatement::SqliteStatement(sqlite3 *db, const std::string &sql) : m_db(db)
{
    if (sqlite3_prepare_v3(db, sql.c_str(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT,
                           &m_statement, nullptr) != SQLITE_OK) {
        const std::string message = sqlite3_errmsg(db);
        sqlite3_finalize(m_statement);
        throw DatabaseFailure(message);
    }
}

SqliteStatement::~SqliteStatement()
{
    sqlite3_finalize(m_statement);
}

void SqliteStatement::fail() const
{
    const std::string message = sqlite3_errmsg(m_db);
    sqlite3_reset(m_statement);
    throw DatabaseFailure(message);
}

void SqliteStatement::start()
{
    sqlite3_reset(m_statement);
}

void SqliteStatement::bind(int index, std::string_view utf8)
{
    if (sqlite3_bind_text(m_statement, index + 1, utf8.data(), static_cast<int>(utf8.size()),
                          SQLITE_TRANSIENT) != SQLITE_OK)
        fail();
}

bool SqliteStatement::step()
{
    const int result = sqlite3_step(m_statement);
    if (result == SQLITE_ROW)
        return true;
    if (result != SQLITE_DONE)
        fail();
    return false;
}

void SqliteStatement::finish()
{
    sqlite3_reset(m_statement);
}

std::string_view SqliteStatement::text(int column, bool *isText) const
{
    if (isText)
        *isText = sqlite3_column_type(m_statement, column) == SQLITE_TEXT;
    const auto *bytes = reinterpret_cast<const char *>(sqlite3_column_text(m_statement, column));
    if (!bytes)
        return {};
    return {bytes, static_cast<std::size_t>(sqlite3_column_bytes(m_statement, column))};
}

long long SqliteStatement::integer(int column) const
{
    return sqlite3_column_int64(m_statement, column);
}

sqlite3 *sqliteHandleOf(const QSqlDatabase &database)
{
    return Velmora::DriverHandle<sqlite3 *>(database, {"sqlite3*"});
}

bool tuneForReading(sqlite3 *db)
{
    return sqlite3_exec(db, "PRAGMA query_only = ON", nullptr, nullptr, nullptr) == SQLITE_OK;
}

} // namespace AppServer
