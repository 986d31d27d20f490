#pragma once

#include "framework/framework_global.h"

#include <QString>
#include <QStringList>

// The text the list dialog writes for the rows a user chose: each row's raw key in single
// quotes (a quote inside a key doubled), joined by commas, in the dialog's row order, e.g.
// '12345678000195','98765432000110'. Empty means all. Report queries test a row with
// INSTR(:P, '''' || KEY || '''') > 0, so the quotes keep one key from matching inside
// another.
namespace SelectionString {

VELMORA_FRAMEWORK_EXPORT QString Quote(const QString &key);
// Adds one key to a selection string being built.
VELMORA_FRAMEWORK_EXPORT void Append(QString &selection, const QString &key);
VELMORA_FRAMEWORK_EXPORT QString Format(const QStringList &keys);
// The keys of a selection string; a bare (unquoted) key between commas is taken as it is.
VELMORA_FRAMEWORK_EXPORT QStringList Parse(const QString &selection);

} // namespace SelectionString
