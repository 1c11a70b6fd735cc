#pragma once

#include <QtCore/qglobal.h>

#define FORMS_EXPORT Q_DECL_EXPORT
