#pragma once

#include "framework_global.h"

#include <QString>

class TForm;

namespace FormLoader {

// Builds the screen from its form description (a JSON file, usually in the module's
// resources): applies the base description it inherits first, then its own as deltas;
// creates every component through the component registry in declaration order, sets their
// published properties, binds each event to the handler of that name on the screen's class
// and lays the focus chain out from the tab orders. Raises Exception naming the component,
// property, class, parent or handler at fault; the screen is then unusable.
VELMORA_FRAMEWORK_EXPORT void Load(TForm *form, const QString &path);

} // namespace FormLoader
