#pragma once

#include "events.h"

#include <QStringList>

#include <any>
#include <functional>

class QObject;
class QString;

// Resolves a component name of the form being created (references between components are
// stored by name and resolved once every component exists).
using ComponentLookup = std::function<QObject *(const QString &name)>;

// Base of every component with a name, events and references: widgets and non-visual ones.
class COMPONENTS_EXPORT TComponent : public TEventSource
{
public:
    QStringList eventNames() const override { return {}; }
    BindResult bindEvent(const QString &, const std::any &) override
    {
        return BindResult::NoSuchEvent;
    }
    // Called once all components of the form exist.
    virtual void resolveReferences(const ComponentLookup &) {}
};
