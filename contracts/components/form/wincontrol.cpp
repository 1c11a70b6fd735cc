#include "wincontrol.h"

#include "errors.h"
#include "tform.h"

#include <QKeyEvent>

TWinControl::TWinControl(QWidget *self)
    : m_self(self)
{}

QStringList TWinControl::eventNames() const
{
    return {QStringLiteral("OnExit"), QStringLiteral("OnKeyDown")};
}

TEventSource::BindResult TWinControl::bindEvent(const QString &event, const std::any &handler)
{
    if (event == QLatin1String("OnExit"))
        return assign(OnExit, handler);
    if (event == QLatin1String("OnKeyDown"))
        return assign(OnKeyDown, handler);
    return BindResult::NoSuchEvent;
}

TForm *TWinControl::form() const
{
    return TForm::formOf(m_self);
}

void TWinControl::SetFocus()
{
    if (TForm *f = form())
        f->focusControl(m_self);
    else
        m_self->setFocus(Qt::OtherFocusReason);
}

bool TWinControl::fireExit()
{
    if (!OnExit)
        return true;
    QWidget *self = m_self;
    return guarded([&] { OnExit(self); });
}

bool TWinControl::dispatchKeyDown(QKeyEvent *event)
{
    if (!OnKeyDown)
        return false;
    quint16 key = virtualKeyCode(event);
    if (key == 0)
        return false;
    const TShiftState shift = event->modifiers();
    QWidget *self = m_self;
    guarded([&] { OnKeyDown(self, key, shift); });
    return key == 0;
}
