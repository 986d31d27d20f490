// The package unit of the test package: its entry points and its package description.
#include "Cli_teste.h"

#include "rtl/ModuleRegistry.h"
#include "rtl/Package.h"

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
    VELMORA_UNIT(Pkg_testpkg),
    VELMORA_UNIT(Cli_teste),
};

const VelmoraScreen screens[] = {
    {"TST00100", "Tela de Teste", "IniProc"},
};

} // namespace

VELMORA_PACKAGE(VELMORA_TESTPKG_EXPORT, requiredPackages, units, screens)

VELMORA_REGISTER_MODULE()
