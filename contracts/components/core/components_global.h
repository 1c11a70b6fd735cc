#pragma once

#include <QtCore/qglobal.h>

// The shared libraries are always built with default visibility; the macro documents intent
// and keeps the door open for a hidden-visibility build.
#define COMPONENTS_EXPORT Q_DECL_EXPORT
