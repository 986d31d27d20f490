#pragma once

#include "TDataSet.h"
#include "data_global.h"

#include <QJsonObject>

// The data packet that the application server answers with and an in-memory dataset takes
// as its whole data:
//   {"fields":[{"name":"DTINICIAL","type":"string","size":13}, ...],
//    "rows":[["01/2024", 45292], ...], "status":0, "message":""}
// Field types: "string" (a JSON string), "datetime" (a JSON number holding the TDateTime
// value: days since 30/12/1899, the time as the fraction), "integer" and "float" (JSON
// numbers). Any cell may be null. A status other than 0 is a failure that "message" explains.
namespace Velmora::DataPacket {

struct Content
{
    QVector<TDataSet::Column> columns;
    QVector<QVector<QVariant>> rows;
};

// Reads a packet; raises EDatabaseError naming the dataset, and the field or row at fault.
VELMORA_DATA_EXPORT Content Parse(const QJsonObject &packet, const QString &dataSetName);

// The packet of a dataset's whole data (status 0); the server answers with it.
VELMORA_DATA_EXPORT QJsonObject FromDataSet(const TDataSet &dataSet);
// A failure packet: no fields, no rows, the status and its message.
VELMORA_DATA_EXPORT QJsonObject Failure(int status, const QString &message);

} // namespace Velmora::DataPacket
