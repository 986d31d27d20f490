#pragma once

#include <QtCore/qglobal.h>

#if defined(VELMORA_FRAMEWORK_LIBRARY)
#define VELMORA_FRAMEWORK_EXPORT Q_DECL_EXPORT
#else
#define VELMORA_FRAMEWORK_EXPORT Q_DECL_IMPORT
#endif
