#pragma once

#include "data_global.h"

#include <QJsonObject>
#include <QVariant>

#include <optional>

namespace Velmora {

// The JSON object a long-text column holds, whether the driver hands the text over as a text
// or as bytes (Firebird's text BLOB); none for a null, or a text that is no JSON object.
VELMORA_DATA_EXPORT std::optional<QJsonObject> JsonObjectOfColumn(const QVariant &stored);

} // namespace Velmora
