#include "focustracker.h"

#include "errors.h"
#include "tform.h"
#include "wincontrol.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFocusEvent>
#include <QLineEdit>
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
    for (QWidget *w : controls) {
        m_controls << w;
        // The reason of each focus-in decides whether an entered edit selects its text.
        for (QWidget *f = w; f; f = f->focusProxy())
            f->installEventFilter(this);
    }
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
    if (!control)
        return;
    if (control == m_active) {
        // The focus put back by code (after a refusal, say) enters the control again.
        selectOnEnter(now);
        return;
    }
    QPointer<QWidget> previous = m_active;
    setActive(control);
    if (!previous || m_inExit) {
        selectOnEnter(now);
        return;
    }
    auto *winControl = dynamic_cast<TWinControl *>(previous.data());
    if (!winControl) {
        selectOnEnter(now);
        return;
    }
    QPointer<QWidget> entered = now;
    m_inExit = true;
    const bool ok = winControl->fireExit();
    m_inExit = false;
    if (!ok && QApplication::mouseButtons() != Qt::NoButton)
        swallowCurrentPress(now);
    // The old control's exit ran first; only now is the new one entered, so a value its exit
    // copied into the new edit is selected like the rest of it.
    if (ok && entered && m_active == control)
        selectOnEnter(entered);
}

void FocusTracker::setActive(QWidget *control)
{
    m_active = control;
    if (auto *winControl = dynamic_cast<TWinControl *>(control))
        winControl->markEntered();
}

void FocusTracker::selectOnEnter(QWidget *now)
{
    // An edit entered by the keyboard (Tab, Shift+Tab, a shortcut) or by code selects its whole
    // text, so typing replaces it; a click places the cursor where it was clicked.
    if (now != m_focusInWidget || QApplication::focusWidget() != now)
        return;
    switch (m_focusInReason) {
    case Qt::TabFocusReason:
    case Qt::BacktabFocusReason:
    case Qt::ShortcutFocusReason:
    case Qt::OtherFocusReason:
        break;
    default:
        return;
    }
    if (auto *edit = qobject_cast<QLineEdit *>(now))
        edit->selectAll();
}

bool FocusTracker::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::FocusIn) {
        m_focusInWidget = qobject_cast<QWidget *>(watched);
        m_focusInReason = static_cast<QFocusEvent *>(event)->reason();
    }
    return QObject::eventFilter(watched, event);
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
        setActive(control);
        QPointer<QWidget> target = control;
        QTimer::singleShot(0, this, [target] {
            if (target)
                target->setFocus(Qt::OtherFocusReason);
        });
        return;
    }
    control->setFocus(Qt::OtherFocusReason);
    // Without an active window no focus change is reported; keep the tracker in step.
    if (!m_form->window()->isActiveWindow() && m_active != control)
        setActive(control);
}

void FocusTracker::completeActiveExit()
{
    QWidget *focus = QApplication::focusWidget();
    QWidget *control = focus && TForm::formOf(focus) == m_form ? controlOf(focus) : m_active.data();
    auto *winControl = dynamic_cast<TWinControl *>(control);
    if (!winControl || !winControl->OnExit || m_inExit)
        return;
    m_inExit = true;
    m_completingExit = true;
    try {
        winControl->OnExit(control);
    } catch (...) {
        m_inExit = false;
        m_completingExit = false;
        throw;
    }
    m_inExit = false;
    m_completingExit = false;
    winControl->markEntered();
}
