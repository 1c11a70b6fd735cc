#include "tform.h"

#include "btnpesquisa.h"
#include "dataset.h"
#include "dateedit.h"
#include "errors.h"
#include "messages.h"
#include "netconnection.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QFile>
#include <QFocusEvent>
#include <QFont>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMdiSubWindow>
#include <QTimer>
#include <QUiLoader>
#include <QXmlStreamReader>

// ---------------------------------------------------------------------------------------------
// Component registry

namespace {

struct Registry
{
    QHash<QString, ComponentRegistry::WidgetFactory> widgets;
    QHash<QString, ComponentRegistry::ObjectFactory> objects;
};

template <class T>
QWidget *makeWidget(QWidget *parent)
{
    return new T(parent);
}

template <class T>
QObject *makeObject(QObject *parent)
{
    return new T(parent);
}

Registry &registry()
{
    static Registry r = [] {
        Registry reg;
        reg.widgets.insert(QStringLiteral("TLabel"), &makeWidget<TLabel>);
        reg.widgets.insert(QStringLiteral("TGroupBox"), &makeWidget<TGroupBox>);
        reg.widgets.insert(QStringLiteral("TPanel"), &makeWidget<TPanel>);
        reg.widgets.insert(QStringLiteral("TBevel"), &makeWidget<TBevel>);
        reg.widgets.insert(QStringLiteral("TEdit"), &makeWidget<TEdit>);
        reg.widgets.insert(QStringLiteral("TMaskEdit"), &makeWidget<TMaskEdit>);
        reg.widgets.insert(QStringLiteral("TRadioButton"), &makeWidget<TRadioButton>);
        reg.widgets.insert(QStringLiteral("TComboBox"), &makeWidget<TComboBox>);
        reg.widgets.insert(QStringLiteral("TButtonFlat"), &makeWidget<TButtonFlat>);
        reg.widgets.insert(QStringLiteral("TBtnPesquisa"), &makeWidget<TBtnPesquisa>);
        reg.widgets.insert(QStringLiteral("TDateEditPlus"), &makeWidget<TDateEditPlus>);
        reg.objects.insert(QStringLiteral("TADOIBQuery"), &makeObject<TADOIBQuery>);
        reg.objects.insert(QStringLiteral("TADOIBStringField"), &makeObject<TADOIBStringField>);
        reg.objects.insert(QStringLiteral("TDataSource"), &makeObject<TDataSource>);
        reg.objects.insert(QStringLiteral("TMessages"), &makeObject<TMessages>);
        reg.objects.insert(QStringLiteral("TNetConnection"), &makeObject<TNetConnection>);
        return reg;
    }();
    return r;
}

} // namespace

void ComponentRegistry::registerWidget(const QString &className, WidgetFactory factory)
{
    registry().widgets.insert(className, std::move(factory));
}

void ComponentRegistry::registerObject(const QString &className, ObjectFactory factory)
{
    registry().objects.insert(className, std::move(factory));
}

QWidget *ComponentRegistry::createWidget(const QString &className, QWidget *parent)
{
    auto it = registry().widgets.constFind(className);
    return it == registry().widgets.constEnd() ? nullptr : (*it)(parent);
}

QObject *ComponentRegistry::createObject(const QString &className, QObject *parent)
{
    auto it = registry().objects.constFind(className);
    return it == registry().objects.constEnd() ? nullptr : (*it)(parent);
}

void installFontSubstitutions()
{
    // The layouts were designed with "MS Sans Serif"; Liberation Sans has the closest metrics.
    QFont::insertSubstitution(QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"));
}

// ---------------------------------------------------------------------------------------------
// Loading a .ui onto an existing form

// Creates the widgets of a stored layout. The root is the form itself; a name that already
// exists (a base component the derived layout changes) returns that component, so the layout
// only sets the properties it lists and adds children to it.
class FormLayoutLoader : public QUiLoader
{
public:
    explicit FormLayoutLoader(TForm *form)
        : m_form(form)
    {
        // Every class of the layouts comes from the registry: never scan for and load Designer
        // plugins (one of them pulls in Qt Quick).
        clearPluginPaths();
    }

    QWidget *createWidget(const QString &className, QWidget *parent, const QString &name) override
    {
        if (!parent && !m_rootDone) {
            m_rootDone = true;
            if (!name.isEmpty())
                m_form->setObjectName(name);
            return m_form;
        }
        if (QObject *existing = m_form->FindComponent(name)) {
            if (auto *w = qobject_cast<QWidget *>(existing))
                return w;
        }
        QWidget *w = ComponentRegistry::createWidget(className, parent);
        if (!w)
            w = QUiLoader::createWidget(className, parent, name);
        if (!w)
            throw EAppError(QStringLiteral("Classe de componente desconhecida '%1' (%2).")
                                .arg(className, name));
        w->setObjectName(name);
        m_form->addComponent(w);
        return w;
    }

private:
    TForm *m_form;
    bool m_rootDone = false;
};

// ---------------------------------------------------------------------------------------------
// TForm

TForm::TForm(QWidget *parent)
    : QWidget(parent)
{
    connect(qApp, &QApplication::focusChanged, this, &TForm::onFocusChanged);
}

TForm::~TForm()
{
    // Deleting the children moves the focus; this part of the object is gone by then.
    disconnect(qApp, &QApplication::focusChanged, this, nullptr);
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
            throw EAppError(QStringLiteral("Componente '%1' declarado duas vezes.").arg(name));
        m_byName.insert(name, component);
    }
    m_components << component;
}

void TForm::createFromLayouts()
{
    collectHandlers(m_handlers);
    for (const StoredLayout &layout : layoutChain()) {
        applyUi(layout.ui);
        if (!layout.components.isEmpty())
            applyComponents(layout.components);
    }
    // Captions in this system's fonts: a label sizes itself to its caption.
    for (const auto &c : m_components)
        if (auto *label = qobject_cast<TLabel *>(c.data()))
            label->adjustToCaption();
    setFixedSize(size());
    bindAllEvents();
    resolveAll();
    for (const auto &c : m_components)
        if (auto *w = qobject_cast<QWidget *>(c.data()))
            if (dynamic_cast<TWinControl *>(w)) {
                m_controls << w;
                // The reason of each focus-in decides whether an entered edit selects its text.
                for (QWidget *f = w; f; f = f->focusProxy())
                    f->installEventFilter(this);
            }
    loaded();
    if (OnCreate)
        OnCreate(this); // failures reach the code that creates the form
}

void TForm::applyUi(const QString &resource)
{
    QFile file(resource);
    if (!file.open(QIODevice::ReadOnly))
        throw EAppError(QStringLiteral("Leiaute '%1' não encontrado.").arg(resource));
    // The root's designed position (Designer keeps it in the root geometry, which the loader
    // applies as a size only).
    {
        QXmlStreamReader xml(&file);
        int depth = 0;
        while (!xml.atEnd() && xml.readNext() != QXmlStreamReader::Invalid) {
            if (xml.isStartElement() && xml.name() == QLatin1String("widget") && ++depth > 1)
                break;
            if (xml.isStartElement() && depth == 1 && xml.name() == QLatin1String("property") &&
                xml.attributes().value(QLatin1String("name")) == QLatin1String("geometry")) {
                int x = 0;
                int y = 0;
                while (!(xml.isEndElement() && xml.name() == QLatin1String("property")) &&
                       !xml.atEnd()) {
                    xml.readNext();
                    if (xml.isStartElement() && xml.name() == QLatin1String("x"))
                        x = xml.readElementText().toInt();
                    else if (xml.isStartElement() && xml.name() == QLatin1String("y"))
                        y = xml.readElementText().toInt();
                }
                m_designedPosition = QPoint(x, y);
                break;
            }
        }
        file.seek(0);
    }
    FormLayoutLoader loader(this);
    QWidget *root = loader.load(&file, nullptr);
    if (root != this)
        throw EAppError(
            QStringLiteral("Leiaute '%1' inválido: %2").arg(resource, loader.errorString()));
}

namespace {

QVariant jsonToVariant(const QJsonValue &value)
{
    if (value.isArray()) {
        QStringList list;
        for (const QJsonValue &v : value.toArray())
            list << v.toString();
        return list;
    }
    return value.toVariant();
}

void setProperties(QObject *object, const QJsonObject &properties, const QString &resource)
{
    for (auto it = properties.begin(); it != properties.end(); ++it) {
        const QByteArray name = it.key().toLatin1();
        if (object->metaObject()->indexOfProperty(name.constData()) < 0) {
            // Settings of the original platform the components do not act on are kept as
            // dynamic properties, so the layout stays complete.
            object->setProperty(name.constData(), jsonToVariant(it.value()));
            continue;
        }
        if (!object->setProperty(name.constData(), jsonToVariant(it.value())))
            throw EAppError(QStringLiteral("Propriedade '%1' de '%2' inválida em '%3'.")
                                .arg(it.key(), object->objectName(), resource));
    }
}

} // namespace

void TForm::applyComponents(const QString &resource)
{
    QFile file(resource);
    if (!file.open(QIODevice::ReadOnly))
        throw EAppError(
            QStringLiteral("Descrição de componentes '%1' não encontrada.").arg(resource));
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &error);
    if (error.error != QJsonParseError::NoError)
        throw EAppError(QStringLiteral("Descrição de componentes '%1' inválida: %2 (posição %3).")
                            .arg(resource, error.errorString())
                            .arg(error.offset));
    const QJsonObject root = doc.object();

    auto readEvents = [&](QObject *object, const QJsonObject &events) {
        for (auto it = events.begin(); it != events.end(); ++it)
            m_nonVisualEvents[object].insert(it.key(), it.value().toString());
    };

    // Changes to components declared by a base layout.
    for (const QJsonValue &v : root.value(QLatin1String("changes")).toArray()) {
        const QJsonObject change = v.toObject();
        const QString name = change.value(QLatin1String("name")).toString();
        QObject *object = FindComponent(name);
        if (!object)
            throw EAppError(
                QStringLiteral("Componente herdado '%1' não existe ('%2').").arg(name, resource));
        setProperties(object, change.value(QLatin1String("properties")).toObject(), resource);
        readEvents(object, change.value(QLatin1String("events")).toObject());
    }

    // Settings shared by every component of a class ("defaults"), then the components this
    // layout declares, in creation order.
    const QJsonObject defaults = root.value(QLatin1String("defaults")).toObject();
    for (const QJsonValue &v : root.value(QLatin1String("components")).toArray()) {
        const QJsonObject decl = v.toObject();
        const QString className = decl.value(QLatin1String("class")).toString();
        const QString name = decl.value(QLatin1String("name")).toString();
        QObject *object = ComponentRegistry::createObject(className, this);
        if (!object)
            throw EAppError(QStringLiteral("Classe de componente desconhecida '%1' (%2).")
                                .arg(className, name));
        object->setObjectName(name);
        addComponent(object);
        setProperties(object, defaults.value(className).toObject(), resource);
        setProperties(object, decl.value(QLatin1String("properties")).toObject(), resource);
        readEvents(object, decl.value(QLatin1String("events")).toObject());
        auto *query = qobject_cast<TADOIBQuery *>(object);
        for (const QJsonValue &fv : decl.value(QLatin1String("fields")).toArray()) {
            const QJsonObject fdecl = fv.toObject();
            const QString fclass = fdecl.value(QLatin1String("class")).toString();
            QObject *fobj = ComponentRegistry::createObject(fclass, object);
            auto *field = qobject_cast<TField *>(fobj);
            if (!field || !query) {
                delete fobj;
                throw EAppError(QStringLiteral("Campo inválido em '%1' (%2).").arg(name, resource));
            }
            field->setObjectName(fdecl.value(QLatin1String("name")).toString());
            addComponent(field);
            setProperties(field, fdecl.value(QLatin1String("properties")).toObject(), resource);
            readEvents(field, fdecl.value(QLatin1String("events")).toObject());
            query->addField(field);
        }
    }
}

void TForm::bindAllEvents()
{
    auto bindOne = [this](QObject *object, TEventSource *source, const QString &event,
                          const QString &handlerName) {
        if (handlerName.isEmpty())
            return;
        const std::any *handler = m_handlers.find(handlerName);
        const QString where = QStringLiteral("%1.%2").arg(object->objectName(), event);
        if (!handler)
            throw EAppError(
                QStringLiteral("Manipulador '%1' não existe (%2).").arg(handlerName, where));
        int &count = m_bindingCounts[handlerName];
        if (count > 0)
            throw EAppError(QStringLiteral("Manipulador '%1' ligado mais de uma vez (%2).")
                                .arg(handlerName, where));
        switch (source->bindEvent(event, *handler)) {
        case TEventSource::BindResult::Bound:
            ++count;
            break;
        case TEventSource::BindResult::NoSuchEvent:
            throw EAppError(QStringLiteral("Evento '%1' desconhecido.").arg(where));
        case TEventSource::BindResult::WrongType:
            throw EAppError(
                QStringLiteral("Manipulador '%1' não serve ao evento %2.").arg(handlerName, where));
        }
    };

    QList<QObject *> objects{this};
    for (const auto &c : m_components)
        if (c)
            objects << c.data();
    for (QObject *object : objects) {
        auto *source = dynamic_cast<TEventSource *>(object);
        if (!source)
            continue;
        const auto nonVisual = m_nonVisualEvents.value(object);
        for (auto it = nonVisual.begin(); it != nonVisual.end(); ++it)
            if (!source->eventNames().contains(it.key()))
                throw EAppError(QStringLiteral("Evento '%1.%2' desconhecido.")
                                    .arg(object->objectName(), it.key()));
        for (const QString &event : source->eventNames()) {
            QString handlerName = nonVisual.value(event);
            if (handlerName.isEmpty())
                handlerName = object->property(event.toLatin1().constData()).toString();
            bindOne(object, source, event, handlerName);
        }
    }
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

bool TForm::isControl(const QWidget *widget) const
{
    for (const auto &c : m_controls)
        if (c == widget)
            return true;
    return false;
}

QWidget *TForm::controlOf(const QWidget *widget) const
{
    for (const QWidget *w = widget; w && w != this; w = w->parentWidget()) {
        if (isControl(w))
            return const_cast<QWidget *>(w);
        if (w->isWindow())
            return nullptr;
    }
    return nullptr;
}

void TForm::onFocusChanged(QWidget *, QWidget *now)
{
    if (!now || formOf(now) != this)
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

void TForm::setActive(QWidget *control)
{
    m_active = control;
    if (auto *winControl = dynamic_cast<TWinControl *>(control))
        winControl->markEntered();
}

void TForm::selectOnEnter(QWidget *now)
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

bool TForm::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::FocusIn) {
        m_focusInWidget = qobject_cast<QWidget *>(watched);
        m_focusInReason = static_cast<QFocusEvent *>(event)->reason();
    }
    return QWidget::eventFilter(watched, event);
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

void TForm::swallowCurrentPress(QWidget *target)
{
    // A refused exit cancels the click that moved the focus: the button neither stays down
    // nor fires once the message is gone.
    if (auto *button = qobject_cast<QAbstractButton *>(target); button && button->isDown())
        button->setDown(false);
    new PressEater(target);
}

void TForm::focusControl(QWidget *control)
{
    if (!control || !control->isEnabled() || !control->isVisibleTo(this))
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
    if (!window()->isActiveWindow() && m_active != control)
        setActive(control);
}

void TForm::completeActiveExit()
{
    QWidget *focus = QApplication::focusWidget();
    QWidget *control = focus && formOf(focus) == this ? controlOf(focus) : m_active.data();
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
