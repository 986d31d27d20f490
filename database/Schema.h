#pragma once

#include "data/DatabaseKind.h"

#include <QString>
#include <QStringList>
#include <QVector>

namespace Velmora {
class DBConnection;
}

// The tables of the platform and of the modules' schema parts (SchemaPart.h), and the
// statements that create them on each engine. Text columns are VARCHAR (never padded
// CHAR), long texts TEXT (on Firebird BLOB SUB_TYPE TEXT), money NUMERIC(15,2), rates
// NUMERIC(7,4), counts BIGINT (INTEGER on SQLite), dates DATE and timestamps TIMESTAMP (on SQLite
// "YYYY-MM-DD" and "YYYY-MM-DD HH:MM:SS" texts, which a check keeps in that form).
namespace Velmora::Db {

enum class ColumnType { Text, Date, Money, Rate, LongText, Timestamp, Integer };

struct ColumnDef
{
    QString name;
    ColumnType type = ColumnType::Text;
    int size = 0; // characters of a text column (not of a long text)
    bool notNull = false;
};

struct IndexDef
{
    QString name;
    QStringList columns;
    // Firebird indexes the columns of every foreign key by itself: such an index is skipped
    // there.
    bool coversForeignKey = false;
    bool unique = false;
};

struct ReferenceDef
{
    QString name;
    QStringList columns;
    QString table;
    QStringList referenced;
};

struct TableDef
{
    QString name;
    QVector<ColumnDef> columns;
    QStringList key;
    QVector<ReferenceDef> references;
    QVector<IndexDef> indexes;

    const ColumnDef *column(const QString &name) const;
};

// In an order that loads parents before children.
const QVector<TableDef> &Tables();
const TableDef *FindTable(const QString &name);

// Tables with their keys and references, then indexes, then the dialect routines.
QStringList CreateStatements(Engine engine);
// Whether the schema's tables exist on the connection.
bool SchemaExists(DBConnection &db);
// Creates the schema; raises EDatabaseError when a table already exists or a statement fails.
void CreateSchema(DBConnection &db);
// What an upgrade added: tables, and columns ("TABLE.COLUMN") of tables that were there.
struct SchemaUpgrade
{
    QStringList tables, columns;
    bool writeAheadLog = false; // an SQLite file put in WAL mode
    bool isEmpty() const { return tables.isEmpty() && columns.isEmpty() && !writeAheadLog; }
    // "Tabela X criada.", "Coluna X.Y criada.", as the tools tell the user.
    QStringList lines() const;
};

// Creates the tables of Tables() that the database lacks, with their indexes, and adds the
// columns that the tables it has lack (nullable ones: rows already there have no value for
// them), and puts an SQLite file in WAL mode. Rows are kept. Raises EDatabaseError when the
// database has no schema at all, a missing column may not be null, or a statement fails.
SchemaUpgrade UpgradeSchema(DBConnection &db);

} // namespace Velmora::Db
