#include "events.h"

#include <QKeyEvent>

TEventSource::~TEventSource() = default;

const std::any *HandlerTable::find(const QString &name) const
{
    auto it = m_handlers.constFind(name);
    return it == m_handlers.constEnd() ? nullptr : &it.value();
}

quint16 virtualKeyCode(const QKeyEvent *event)
{
    const int key = event->key();
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24)
        return quint16(VK::F1 + (key - Qt::Key_F1));
    if ((key >= Qt::Key_A && key <= Qt::Key_Z) || (key >= Qt::Key_0 && key <= Qt::Key_9))
        return quint16(key);
    switch (key) {
    case Qt::Key_Backspace:
        return VK::Back;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return VK::Tab;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return VK::Return;
    case Qt::Key_Shift:
        return VK::Shift;
    case Qt::Key_Control:
        return VK::Control;
    case Qt::Key_Alt:
        return VK::Menu;
    case Qt::Key_Escape:
        return VK::Escape;
    case Qt::Key_Space:
        return VK::Space;
    case Qt::Key_PageUp:
        return VK::Prior;
    case Qt::Key_PageDown:
        return VK::Next;
    case Qt::Key_End:
        return VK::End;
    case Qt::Key_Home:
        return VK::Home;
    case Qt::Key_Left:
        return VK::Left;
    case Qt::Key_Up:
        return VK::Up;
    case Qt::Key_Right:
        return VK::Right;
    case Qt::Key_Down:
        return VK::Down;
    case Qt::Key_Insert:
        return VK::Insert;
    case Qt::Key_Delete:
        return VK::Delete;
    default:
        return 0;
    }
}
