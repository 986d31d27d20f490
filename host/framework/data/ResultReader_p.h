#pragma once

#include "DatabaseKind.h"
#include "TDataSet.h"

#include <QSqlQuery>

namespace Velmora::Internal {

// Reads the whole answer of an executed statement into columns and rows: dates become
// TDateTime whatever the engine hands back (SQLite keeps them as "YYYY-MM-DD" text in
// columns declared DATE), nulls stay null. maxRows > 0 stops after that many rows.
void ReadResult(QSqlQuery &query, Engine engine, int maxRows, QVector<TDataSet::Column> &columns,
                QVector<QVector<QVariant>> &rows);

} // namespace Velmora::Internal
