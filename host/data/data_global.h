#pragma once

#include <QtCore/qglobal.h>

#if defined(VELMORA_DATA_LIBRARY)
#define VELMORA_DATA_EXPORT Q_DECL_EXPORT
#else
#define VELMORA_DATA_EXPORT Q_DECL_IMPORT
#endif
