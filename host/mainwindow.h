#pragma once

#include <QMainWindow>

class QMdiArea;
class ModuleCatalog;
class ModuleLoader;

// The host's main window: the screens open as MDI children from the menus their modules'
// manifests name.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    MainWindow(ModuleLoader *loader, QString databaseError, QWidget *parent = nullptr);
    QMdiArea *mdiArea() const { return m_mdiArea; }
    // Opens a screen module by code; failures are shown to the user, the host keeps running.
    bool openScreen(const QString &code);

private:
    // One menu entry per screen module, at the path its manifest names.
    void addModuleMenus(const ModuleCatalog &catalog);
    ModuleLoader *m_loader;
    QMdiArea *m_mdiArea;
    QString m_databaseError;
};
