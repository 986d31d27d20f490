#pragma once

#include "data_global.h"

#include <QJsonObject>
#include <QString>
#include <QVariant>

#include <optional>

namespace Velmora {

// The text a long-text column holds, whether the driver hands it over as a text or as bytes
// (Firebird's text BLOB).
VELMORA_DATA_EXPORT QString LongTextOfColumn(const QVariant &stored);
// The JSON object it holds; none for a null, or a text that is no JSON object.
VELMORA_DATA_EXPORT std::optional<QJsonObject> JsonObjectOfColumn(const QVariant &stored);

} // namespace Velmora
