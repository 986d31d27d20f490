#pragma once

#include "data_global.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariant>

#include <functional>

namespace Velmora {

// Whether a text only reads: a SELECT (or WITH) that names no statement changing data or
// definitions outside its quotes and comments (PostgreSQL would run a DELETE inside WITH).
VELMORA_DATA_EXPORT bool IsReadOnlyText(const QString &text);

// A read whose rows are taken one at a time as the caller goes (forward-only, numbers as
// doubles), for answers too large to hold: the reports. It keeps the queries' rules: only a
// text that reads runs (on SQLite the engine is asked too), and each ":NAME" is bound by name
// to valueOf(NAME). Raises EDatabaseError with the refusal or the engine's own text.
VELMORA_DATA_EXPORT QSqlQuery
OpenStreamingRead(const QSqlDatabase &db, const QString &text,
                  const std::function<QVariant(const QString &name)> &valueOf);

} // namespace Velmora
