#pragma once

#include "rtl_global.h"

#include <QJsonParseError>
#include <QString>

namespace Velmora {

// What is wrong with a JSON text, in Portuguese: "objeto não terminado", ...
VELMORA_RTL_EXPORT QString JsonErrorText(QJsonParseError::ParseError error);

} // namespace Velmora
