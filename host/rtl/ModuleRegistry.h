#pragma once

#include "rtl_global.h"

#include <QList>
#include <QString>

// The run-time library's list of loaded modules. A module registers itself from its library
// constructor and unregisters from its destructor (VELMORA_REGISTER_MODULE does both).
// A language resource file found beside the module's file ("<file>.<language>.rcc", e.g.
// libfis01400.so.pt_BR.rcc) supplies the module's resources before its own, and is released
// when the module unregisters.
namespace ModuleRegistry {

struct ModuleInfo
{
    void *handle = nullptr; // the system loader's handle of the module
    QString fileName;       // the module's file
    QString resourceModule; // the language resource file, or the module's own file
    QString resourceRoot;   // where the language resources are mapped, empty without one
};

// anchor: any address inside the module.
VELMORA_RTL_EXPORT void RegisterModule(const void *anchor);
VELMORA_RTL_EXPORT void UnregisterModule(const void *anchor);
VELMORA_RTL_EXPORT QList<ModuleInfo> Modules();
VELMORA_RTL_EXPORT bool FindModule(const QString &fileName, ModuleInfo &info);
// The resource path to read for "path" (":/..." form) of the module holding anchor: the
// language resource's copy when it has one, else the module's own.
VELMORA_RTL_EXPORT QString ResourcePath(const void *anchor, const QString &path);

} // namespace ModuleRegistry

#define VELMORA_REGISTER_MODULE()                                                                  \
    namespace {                                                                                    \
    __attribute__((constructor)) void velmoraModuleAttach()                                        \
    {                                                                                              \
        ModuleRegistry::RegisterModule(reinterpret_cast<const void *>(&velmoraModuleAttach));      \
    }                                                                                              \
    __attribute__((destructor)) void velmoraModuleDetach()                                         \
    {                                                                                              \
        ModuleRegistry::UnregisterModule(reinterpret_cast<const void *>(&velmoraModuleAttach));    \
    }                                                                                              \
    }
