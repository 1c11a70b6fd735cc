#pragma once

#include "components_global.h"

#include <QLocale>

// The locale of the application's users: Brazilian Portuguese (dates dd/mm/yyyy, decimal
// comma, thousands dot).
COMPONENTS_EXPORT QLocale brazilianLocale();

// Makes it the default locale and installs Qt's own pt_BR translations (its dialogs, standard
// buttons and the command line's help). Called once, by the host, after the application object
// exists.
COMPONENTS_EXPORT void installBrazilianLocale();
