#pragma once

#include "framework_global.h"

#include <QColor>

namespace Velmora {

// The contrast ratio of two colours by their relative luminance (1 to 21), as the web's
// accessibility guidelines define it.
VELMORA_FRAMEWORK_EXPORT double ContrastRatio(const QColor &a, const QColor &b);

// The text colour itself when it reads on the background with at least the ratio given, else
// the nearest colour of its hue, darker on a light background and lighter on a dark one,
// that does.
VELMORA_FRAMEWORK_EXPORT QColor ReadableOn(const QColor &text, const QColor &background,
                                           double ratio = 4.5);

} // namespace Velmora
