#pragma once

#include "reports_global.h"

namespace Velmora::Reports {

// Registers the report package's component classes (TReportDesignerDialog, TSaveDialog,
// TPopupMenu, TQRDesignConnection) with the form loader; safe to call more than once. The
// host calls it when it starts, after the framework's own classes.
VELMORA_REPORTS_EXPORT void RegisterReportComponents();

} // namespace Velmora::Reports
