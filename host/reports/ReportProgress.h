#pragma once

#include "reports_global.h"

#include "rtl/Exceptions.h"

#include <atomic>

namespace Velmora::Reports {

// How far a report run has come, read by the screen's thread while the run's own thread
// writes it; and the screen's wish that it stop.
struct ReportProgress
{
    std::atomic<qint64> rows{0};
    std::atomic<int> pages{0};
    std::atomic<bool> cancel{false};

    // Raises ReportCancelled once the run was asked to stop.
    void check() const;
};

// A run stopped at the user's wish: an abort, which says nothing more.
class VELMORA_REPORTS_EXPORT ReportCancelled : public EAbort
{
};

inline void ReportProgress::check() const
{
    if (cancel.load(std::memory_order_relaxed))
        throw ReportCancelled();
}

} // namespace Velmora::Reports
