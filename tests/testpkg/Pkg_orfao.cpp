// Requires the test package and a package that exists nowhere: the loader must refuse it,
// naming what is missing.
#include "MinimalPackage.h"

TESTPKG_MINIMAL_PACKAGE("velmora_rtl", "velmora_testpkg", "velmora_ausente")
