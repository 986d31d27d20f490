#pragma once

#include <QString>

// A SQLite file of assessment maps for the benchmark: 100 companies x 10 taxes x 10
// registrations, one map a month, as many months as `rows` asks. Kept between runs.
struct MapShape
{
    static constexpr int companies = 100, taxes = 10, registrations = 10;
    int months = 100;
    static QString company(int i) { return QStringLiteral("%1").arg(i, 2, 10, QLatin1Char('0')); }
    static QString tax(int i) { return QStringLiteral("%1").arg(i + 1, 2, 10, QLatin1Char('0')); }
    static QString registration(int i) { return QStringLiteral("1000%1").arg(i); }
};

// Returns the path of the file (made when missing); empty with *error on failure.
QString prepareMapDatabase(const QString &folder, long long rows, MapShape &shape, QString *error);
