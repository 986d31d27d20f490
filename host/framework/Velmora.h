#pragma once

#include "framework_global.h"

#include <QString>

namespace Velmora {

// The application server's port, [AppServer] Port of the settings in force.
VELMORA_FRAMEWORK_EXPORT int WebPort();
// The application server's host address as text, [AppServer] Host of the settings in force.
VELMORA_FRAMEWORK_EXPORT QString WebURL();

} // namespace Velmora
