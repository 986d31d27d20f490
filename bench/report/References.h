#pragma once

#include <QString>

// The ceilings the report outputs are measured against, over the same rows: each reads the
// query straight through the SQLite library (no report machinery) and writes the file in
// the plainest way. Each returns rows per second and the row count in *rows.
double SqliteCsvCeiling(const QString &database, const QString &query, const QString &out,
                        qint64 *rows);
double BareXlsxCeiling(const QString &database, const QString &query, const QString &out,
                       qint64 *rows);
double PlainPdfLoop(const QString &database, const QString &query, const QString &out,
                    qint64 *rows);
