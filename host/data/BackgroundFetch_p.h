#pragma once

#include "DBConnection.h"
#include "TDataSet.h"

#include <QString>
#include <QVariant>
#include <QVector>

#include <functional>
#include <memory>

namespace Velmora::Internal {

// What a background read needs: the statement to run again, where, and what to do should
// the read fail before it gives any row (read the rest where the first rows came from).
struct BackgroundRead
{
    QString name; // the query's, for messages
    ConnectionSettings settings;
    QString text;
    bool exactDecimals = false;
    QVector<QVariant> values; // one per placeholder of text, in their order
    int skip = 0;             // rows the caller already holds
    // Reads every row after the first skip ones on the caller's own connection.
    std::function<bool(QVector<QVector<QVariant>> &rows, QString &error)> readHere;
};

// Reads the rest of a result on a thread with a connection of its own: it runs the statement
// again, passes over the rows the caller holds, and hands the others over in packets. It
// stays at most a few packets ahead of the caller, so an abandoned list holds little memory.
std::unique_ptr<TDataSet::RowSource> ReadInBackground(BackgroundRead read);

} // namespace Velmora::Internal
