#include "layoutloader.h"

#include "componentregistry.h"
#include "dataset.h"
#include "errors.h"
#include "tform.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutex>
#include <QPointer>
#include <QUiLoader>
#include <QXmlStreamReader>

#include <functional>
#include <optional>

void installFontSubstitutions()
{
    // The layouts were designed with "MS Sans Serif"; Liberation Sans has the closest metrics.
    QFont::insertSubstitution(QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"));
}

namespace {

// ---------------------------------------------------------------------------------------------
// The kept layouts

struct UiLayout
{
    QByteArray xml;
    std::optional<QPoint> designedPosition; // when the root has a geometry
};

// Identifies a version of a layout: resources never change, files by time and size.
QString versionOf(const QString &resource)
{
    if (resource.startsWith(QLatin1Char(':')))
        return {};
    const QFileInfo info(resource);
    return QStringLiteral("%1/%2").arg(info.lastModified().toMSecsSinceEpoch()).arg(info.size());
}

template <class T>
struct Kept
{
    QString version;
    T value;
};

QMutex g_cacheMutex;
QHash<QString, Kept<UiLayout>> g_uiCache;
QHash<QString, Kept<QJsonObject>> g_jsonCache;

// The root's designed position (Designer keeps it in the root geometry, which the loader
// applies as a size only).
std::optional<QPoint> readDesignedPosition(const QByteArray &xmlText)
{
    QXmlStreamReader xml(xmlText);
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
            return QPoint(x, y);
        }
    }
    return std::nullopt;
}

UiLayout uiLayout(const QString &resource)
{
    const QString version = versionOf(resource);
    {
        QMutexLocker lock(&g_cacheMutex);
        auto it = g_uiCache.constFind(resource);
        if (it != g_uiCache.constEnd() && it->version == version)
            return it->value;
    }
    QFile file(resource);
    if (!file.open(QIODevice::ReadOnly))
        throw EAppError(QCoreApplication::translate("LayoutLoader", "Leiaute '%1' não encontrado.")
                            .arg(resource));
    UiLayout layout;
    layout.xml = file.readAll();
    layout.designedPosition = readDesignedPosition(layout.xml);
    QMutexLocker lock(&g_cacheMutex);
    // The name may be a literal of a module that is unloaded later: the cache keeps its own copy.
    g_uiCache.insert(QString(resource.constData(), resource.size()), {version, layout});
    return layout;
}

QJsonObject jsonLayout(const QString &resource)
{
    const QString version = versionOf(resource);
    {
        QMutexLocker lock(&g_cacheMutex);
        auto it = g_jsonCache.constFind(resource);
        if (it != g_jsonCache.constEnd() && it->version == version)
            return it->value;
    }
    QFile file(resource);
    if (!file.open(QIODevice::ReadOnly))
        throw EAppError(QCoreApplication::translate("LayoutLoader",
                                                    "Descrição de componentes '%1' não encontrada.")
                            .arg(resource));
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &error);
    if (error.error != QJsonParseError::NoError)
        throw EAppError(
            QCoreApplication::translate("LayoutLoader",
                                        "Descrição de componentes '%1' inválida: %2 (posição %3).")
                .arg(resource, error.errorString())
                .arg(error.offset));
    const QJsonObject root = doc.object();
    QMutexLocker lock(&g_cacheMutex);
    g_jsonCache.insert(QString(resource.constData(), resource.size()), {version, root});
    return root;
}

// ---------------------------------------------------------------------------------------------
// Loading a .ui onto an existing form

// Creates the widgets of a stored layout. The root is the form itself; a name that already
// exists (a base component the derived layout changes) returns that component, so the layout
// only sets the properties it lists and adds children to it.
class FormUiLoader : public QUiLoader
{
public:
    explicit FormUiLoader(QObject *parent)
        : QUiLoader(parent)
    {
        // Every class of the layouts comes from the registry: never scan for and load Designer
        // plugins (one of them pulls in Qt Quick).
        clearPluginPaths();
    }

    // The form the next load builds on, and how it records a created component.
    void begin(TForm *form, std::function<void(QObject *)> addComponent)
    {
        m_form = form;
        m_addComponent = std::move(addComponent);
        m_rootDone = false;
    }
    void end()
    {
        m_form = nullptr;
        m_addComponent = nullptr;
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
            throw EAppError(QCoreApplication::translate(
                                "LayoutLoader", "Classe de componente desconhecida '%1' (%2).")
                                .arg(className, name));
        w->setObjectName(name);
        m_addComponent(w);
        return w;
    }

private:
    TForm *m_form = nullptr;
    std::function<void(QObject *)> m_addComponent;
    bool m_rootDone = false;
};

// One loader for the process: making a loader scans the Designer plugin folders before its
// paths can be cleared. It lives as long as the application object.
FormUiLoader *uiLoader()
{
    static QPointer<FormUiLoader> loader;
    if (!loader)
        loader = new FormUiLoader(QCoreApplication::instance());
    return loader;
}

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
            throw EAppError(QCoreApplication::translate(
                                "LayoutLoader", "Propriedade '%1' de '%2' inválida em '%3'.")
                                .arg(it.key(), object->objectName(), resource));
    }
}

} // namespace

void LayoutLoader::applyUi(TForm *form, const QString &resource)
{
    const UiLayout layout = uiLayout(resource);
    if (layout.designedPosition)
        form->m_designedPosition = *layout.designedPosition;
    QBuffer buffer;
    buffer.setData(layout.xml);
    buffer.open(QIODevice::ReadOnly);
    FormUiLoader *loader = uiLoader();
    loader->begin(form, [form](QObject *component) { form->addComponent(component); });
    QWidget *root = nullptr;
    try {
        root = loader->load(&buffer, nullptr);
    } catch (...) {
        loader->end();
        throw;
    }
    loader->end();
    if (root != form)
        throw EAppError(QCoreApplication::translate("LayoutLoader", "Leiaute '%1' inválido: %2")
                            .arg(resource, loader->errorString()));
}

void LayoutLoader::applyComponents(TForm *form, const QString &resource)
{
    const QJsonObject root = jsonLayout(resource);

    auto readEvents = [&](QObject *object, const QJsonObject &events) {
        for (auto it = events.begin(); it != events.end(); ++it)
            form->m_namedEvents[object].insert(it.key(), it.value().toString());
    };

    // Changes to components declared by a base layout.
    for (const QJsonValue &v : root.value(QLatin1String("changes")).toArray()) {
        const QJsonObject change = v.toObject();
        const QString name = change.value(QLatin1String("name")).toString();
        QObject *object = form->FindComponent(name);
        if (!object)
            throw EAppError(QCoreApplication::translate(
                                "LayoutLoader", "Componente herdado '%1' não existe ('%2').")
                                .arg(name, resource));
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
        QObject *object = ComponentRegistry::createObject(className, form);
        if (!object)
            throw EAppError(QCoreApplication::translate(
                                "LayoutLoader", "Classe de componente desconhecida '%1' (%2).")
                                .arg(className, name));
        object->setObjectName(name);
        form->addComponent(object);
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
                throw EAppError(
                    QCoreApplication::translate("LayoutLoader", "Campo inválido em '%1' (%2).")
                        .arg(name, resource));
            }
            field->setObjectName(fdecl.value(QLatin1String("name")).toString());
            form->addComponent(field);
            setProperties(field, fdecl.value(QLatin1String("properties")).toObject(), resource);
            readEvents(field, fdecl.value(QLatin1String("events")).toObject());
            query->addField(field);
        }
    }
}

void LayoutLoader::clearCache()
{
    QMutexLocker lock(&g_cacheMutex);
    g_uiCache.clear();
    g_jsonCache.clear();
}
