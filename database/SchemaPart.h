#pragma once

#include "Schema.h"

#include <QByteArray>
#include <QString>
#include <QVector>

namespace Velmora::Db {

// The tables of a module's schema part (a module's schema/tables.json), in their order.
// Raises Exception naming `where` when the text is not a part this version reads.
QVector<TableDef> ReadSchemaPart(const QByteArray &json, const QString &where);

// The parts built into this program, by module, in the order of their names.
QVector<TableDef> BuiltInSchemaParts();

} // namespace Velmora::Db
