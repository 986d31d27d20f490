#pragma once

#include "reports_global.h"

#include <QString>

class QWidget;

namespace Velmora::Reports {

class ScreenVariants;

// Has the application server run one of the clerk's saved sets by itself: the set is loaded
// into the screen (its checks run as when typed), the clerk says when and in which format, and
// the report as the screen's full check now gives it becomes the schedule's job, its period
// moving with each occurrence when the set keeps a relative one. Raises on a server failure.
VELMORA_REPORTS_EXPORT void ScheduleSavedSet(ScreenVariants &variants, const QString &name,
                                             QWidget *parent);

// The clerk's schedules of the screen, each removable.
VELMORA_REPORTS_EXPORT void ShowSchedules(ScreenVariants &variants, QWidget *parent);

} // namespace Velmora::Reports
