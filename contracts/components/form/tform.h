#pragma once

#include "component.h"
#include "focustracker.h"
#include "layoutloader.h"

#include <QHash>
#include <QList>
#include <QPointer>
#include <QWidget>

class QCloseEvent;

// Base of every screen. A screen is created from stored layouts (a Qt Designer .ui for its
// visual controls and a JSON description of its non-visual components, base class first), its
// events are bound by handler name, and it tracks the focus to raise exit events. The work is
// done by the layout loader, the event binder and the focus tracker; the form holds the result.
class COMPONENTS_EXPORT TForm : public QWidget, public TComponent
{
    Q_OBJECT
public:
    explicit TForm(QWidget *parent = nullptr);
    ~TForm() override;

    // The form a widget belongs to, without crossing into another window (a message box
    // parented to a form is not part of it).
    static TForm *formOf(const QWidget *widget);

    // Second creation phase, run by the application object once the object is complete:
    // applies the stored layouts, binds the events, resolves the references between
    // components and raises the creation event. Raises EAppError naming an unknown handler,
    // a handler bound twice, an unknown event or class.
    void createFromLayouts();

    TNotifyEvent OnCreate;
    TCloseEvent OnClose;
    QStringList eventNames() const override;
    BindResult bindEvent(const QString &event, const std::any &handler) override;

    QObject *FindComponent(const QString &name) const;
    template <class T>
    T *component(const QString &name) const
    {
        return qobject_cast<T *>(FindComponent(name));
    }
    // Names of the components in the order they were created.
    QStringList creationOrder() const;
    // Handler name -> number of events bound to it.
    QHash<QString, int> bindingCounts() const { return m_bindingCounts; }
    const HandlerTable &handlers() const { return m_handlers; }
    // The position the layout was designed at (inside the main window).
    QPoint designedPosition() const { return m_designedPosition; }

    // Focus and exit tracking.
    bool isControl(const QWidget *widget) const { return m_focus.isControl(widget); }
    QWidget *controlOf(const QWidget *widget) const { return m_focus.controlOf(widget); }
    QWidget *activeControl() const { return m_focus.activeControl(); }
    // Gives a control the focus; inside an exit handler the move is deferred until the handler
    // returned, with the control already marked active so no exit bounces back.
    void focusControl(QWidget *control) { m_focus.focusControl(control); }
    // Raises the exit of the control that has the focus as leaving it for another control
    // would; a refusal propagates. Actions call this before their checks, since the toolbar
    // buttons never take the focus. The focus stays, so the visit of the control goes on, with
    // its changes counted afresh from here.
    void completeActiveExit() { m_focus.completeActiveExit(); }
    bool isInExit() const { return m_focus.isInExit(); }
    // True while completeActiveExit runs an exit handler: the handler then only normalises and
    // checks, and leaves out what belongs to really leaving the control (copies into others).
    bool isCompletingExit() const { return m_focus.isCompletingExit(); }

protected:
    struct StoredLayout
    {
        QString ui;         // resource path of the .ui
        QString components; // resource path of the JSON description (may be empty)
    };
    // The layouts to apply, base class first.
    virtual QList<StoredLayout> layoutChain() const { return {}; }
    // Adds the class's handlers; a derived class calls its base first, then adds its own, so
    // a name bound in a base layout reaches the most-derived handler.
    virtual void collectHandlers(HandlerTable &) {}
    // Runs once the layouts are applied and references resolved, before the creation event:
    // the place to fill the class's component members.
    virtual void loaded() {}

    void closeEvent(QCloseEvent *event) override;

private:
    friend void LayoutLoader::applyUi(TForm *, const QString &);
    friend void LayoutLoader::applyComponents(TForm *, const QString &);
    void addComponent(QObject *component);
    void resolveAll();
    QObject *lookup(const QString &reference) const;

    HandlerTable m_handlers;
    QList<QPointer<QObject>> m_components;
    QHash<QString, QPointer<QObject>> m_byName;
    QHash<QObject *, QHash<QString, QString>> m_namedEvents;
    QHash<QString, int> m_bindingCounts;
    QPoint m_designedPosition;
    FocusTracker m_focus;
};
