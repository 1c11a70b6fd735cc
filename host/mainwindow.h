#pragma once

#include <QMainWindow>

class QMdiArea;
class QMenu;
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
    // Enters the criteria of a file into the active screen, as the command line does; failures
    // are shown to the user.
    bool openCriteria(const QString &path);
    // Places the window on the screen: the geometry of the last run when it still fits,
    // otherwise its default size, never larger than the available screen.
    void placeOnScreen();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void chooseCriteriaFile();
    void fillWindowMenu();
    void showAbout();
    // One menu entry per screen module, at the path its manifest names.
    void addModuleMenus(const ModuleCatalog &catalog);
    ModuleLoader *m_loader;
    QMdiArea *m_mdiArea;
    QMenu *m_windowMenu = nullptr;
    QString m_databaseError;
};
