#pragma once

#include <QtCore/qglobal.h>

#if defined(VELMORA_TESTPKG_LIBRARY)
#define VELMORA_TESTPKG_EXPORT Q_DECL_EXPORT
#else
#define VELMORA_TESTPKG_EXPORT Q_DECL_IMPORT
#endif
