#pragma once

#include "data/StoreStatement.h"

namespace AppServer::Jobs {

// The queue's tables, and what a database without them is told.
extern const Velmora::StoreTables queueTables;

// One statement of the queue (see StoreStatement).
class JobStatement : public Velmora::StoreStatement
{
public:
    JobStatement(Velmora::DBConnection &db, const QString &what)
        : StoreStatement(db, queueTables, what)
    {}
};

} // namespace AppServer::Jobs
