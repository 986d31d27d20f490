#pragma once

#include <QJsonObject>
#include <QMap>
#include <QString>

namespace Velmora {
class DBConnection;
}

// Fixtures: {"TABLE":[{"COLUMN":value,...},...],...}, texts as JSON strings, money and rates as
// JSON numbers, dates as "YYYY-MM-DD". A fixture loads in one transaction, parents first, or
// not at all: a row that does not fit (unknown table or column, wrong kind of value, text
// too long, no date, missing key, repeated key, a key the database already holds) refuses
// the whole fixture with a message that names the table and the row, and leaves the
// database as it was.
namespace Velmora::Db {

struct FixtureResult
{
    QMap<QString, int> rowsPerTable;
    int rows = 0;
};

FixtureResult LoadFixture(DBConnection &db, const QJsonObject &fixture, const QString &source = {});
// Reads the file first; a file that is no JSON object is refused before the database is used.
FixtureResult LoadFixtureFile(DBConnection &db, const QString &path);

} // namespace Velmora::Db
