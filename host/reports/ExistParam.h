#pragma once

#include "reports_global.h"

#include <QString>

class TParams;

// True when the report query's parameter list declares a parameter of that name. Report
// queries are written by hand in any letter case, so the name matches without regard to it.
VELMORA_REPORTS_EXPORT bool ExistParam(const TParams *params, const QString &name);
