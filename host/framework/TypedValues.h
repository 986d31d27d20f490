#pragma once

#include "framework_global.h"

class QWidget;

#include <QString>

namespace Velmora {

// The value a control publishes (its USER property: an edit's Text), as text.
VELMORA_FRAMEWORK_EXPORT QString ValueText(const QWidget *control);

// Notes what the clerk types or chooses on a screen: an edit whose text they edited, a check
// or choice they clicked. Code writing a value does not count.
VELMORA_FRAMEWORK_EXPORT void TrackTypedValues(QWidget *screen);

// True when the screen holds something the clerk typed or chose and would lose if it went
// away: an edited field that is not empty, or a clicked check or choice.
VELMORA_FRAMEWORK_EXPORT bool HoldsTypedValues(const QWidget *screen);

} // namespace Velmora
