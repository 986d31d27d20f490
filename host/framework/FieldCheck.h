#pragma once

#include "framework_global.h"

#include <utility>

class QWidget;

namespace Velmora {

// A move of the focus made by the screen's own code: it runs no exit, and an edit's whole text
// is selected. A control that is disabled or hidden keeps the focus where it is.
VELMORA_FRAMEWORK_EXPORT void MoveFocus(QWidget *control);

// Runs a field's check; when it fails (a message shown, or any other exception) the focus
// goes to the field before the failure goes on, so the user corrects it there.
template <class Check> void FocusOnFailure(QWidget *control, Check &&check)
{
    try {
        std::forward<Check>(check)();
    } catch (...) {
        MoveFocus(control);
        throw;
    }
}

} // namespace Velmora
