#include "eventbinder.h"

#include "errors.h"

#include <QCoreApplication>
#include <QObject>
#include <QVariant>

void EventBinder::bindAll(const QList<QObject *> &objects, const HandlerTable &handlers,
                          const NamedEvents &namedEvents, QHash<QString, int> &bindingCounts)
{
    auto bindOne = [&](QObject *object, TEventSource *source, const QString &event,
                       const QString &handlerName) {
        if (handlerName.isEmpty())
            return;
        const std::any *handler = handlers.find(handlerName);
        const QString where = QStringLiteral("%1.%2").arg(object->objectName(), event);
        if (!handler)
            throw EAppError(
                QCoreApplication::translate("EventBinder", "Manipulador '%1' não existe (%2).")
                    .arg(handlerName, where));
        int &count = bindingCounts[handlerName];
        if (count > 0)
            throw EAppError(QCoreApplication::translate(
                                "EventBinder", "Manipulador '%1' ligado mais de uma vez (%2).")
                                .arg(handlerName, where));
        switch (source->bindEvent(event, *handler)) {
        case TEventSource::BindResult::Bound:
            ++count;
            break;
        case TEventSource::BindResult::NoSuchEvent:
            throw EAppError(
                QCoreApplication::translate("EventBinder", "Evento '%1' desconhecido.").arg(where));
        case TEventSource::BindResult::WrongType:
            throw EAppError(QCoreApplication::translate("EventBinder",
                                                        "Manipulador '%1' não serve ao evento %2.")
                                .arg(handlerName, where));
        }
    };

    for (QObject *object : objects) {
        auto *source = dynamic_cast<TEventSource *>(object);
        if (!source)
            continue;
        const auto named = namedEvents.value(object);
        const QStringList events = source->eventNames();
        for (auto it = named.begin(); it != named.end(); ++it)
            if (!events.contains(it.key()))
                throw EAppError(
                    QCoreApplication::translate("EventBinder", "Evento '%1.%2' desconhecido.")
                        .arg(object->objectName(), it.key()));
        for (const QString &event : events) {
            QString handlerName = named.value(event);
            if (handlerName.isEmpty())
                handlerName = object->property(event.toLatin1().constData()).toString();
            bindOne(object, source, event, handlerName);
        }
    }
}
