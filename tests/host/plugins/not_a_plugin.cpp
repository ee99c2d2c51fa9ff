// A shared library that is not a plug-in: it has no plug-in entry points.
#include <QtGlobal>

extern "C" Q_DECL_EXPORT int answer() { return 42; }
