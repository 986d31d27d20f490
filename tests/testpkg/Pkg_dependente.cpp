// Requires the test package: it loads only after it, and holds it in memory while loaded.
#include "MinimalPackage.h"

TESTPKG_MINIMAL_PACKAGE("velmora_rtl", "velmora_testpkg")
