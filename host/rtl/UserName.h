#pragma once

#include "rtl_global.h"

#include <QString>

namespace Velmora {

// Who is working: the settings' [User] Name, else the operating system's user, else
// "usuario". At most 40 characters, the size of the owner columns.
VELMORA_RTL_EXPORT QString UserName();

} // namespace Velmora
