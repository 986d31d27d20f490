#pragma once

#include <QtCore/qglobal.h>

#if defined(VELMORA_RTL_LIBRARY)
#define VELMORA_RTL_EXPORT Q_DECL_EXPORT
#else
#define VELMORA_RTL_EXPORT Q_DECL_IMPORT
#endif
