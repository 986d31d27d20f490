#pragma once

#include "testpkg_global.h"

#include "rtl/PackageInfo.h"

// A package with no units and no screens, only the packages it requires: enough for the
// loader's checks of what must be loaded first.
#define TESTPKG_MINIMAL_PACKAGE(...)                                                               \
    namespace {                                                                                    \
    const char *const requiredPackages[] = {__VA_ARGS__};                                          \
    const VelmoraPackageInfo packageInfo = {                                                       \
        VELMORA_PACKAGE_INFO_VERSION,                                                              \
        static_cast<int>(sizeof(requiredPackages) / sizeof(requiredPackages[0])),                  \
        requiredPackages,                                                                          \
        0,                                                                                         \
        nullptr,                                                                                   \
        0,                                                                                         \
        nullptr,                                                                                   \
    };                                                                                             \
    }                                                                                              \
    extern "C" {                                                                                   \
    VELMORA_TESTPKG_EXPORT const VelmoraPackageInfo *GetPackageInfoTable()                         \
    {                                                                                              \
        return &packageInfo;                                                                       \
    }                                                                                              \
    VELMORA_TESTPKG_EXPORT void Initialize()                                                       \
    {                                                                                              \
        InitializePackage(&packageInfo);                                                           \
    }                                                                                              \
    VELMORA_TESTPKG_EXPORT void Finalize()                                                         \
    {                                                                                              \
        FinalizePackage(&packageInfo);                                                             \
    }                                                                                              \
    }
