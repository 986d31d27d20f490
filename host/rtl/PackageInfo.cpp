#include "PackageInfo.h"

#include <QLoggingCategory>

#include <exception>

Q_LOGGING_CATEGORY(lcUnits, "velmora.units")

namespace {

// Steps the unit's counter down and runs its finalisation when the counter is back at its
// start. A counter already at its start means the unit was never initialised: nothing runs.
void finalizeUnit(const VelmoraUnit &unit)
{
    if (unit.nesting) {
        if (*unit.nesting <= 0)
            return;
        if (--*unit.nesting != 0)
            return;
    }
    if (unit.finalization)
        unit.finalization();
}

} // namespace

void InitializePackage(const VelmoraPackageInfo *table)
{
    if (!table)
        return;
    int done = 0;
    try {
        for (; done < table->unitCount; ++done) {
            const VelmoraUnit &unit = table->units[done];
            if (unit.nesting && (*unit.nesting)++ != 0)
                continue;
            try {
                if (unit.initialization)
                    unit.initialization();
            } catch (...) {
                // The unit is as it was before: a later load tries it again.
                if (unit.nesting)
                    --*unit.nesting;
                throw;
            }
        }
    } catch (...) {
        // Undo this call's work so the package is left as if it had never been initialised.
        for (int i = done - 1; i >= 0; --i) {
            try {
                finalizeUnit(table->units[i]);
            } catch (...) {
                qCWarning(lcUnits) << "finalization of" << table->units[i].name
                                   << "failed while undoing a failed initialization";
            }
        }
        throw;
    }
}

void FinalizePackage(const VelmoraPackageInfo *table)
{
    if (!table)
        return;
    std::exception_ptr first;
    for (int i = table->unitCount - 1; i >= 0; --i) {
        try {
            finalizeUnit(table->units[i]);
        } catch (...) {
            if (!first)
                first = std::current_exception();
            else
                qCWarning(lcUnits) << "finalization of" << table->units[i].name << "failed";
        }
    }
    if (first)
        std::rethrow_exception(first);
}
