#pragma once

#include "components_global.h"

#include <QString>
#include <QStringList>

// The pick-list string: a JSON array of key strings (["001","A,B"]), or the empty text when
// nothing is picked (never "[]", so emptiness is the empty text). Only this library reads or
// writes it; screens test it for emptiness and pass it on to report queries, which test
// membership with a bound parameter.
COMPONENTS_EXPORT QString pickListToString(const QStringList &keys);
// The keys of a pick-list string; an empty or malformed string gives no key.
COMPONENTS_EXPORT QStringList pickListKeys(const QString &list);
// True when the text is a well-formed pick-list string (the empty text included).
COMPONENTS_EXPORT bool isPickListString(const QString &list);
