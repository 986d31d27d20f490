#pragma once

#include <QStringList>

namespace Velmora::Internal {

// The placeholder names of a statement as spelled, each spelling once: the drivers match a
// bound name letter for letter, so ":p_x" and ":P_X" are bound separately.
QStringList PlaceholderSpellings(const QString &sql);

// The statement with each ":NAME" outside quotes and comments turned into "?", and the names
// in the order they occur (a name used twice is listed twice).
QString ToPositional(const QString &sql, QStringList &names);

} // namespace Velmora::Internal
