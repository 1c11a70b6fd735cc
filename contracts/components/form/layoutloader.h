#pragma once

#include "components_global.h"

#include <QString>

class TForm;

// Applies the stored layouts of a form: a Qt Designer .ui for its visual controls and a JSON
// description of its non-visual components. Each layout is read and parsed once per process
// and kept (layouts in resources never change; a layout file is read again when it changed).
namespace LayoutLoader {
// Creates the .ui's widgets on the form, which is the layout's root. A name that already
// exists (a base component the derived layout changes) reuses that component. Raises EAppError
// when the layout is missing or invalid or names an unknown class.
COMPONENTS_EXPORT void applyUi(TForm *form, const QString &resource);
// Creates the non-visual components of the JSON description ("components", with "defaults"
// per class) and applies its "changes" to inherited ones; records their event bindings.
COMPONENTS_EXPORT void applyComponents(TForm *form, const QString &resource);
// Forgets every kept layout.
COMPONENTS_EXPORT void clearCache();
} // namespace LayoutLoader

// Font substitutions for the fonts the layouts were designed with.
COMPONENTS_EXPORT void installFontSubstitutions();
