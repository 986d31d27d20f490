#pragma once

#include "StreamingRead.h"

#include <functional>
#include <memory>

namespace Velmora::Internal {

// A streaming read on Firebird through the client library, in a read-only snapshot
// transaction of its own on the connection's attachment (the InterBase driver would run it
// in a transaction that may write). Dates come as QDate, timestamps as QDateTime, decimals as
// doubles. Raises EWriteRefused when the statement is no SELECT or the engine stops a write.
std::unique_ptr<StreamingRead::Cursor>
OpenFirebirdRead(const QSqlDatabase &db, const QString &text,
                 const std::function<QVariant(const QString &name)> &valueOf);

} // namespace Velmora::Internal
