#pragma once

#include "rtl_global.h"

// The description a package hands to the host's package loader through its exported
// GetPackageInfoTable(). The layout is plain C so that any package, whatever built it, can
// describe itself; the tables live in the package and stay valid while it is loaded.

#define VELMORA_PACKAGE_INFO_VERSION 1

#ifdef __cplusplus
extern "C" {
#endif

typedef void (*VelmoraUnitProc)(void);

// One unit of the package. Its nesting counter starts at 0: the initialisation runs only on
// the first of nested initialisations (0 -> 1), the finalisation only when the counter comes
// back to 0. The counter belongs to the unit, so the loader and tests can read it.
typedef struct VelmoraUnit
{
    const char *name;
    VelmoraUnitProc initialization; // may be null
    VelmoraUnitProc finalization;   // may be null
    int *nesting;
} VelmoraUnit;

// A screen the package offers to the host's menu, entered through an exported procedure
// without arguments (e.g. "FIS01400", "Documentos por Fornecedor", "IniProc").
typedef struct VelmoraScreen
{
    const char *code;
    const char *caption;
    const char *entryProc;
} VelmoraScreen;

typedef struct VelmoraPackageInfo
{
    int version; // VELMORA_PACKAGE_INFO_VERSION
    // Packages that must be loaded before this one, by name ("velmora_framework").
    int requiredCount;
    const char *const *required;
    // Units in initialisation order; they are finalised in the reverse order.
    int unitCount;
    const VelmoraUnit *units;
    int screenCount;
    const VelmoraScreen *screens;
} VelmoraPackageInfo;

// What the package's exported Initialize() and Finalize() call with its own table.
// A unit procedure that raises: on initialisation, the units this call initialised are
// finalised again in reverse order and the exception travels on; on finalisation, the other
// units are still finalised and the first exception travels on once all have run.
VELMORA_RTL_EXPORT void InitializePackage(const VelmoraPackageInfo *table);
VELMORA_RTL_EXPORT void FinalizePackage(const VelmoraPackageInfo *table);

#ifdef __cplusplus
}
#endif
