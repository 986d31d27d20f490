#pragma once

#include <QString>

// Fills a SQLite file with the report tables and `documents` entry documents of company 01
// over the year 2024, each with its tax 01 row (a third also with tax 02), from 2,000
// suppliers and 20 branches. The same shape as the demo data, written straight through the
// SQLite library so that a million documents take seconds.
void CreateBenchDatabase(const QString &path, int documents);
