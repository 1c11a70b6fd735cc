#include "componentregistry.h"

#include <QHash>

namespace {

struct Registry
{
    QHash<QString, ComponentRegistry::WidgetFactory> widgets;
    QHash<QString, ComponentRegistry::ObjectFactory> objects;
};

Registry &registry()
{
    static Registry r;
    return r;
}

} // namespace

void ComponentRegistry::registerWidget(const QString &className, WidgetFactory factory)
{
    registry().widgets.insert(className, std::move(factory));
}

void ComponentRegistry::registerObject(const QString &className, ObjectFactory factory)
{
    registry().objects.insert(className, std::move(factory));
}

QWidget *ComponentRegistry::createWidget(const QString &className, QWidget *parent)
{
    auto it = registry().widgets.constFind(className);
    return it == registry().widgets.constEnd() ? nullptr : (*it)(parent);
}

QObject *ComponentRegistry::createObject(const QString &className, QObject *parent)
{
    auto it = registry().objects.constFind(className);
    return it == registry().objects.constEnd() ? nullptr : (*it)(parent);
}
