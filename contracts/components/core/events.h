#pragma once

#include "components_global.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <any>
#include <functional>

class QObject;
class QKeyEvent;
class TField;
class TParams;

// Shift state of a key or mouse event.
using TShiftState = Qt::KeyboardModifiers;

// What closing a form does with it: nothing, hide it, destroy it, or minimise it.
enum class TCloseAction { caNone, caHide, caFree, caMinimize };

using TNotifyEvent = std::function<void(QObject *Sender)>;
using TKeyEvent = std::function<void(QObject *Sender, quint16 &Key, TShiftState Shift)>;
using TBeforePesqEvent = std::function<void(QObject *Sender, bool &Continue)>;
using TFieldGetTextEvent = std::function<void(TField *Sender, QString &Text, bool DisplayText)>;
using TBeforeGetQueryParamsEvent = std::function<void(TParams *Params, bool &Flag)>;
using TCloseEvent = std::function<void(QObject *Sender, TCloseAction &Action)>;

// Virtual key codes of the desktop platform the screens were designed on (VK_F9 is 120).
namespace VK {
enum : quint16 {
    Back = 8,
    Tab = 9,
    Return = 13,
    Shift = 16,
    Control = 17,
    Menu = 18,
    Escape = 27,
    Space = 32,
    Prior = 33,
    Next = 34,
    End = 35,
    Home = 36,
    Left = 37,
    Up = 38,
    Right = 39,
    Down = 40,
    Insert = 45,
    Delete = 46,
    F1 = 112,
    F9 = 120,
    F12 = 123
};
}

// The 16-bit virtual key code of a Qt key event; 0 when the key has none.
COMPONENTS_EXPORT quint16 virtualKeyCode(const QKeyEvent *event);

// A screen's handlers by name. Each entry holds one of the std::function event types above;
// a binding only succeeds when the event's type and the handler's type agree.
class COMPONENTS_EXPORT HandlerTable
{
public:
    template <class Fn>
    void add(const QString &name, Fn fn)
    {
        m_handlers.insert(name, std::any(fn));
    }
    const std::any *find(const QString &name) const;
    bool contains(const QString &name) const { return m_handlers.contains(name); }
    QStringList names() const { return m_handlers.keys(); }

private:
    QHash<QString, std::any> m_handlers;
};

// Implemented by every component that has events a stored layout can bind.
class COMPONENTS_EXPORT TEventSource
{
public:
    enum class BindResult { Bound, NoSuchEvent, WrongType };
    virtual ~TEventSource();
    virtual QStringList eventNames() const = 0;
    virtual BindResult bindEvent(const QString &event, const std::any &handler) = 0;

protected:
    template <class Fn>
    static BindResult assign(Fn &slot, const std::any &handler)
    {
        if (const Fn *fn = std::any_cast<Fn>(&handler)) {
            slot = *fn;
            return BindResult::Bound;
        }
        return BindResult::WrongType;
    }
};
