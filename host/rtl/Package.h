#pragma once

#include "PackageInfo.h"

#include <cstddef>

// A package's description and entry points in a few declarative lines:
//
//   const char *const required[] = {"velmora_rtl", "velmora_framework"};
//   const VelmoraUnit units[] = {VELMORA_UNIT(Cli_fis01400)};
//   const VelmoraScreen screens[] = {{"FIS01400", "Documentos por Fornecedor", "IniProc"}};
//   VELMORA_PACKAGE(Q_DECL_EXPORT, required, units, screens)
//
// Each list may be nullptr. The counts follow the lists, so they cannot disagree.

namespace Velmora::PackageTables {
template <class T, std::size_t N> constexpr int count(const T (&)[N])
{
    return static_cast<int>(N);
}
constexpr int count(std::nullptr_t)
{
    return 0;
}
} // namespace Velmora::PackageTables

// A unit whose procedures are <unit>_Initialization and <unit>_Finalization and whose nesting
// counter is <unit>_Nesting.
#define VELMORA_UNIT(unit)                                                                         \
    VelmoraUnit                                                                                    \
    {                                                                                              \
#unit, &unit##_Initialization, &unit##_Finalization, &unit##_Nesting                       \
    }

// The package's table and its exported GetPackageInfoTable(), Initialize() and Finalize(),
// marked with the package's export macro.
#define VELMORA_PACKAGE(EXPORT, required, units, screens)                                          \
    namespace {                                                                                    \
    const VelmoraPackageInfo velmoraPackageInfo = {                                                \
        VELMORA_PACKAGE_INFO_VERSION,                                                              \
        Velmora::PackageTables::count(required),                                                   \
        required,                                                                                  \
        Velmora::PackageTables::count(units),                                                      \
        units,                                                                                     \
        Velmora::PackageTables::count(screens),                                                    \
        screens,                                                                                   \
    };                                                                                             \
    }                                                                                              \
    extern "C" {                                                                                   \
    EXPORT const VelmoraPackageInfo *GetPackageInfoTable()                                         \
    {                                                                                              \
        return &velmoraPackageInfo;                                                                \
    }                                                                                              \
    EXPORT void Initialize()                                                                       \
    {                                                                                              \
        InitializePackage(&velmoraPackageInfo);                                                    \
    }                                                                                              \
    EXPORT void Finalize()                                                                         \
    {                                                                                              \
        FinalizePackage(&velmoraPackageInfo);                                                      \
    }                                                                                              \
    }
