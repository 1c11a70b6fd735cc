#pragma once

#include "events.h"

#include <QHash>
#include <QList>
#include <QString>

class QObject;

// Binds the events of a form's components to its handlers by name. A component names its
// handlers in a dynamic property per event (from the .ui) or in the JSON description's
// "events". Raises EAppError naming an unknown handler, a handler bound twice, an unknown event
// or a handler of the wrong type.
namespace EventBinder {
// Handler names of the non-visual components' events: object -> event -> handler name.
using NamedEvents = QHash<QObject *, QHash<QString, QString>>;
COMPONENTS_EXPORT void bindAll(const QList<QObject *> &objects, const HandlerTable &handlers,
                               const NamedEvents &namedEvents, QHash<QString, int> &bindingCounts);
} // namespace EventBinder
