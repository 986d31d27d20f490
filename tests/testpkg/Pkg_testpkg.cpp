// The package unit of the test package: its entry points and its package description.
#include "Cli_teste.h"

#include "rtl/ModuleRegistry.h"
#include "rtl/PackageInfo.h"

namespace {

int Pkg_testpkg_Nesting = 0;

void Pkg_testpkg_Initialization()
{
    RegistrarTrilha(QStringLiteral("Pkg_testpkg.initialization"));
}

void Pkg_testpkg_Finalization()
{
    RegistrarTrilha(QStringLiteral("Pkg_testpkg.finalization"));
}

const char *const requiredPackages[] = {"velmora_rtl", "velmora_framework"};

const VelmoraUnit units[] = {
    {"Pkg_testpkg", &Pkg_testpkg_Initialization, &Pkg_testpkg_Finalization, &Pkg_testpkg_Nesting},
    {"Cli_teste", &Cli_teste_Initialization, &Cli_teste_Finalization, &Cli_teste_Nesting},
};

const VelmoraScreen screens[] = {
    {"TST00100", "Tela de Teste", "IniProc"},
};

const VelmoraPackageInfo packageInfo = {
    VELMORA_PACKAGE_INFO_VERSION, 2, requiredPackages, 2, units, 1, screens,
};

} // namespace

VELMORA_REGISTER_MODULE()

extern "C" {

VELMORA_TESTPKG_EXPORT const VelmoraPackageInfo *GetPackageInfoTable()
{
    return &packageInfo;
}

VELMORA_TESTPKG_EXPORT void Initialize()
{
    InitializePackage(&packageInfo);
}

VELMORA_TESTPKG_EXPORT void Finalize()
{
    FinalizePackage(&packageInfo);
}
}
