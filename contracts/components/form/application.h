#pragma once

#include "hostsettings.h"

#include <QList>
#include <QMdiArea>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class QMdiArea;
class QWidget;
class TForm;

// The application object: creates and owns the screens, shows them as children of the main
// window's MDI area, and knows the host's configuration file.
class COMPONENTS_EXPORT TApplication : public QObject
{
    Q_OBJECT
public:
    explicit TApplication(QObject *parent = nullptr);
    ~TApplication() override;

    static TApplication *instance();

    // The MDI area screens are shown in; null runs screens as top-level windows (tests).
    void setMdiArea(QMdiArea *area) { m_mdiArea = area; }
    QMdiArea *mdiArea() const { return m_mdiArea; }

    // Creates a screen of type T and completes its creation (stored layout, creation event).
    // A failure destroys the half-made instance and propagates.
    template <class T>
    T *CreateForm()
    {
        return static_cast<T *>(adopt(new T(nullptr)));
    }
    // Shows the screen and brings it to the front.
    void showForm(TForm *form);
    // Destroys every screen still alive (before the modules that made them unload).
    void destroyForms();
    QList<TForm *> forms() const;

    // The host's configuration, read once by the host and handed down to the screens (the
    // application server, the report definitions directory).
    const HostSettings &settings() const { return m_settings; }
    void setSettings(const HostSettings &settings) { m_settings = settings; }
    // Reads the configuration file (INI) and hands it down.
    void setConfigFile(const QString &path) { m_settings = HostSettings::read(path); }
    QString configFile() const { return m_settings.configFile; }

private:
    TForm *adopt(TForm *form);
    QPointer<QMdiArea> m_mdiArea;
    QList<QPointer<TForm>> m_forms;
    HostSettings m_settings;
};
