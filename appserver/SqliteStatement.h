#pragma once

#include <string>
#include <string_view>

class QSqlDatabase;
struct sqlite3;
struct sqlite3_stmt;

namespace AppServer {

// A statement prepared once on a worker's SQLite connection and run many times through the
// library's own interface: the lookups answer thousands of times a second, and Qt's layer
// (named placeholders built per bind, a record and a variant per value) costs more than the
// query. Raises DatabaseFailure with the library's message.
class SqliteStatement
{
public:
    SqliteStatement(sqlite3 *db, const std::string &sql);
    ~SqliteStatement();
    SqliteStatement(const SqliteStatement &) = delete;
    SqliteStatement &operator=(const SqliteStatement &) = delete;

    // Starts a run: the previous one is ended and its values let go.
    void start();
    void bind(int index, std::string_view utf8); // index from 0
    // True while there is a row.
    bool step();
    // Ends the read, so the connection holds no read transaction between calls.
    void finish();
    // The column's text, empty for a null; `isText` says whether it was stored as text.
    std::string_view text(int column, bool *isText = nullptr) const;
    long long integer(int column) const;

private:
    [[noreturn]] void fail() const;

    sqlite3 *m_db;
    sqlite3_stmt *m_statement = nullptr;
};

// The SQLite connection under a Qt one; null for other drivers.
sqlite3 *sqliteHandleOf(const QSqlDatabase &database);

// A worker's connection only reads: writes are refused outright. (Mapping the file into memory
// made no difference beyond the noise in the benchmark, and each worker's mapping counts again
// in the resident size, so the memory check of the long run could not tell a leak.)
bool tuneForReading(sqlite3 *db);

} // namespace AppServer
