#pragma once

#include "testpkg_global.h"

#include "rtl/Package.h"

// A package with no units and no screens, only the packages it requires: enough for the
// loader's checks of what must be loaded first.
#define TESTPKG_MINIMAL_PACKAGE(...)                                                               \
    namespace {                                                                                    \
    const char *const requiredPackages[] = {__VA_ARGS__};                                          \
    }                                                                                              \
    VELMORA_PACKAGE(VELMORA_TESTPKG_EXPORT, requiredPackages, nullptr, nullptr)
