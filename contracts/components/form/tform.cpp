#include "tform.h"

#include "controls.h"
#include "dataset.h"
#include "errors.h"
#include "eventbinder.h"
#include "wincontrol.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QMdiSubWindow>

TForm::TForm(QWidget *parent)
    : QWidget(parent)
    , m_focus(this)
{}

TForm::~TForm()
{
    // Deleting the children moves the focus; this part of the object is gone by then.
    m_focus.detach();
}

TForm *TForm::formOf(const QWidget *widget)
{
    for (const QWidget *w = widget; w; w = w->parentWidget()) {
        if (auto *form = qobject_cast<TForm *>(const_cast<QWidget *>(w)))
            return form;
        if (w->isWindow())
            return nullptr;
    }
    return nullptr;
}

QStringList TForm::eventNames() const
{
    return {QStringLiteral("OnCreate"), QStringLiteral("OnClose")};
}

TEventSource::BindResult TForm::bindEvent(const QString &event, const std::any &handler)
{
    if (event == QLatin1String("OnCreate"))
        return assign(OnCreate, handler);
    if (event == QLatin1String("OnClose"))
        return assign(OnClose, handler);
    return BindResult::NoSuchEvent;
}

QObject *TForm::FindComponent(const QString &name) const
{
    if (name.isEmpty())
        return nullptr;
    return m_byName.value(name).data();
}

QStringList TForm::creationOrder() const
{
    QStringList names;
    for (const auto &c : m_components)
        if (c)
            names << c->objectName();
    return names;
}

void TForm::addComponent(QObject *component)
{
    const QString name = component->objectName();
    if (!name.isEmpty()) {
        if (m_byName.contains(name))
            throw EAppError(
                QCoreApplication::translate("TForm", "Componente '%1' declarado duas vezes.")
                    .arg(name));
        m_byName.insert(name, component);
    }
    m_components << component;
}

void TForm::createFromLayouts()
{
    collectHandlers(m_handlers);
    for (const StoredLayout &layout : layoutChain()) {
        LayoutLoader::applyUi(this, layout.ui);
        if (!layout.components.isEmpty())
            LayoutLoader::applyComponents(this, layout.components);
    }
    // Captions in this system's fonts: a label sizes itself to its caption.
    for (const auto &c : m_components)
        if (auto *label = qobject_cast<TLabel *>(c.data()))
            label->adjustToCaption();
    setFixedSize(size());

    QList<QObject *> objects{this};
    for (const auto &c : m_components)
        if (c)
            objects << c.data();
    EventBinder::bindAll(objects, m_handlers, m_namedEvents, m_bindingCounts);
    resolveAll();

    QList<QWidget *> controls;
    for (const auto &c : m_components)
        if (auto *w = qobject_cast<QWidget *>(c.data()))
            if (dynamic_cast<TWinControl *>(w))
                controls << w;
    m_focus.setControls(controls);
    loaded();
    if (OnCreate)
        OnCreate(this); // failures reach the code that creates the form
}

QObject *TForm::lookup(const QString &reference) const
{
    const qsizetype dot = reference.indexOf(QLatin1Char('.'));
    if (dot < 0)
        return FindComponent(reference);
    const QString owner = reference.left(dot);
    const QString member = reference.mid(dot + 1);
    if (owner == QLatin1String("dtmDBGeral")) {
        TdtmDBGeral *dm = dtmDBGeral();
        if (!dm)
            return nullptr;
        if (member == QLatin1String("adcGeral"))
            return dm->adcGeral;
        if (member == QLatin1String("dtbGeral"))
            return dm->dtbGeral;
        if (member == QLatin1String("ibtGeral"))
            return dm->ibtGeral;
        return nullptr;
    }
    if (auto *query = qobject_cast<TADOIBQuery *>(FindComponent(owner)))
        if (member == QLatin1String("Query"))
            return query->Query();
    return nullptr;
}

void TForm::resolveAll()
{
    const ComponentLookup find = [this](const QString &name) {
        return lookup(name);
    };
    for (const auto &c : m_components)
        if (auto *component = dynamic_cast<TComponent *>(c.data()))
            component->resolveReferences(find);
}

void TForm::closeEvent(QCloseEvent *event)
{
    TCloseAction action = TCloseAction::caHide;
    if (OnClose && !guarded([&] { OnClose(this, action); })) {
        event->ignore();
        return;
    }
    switch (action) {
    case TCloseAction::caNone:
        event->ignore();
        break;
    case TCloseAction::caHide:
        event->accept();
        break;
    case TCloseAction::caMinimize:
        event->ignore();
        if (auto *sub = qobject_cast<QMdiSubWindow *>(parentWidget()))
            sub->showMinimized();
        else
            showMinimized();
        break;
    case TCloseAction::caFree:
        event->accept();
        if (auto *sub = qobject_cast<QMdiSubWindow *>(parentWidget()))
            sub->deleteLater();
        else
            deleteLater();
        break;
    }
}
