#include "focustracker.h"

#include "errors.h"
#include "tform.h"
#include "wincontrol.h"

#include <QAbstractButton>
#include <QApplication>
#include <QTimer>

FocusTracker::FocusTracker(TForm *form)
    : m_form(form)
{
    connect(qApp, &QApplication::focusChanged, this, &FocusTracker::onFocusChanged);
}

FocusTracker::~FocusTracker()
{
    detach();
}

void FocusTracker::detach()
{
    disconnect(qApp, &QApplication::focusChanged, this, nullptr);
}

void FocusTracker::setControls(const QList<QWidget *> &controls)
{
    m_controls.clear();
    for (QWidget *w : controls)
        m_controls << w;
}

bool FocusTracker::isControl(const QWidget *widget) const
{
    for (const auto &c : m_controls)
        if (c == widget)
            return true;
    return false;
}

QWidget *FocusTracker::controlOf(const QWidget *widget) const
{
    for (const QWidget *w = widget; w && w != m_form; w = w->parentWidget()) {
        if (isControl(w))
            return const_cast<QWidget *>(w);
        if (w->isWindow())
            return nullptr;
    }
    return nullptr;
}

void FocusTracker::onFocusChanged(QWidget *, QWidget *now)
{
    if (!now || TForm::formOf(now) != m_form)
        return; // a dialog, another window or another form: no exit
    QWidget *control = controlOf(now);
    if (!control || control == m_active)
        return;
    QPointer<QWidget> previous = m_active;
    m_active = control;
    if (!previous || m_inExit)
        return;
    auto *winControl = dynamic_cast<TWinControl *>(previous.data());
    if (!winControl)
        return;
    m_inExit = true;
    const bool ok = winControl->fireExit();
    m_inExit = false;
    if (!ok && QApplication::mouseButtons() != Qt::NoButton)
        swallowCurrentPress(now);
}

namespace {

// Eats the mouse press that is being delivered to a widget (and its release, if it comes at
// once), then removes itself on the next turn of the event loop.
class PressEater : public QObject
{
public:
    explicit PressEater(QWidget *target)
        : QObject(target)
    {
        target->installEventFilter(this);
        QTimer::singleShot(0, this, [this] { deleteLater(); });
    }
    bool eventFilter(QObject *, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseMove:
            return true;
        default:
            return false;
        }
    }
};

} // namespace

void FocusTracker::swallowCurrentPress(QWidget *target)
{
    // A refused exit cancels the click that moved the focus: the button neither stays down
    // nor fires once the message is gone.
    if (auto *button = qobject_cast<QAbstractButton *>(target); button && button->isDown())
        button->setDown(false);
    new PressEater(target);
}

void FocusTracker::focusControl(QWidget *control)
{
    if (!control || !control->isEnabled() || !control->isVisibleTo(m_form))
        return; // a disabled or hidden control cannot take the focus
    if (m_inExit) {
        m_active = control;
        QPointer<QWidget> target = control;
        QTimer::singleShot(0, this, [target] {
            if (target)
                target->setFocus(Qt::OtherFocusReason);
        });
        return;
    }
    control->setFocus(Qt::OtherFocusReason);
    // Without an active window no focus change is reported; keep the tracker in step.
    if (!m_form->window()->isActiveWindow())
        m_active = control;
}

void FocusTracker::completeActiveExit()
{
    QWidget *focus = QApplication::focusWidget();
    QWidget *control = focus && TForm::formOf(focus) == m_form ? controlOf(focus) : m_active.data();
    auto *winControl = dynamic_cast<TWinControl *>(control);
    if (!winControl || !winControl->OnExit || m_inExit)
        return;
    m_inExit = true;
    try {
        winControl->OnExit(control);
    } catch (...) {
        m_inExit = false;
        throw;
    }
    m_inExit = false;
}
