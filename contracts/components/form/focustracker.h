#pragma once

#include "components_global.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QWidget>

class TForm;

// Raises the exit event of a form's controls. Qt has no such event: the tracker follows the
// application's focus changes and fires the exit of the active control only when a different
// registered control of the same form gains the focus. Nested exits are ignored; a refused exit
// cancels the mouse press that moved the focus.
class COMPONENTS_EXPORT FocusTracker : public QObject
{
public:
    explicit FocusTracker(TForm *form);
    ~FocusTracker() override;

    // Stops following the focus (before the form's children are deleted).
    void detach();
    void setControls(const QList<QWidget *> &controls);

    bool isControl(const QWidget *widget) const;
    QWidget *controlOf(const QWidget *widget) const;
    QWidget *activeControl() const { return m_active; }
    bool isInExit() const { return m_inExit; }
    // True while completeActiveExit runs an exit handler: the handler then only normalises and
    // checks, and leaves out what belongs to really leaving the control (copies into others).
    bool isCompletingExit() const { return m_completingExit; }
    void focusControl(QWidget *control);
    void completeActiveExit();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void onFocusChanged(QWidget *old, QWidget *now);
    void setActive(QWidget *control);
    void selectOnEnter(QWidget *now);
    static void swallowCurrentPress(QWidget *target);

    TForm *m_form;
    QList<QPointer<QWidget>> m_controls;
    QPointer<QWidget> m_active;
    bool m_inExit = false;
    bool m_completingExit = false;
    // How the focus last came into a widget of the form (FocusIn events of its controls).
    QPointer<QWidget> m_focusInWidget;
    Qt::FocusReason m_focusInReason = Qt::OtherFocusReason;
};
