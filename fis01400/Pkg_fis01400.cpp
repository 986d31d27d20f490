// The package unit of the module: its entry points and its package description.
#include "Cli_fis01400.h"

#include "rtl/ModuleRegistry.h"
#include "rtl/PackageInfo.h"

namespace {

int Pkg_fis01400_Nesting = 0;

const char *const requiredPackages[] = {"velmora_rtl", "velmora_framework", "velmora_reports"};

const VelmoraUnit units[] = {
    {"Pkg_fis01400", nullptr, nullptr, &Pkg_fis01400_Nesting},
    {"Cli_fis01400", &Cli_fis01400_Initialization, &Cli_fis01400_Finalization,
     &Cli_fis01400_Nesting},
};

const VelmoraScreen screens[] = {
    {"FIS01400", "Documentos por Fornecedor", "IniProc"},
};

const VelmoraPackageInfo packageInfo = {
    VELMORA_PACKAGE_INFO_VERSION, 3, requiredPackages, 2, units, 1, screens,
};

} // namespace

// The module registers itself with the run-time library when the system loads it, so its
// language resources, when installed beside it, come first.
VELMORA_REGISTER_MODULE()

extern "C" {

Q_DECL_EXPORT const VelmoraPackageInfo *GetPackageInfoTable()
{
    return &packageInfo;
}

Q_DECL_EXPORT void Initialize()
{
    InitializePackage(&packageInfo);
}

Q_DECL_EXPORT void Finalize()
{
    FinalizePackage(&packageInfo);
}
}
