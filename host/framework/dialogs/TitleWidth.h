#pragma once

#include "framework/framework_global.h"

class QWidget;

namespace Velmora {

// Widens a small dialog so that the window manager shows its whole title: a dialog as narrow
// as its few controls would have its title cut short, and the title says what is being asked.
VELMORA_FRAMEWORK_EXPORT void FitTitle(QWidget *dialog);

} // namespace Velmora
