#pragma once

#include <QStringList>

namespace Velmora::Internal {

// The placeholder names of a statement as spelled, each spelling once: the drivers match a
// bound name letter for letter, so ":p_x" and ":P_X" are bound separately.
QStringList PlaceholderSpellings(const QString &sql);

} // namespace Velmora::Internal
