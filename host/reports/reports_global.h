#pragma once

#include <QtCore/qglobal.h>

#if defined(VELMORA_REPORTS_LIBRARY)
#define VELMORA_REPORTS_EXPORT Q_DECL_EXPORT
#else
#define VELMORA_REPORTS_EXPORT Q_DECL_IMPORT
#endif
