#pragma once

#include <QtCore/qglobal.h>

// The batch library is built with default visibility, like the other shared libraries.
#define BATCH_EXPORT Q_DECL_EXPORT
