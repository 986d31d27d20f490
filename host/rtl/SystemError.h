#pragma once

#include "rtl_global.h"

#include <QString>

namespace Velmora {

// The reason a system call gave, in the words the user reads: the common file and disk
// failures in Portuguese, any other as the system puts it. No trailing full stop.
VELMORA_RTL_EXPORT QString SystemErrorText(int errnum);

} // namespace Velmora
