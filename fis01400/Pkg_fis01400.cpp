// The package unit of the module: its entry points and its package description.
#include "Cli_fis01400.h"

#include "rtl/ModuleRegistry.h"
#include "rtl/Package.h"

namespace {

int Pkg_fis01400_Nesting = 0;

const char *const requiredPackages[] = {"velmora_rtl", "velmora_framework", "velmora_reports"};

const VelmoraUnit units[] = {
    {"Pkg_fis01400", nullptr, nullptr, &Pkg_fis01400_Nesting},
    VELMORA_UNIT(Cli_fis01400),
};

const VelmoraScreen screens[] = {
    {"FIS01400", "Documentos por Fornecedor", "IniProc"},
};

} // namespace

VELMORA_PACKAGE(Q_DECL_EXPORT, requiredPackages, units, screens)

// The module registers itself with the run-time library when the system loads it, so its
// language resources, when installed beside it, come first.
VELMORA_REGISTER_MODULE()
