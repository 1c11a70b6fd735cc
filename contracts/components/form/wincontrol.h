#pragma once

#include "component.h"

class QKeyEvent;
class QWidget;
class TForm;

// Mixin of the focusable controls: exit and key-down events and focus by the form's rules.
class COMPONENTS_EXPORT TWinControl : public TComponent
{
public:
    explicit TWinControl(QWidget *self);

    TNotifyEvent OnExit;
    TKeyEvent OnKeyDown;

    QStringList eventNames() const override;
    BindResult bindEvent(const QString &event, const std::any &handler) override;

    // Moves the focus here; inside an exit handler the move is deferred so focus does not
    // bounce between controls.
    void SetFocus();
    // Runs the exit handler inside the event boundary; false when it refused.
    bool fireExit();
    TForm *form() const;
    QWidget *widget() const { return m_self; }
    // Called by the form when the control becomes its active control, and again once an action
    // has completed the control's exit: a visit's changes are counted from here.
    virtual void markEntered() {}

protected:
    // Runs the key-down handler for a Qt key press; true when the handler swallowed the key.
    bool dispatchKeyDown(QKeyEvent *event);

private:
    QWidget *m_self;
};
