#pragma once

#include <QDate>
#include <QMap>
#include <QString>

#include <functional>

namespace Velmora {
class DBConnection;
}

// Realistic demonstration data: companies with branches and state and municipal
// registrations, taxes collected by the state ("E"), the municipality ("M"), the federal
// government ("F") or with an empty collecting body, monthly assessment maps, suppliers
// (companies with valid CNPJ and persons with valid CPF) and entry documents with their
// taxes spread over suppliers, branches and months. The same options give the same data on
// every engine.
namespace Velmora::Db {

struct DemoOptions
{
    qint64 documents = 1000;
    qint64 suppliers = 0; // 0: a tenth of the documents, at least 50
    int companies = 3;
    int branches = 4; // per company
    int months = 24;
    QDate start = QDate(2023, 1, 1);
    quint64 seed = 20240101;
};

struct DemoResult
{
    QMap<QString, qint64> rowsPerTable;
};

// Needs an empty database (it creates the schema when there is none); raises EDatabaseError
// for bad options, a database that already holds data, or a failed write. It commits in
// steps, so a failure midway leaves part of the data: start over on a fresh database.
DemoResult GenerateDemo(DBConnection &db, const DemoOptions &options,
                        const std::function<void(const QString &)> &progress = {});

} // namespace Velmora::Db
