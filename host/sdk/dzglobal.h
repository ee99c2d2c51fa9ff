#pragma once
// Export macro of the host SDK library.
#include <QtCore/qglobal.h>

#if defined(DZCORE_LIBRARY)
#  define DZCORE_API Q_DECL_EXPORT
#else
#  define DZCORE_API Q_DECL_IMPORT
#endif
