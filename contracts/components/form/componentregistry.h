#pragma once

#include "components_global.h"

#include <QString>

#include <functional>

class QObject;
class QWidget;

// Creates the components of the stored layouts by class name. The component classes register
// themselves (controls/registrations.cpp); a screen may add its own.
namespace ComponentRegistry {
using WidgetFactory = std::function<QWidget *(QWidget *parent)>;
using ObjectFactory = std::function<QObject *(QObject *parent)>;
COMPONENTS_EXPORT void registerWidget(const QString &className, WidgetFactory factory);
COMPONENTS_EXPORT void registerObject(const QString &className, ObjectFactory factory);
COMPONENTS_EXPORT QWidget *createWidget(const QString &className, QWidget *parent);
COMPONENTS_EXPORT QObject *createObject(const QString &className, QObject *parent);

template <class T>
QWidget *makeWidget(QWidget *parent)
{
    return new T(parent);
}

template <class T>
QObject *makeObject(QObject *parent)
{
    return new T(parent);
}
} // namespace ComponentRegistry
