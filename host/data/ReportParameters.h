#pragma once

#include "data_global.h"

#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <optional>

namespace Velmora {

// A report query's parameters as the report queue keeps and sends them: a JSON object where a
// text is a string, a date is {"data": "YYYY-MM-DD"} (so a text that reads like a date stays a
// text) and null is null. The screen that queues and the server that runs share this form.

// Raises Exception for a value of any other kind, naming the parameter.
VELMORA_DATA_EXPORT QString ReportParametersJson(const QVariantMap &params);
// Back from a stored or sent text (Firebird's driver may give a text BLOB as bytes). Empty when
// it is no JSON object of those kinds.
VELMORA_DATA_EXPORT std::optional<QVariantMap> ReportParametersOfJson(const QVariant &stored);

} // namespace Velmora
