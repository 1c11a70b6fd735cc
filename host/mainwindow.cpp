#include "mainwindow.h"

#include "errors.h"
#include "moduleloader.h"

#include <QApplication>
#include <QMdiArea>
#include <QMenuBar>
#include <QStatusBar>

namespace {

// The menu of the bar or of a parent menu with the title, made when missing.
QMenu *menuNamed(QMenuBar *bar, QMenu *parent, const QString &title)
{
    const QList<QAction *> actions = parent ? parent->actions() : bar->actions();
    for (QAction *action : actions)
        if (action->menu() && action->text().remove(QLatin1Char('&')) == title)
            return action->menu();
    return parent ? parent->addMenu(title) : bar->addMenu(QLatin1Char('&') + title);
}

} // namespace

MainWindow::MainWindow(ModuleLoader *loader, QString databaseError, QWidget *parent)
    : QMainWindow(parent)
    , m_loader(loader)
    , m_mdiArea(new QMdiArea(this))
    , m_databaseError(std::move(databaseError))
{
    setWindowTitle(QCoreApplication::translate("MainWindow", "Orçamento de Eventos"));
    setCentralWidget(m_mdiArea);
    QMenu *file = menuBar()->addMenu(QCoreApplication::translate("MainWindow", "&Arquivo"));
    file->addAction(QCoreApplication::translate("MainWindow", "&Sair"), QKeySequence::Quit, qApp,
                    &QApplication::quit);
    addModuleMenus(m_loader->catalog());
    statusBar()->showMessage(m_databaseError.isEmpty() ? QStringLiteral("Pronto")
                                                       : m_databaseError);
    resize(1000, 720);
}

void MainWindow::addModuleMenus(const ModuleCatalog &catalog)
{
    for (const ModuleManifest &module : catalog.modules()) {
        QStringList path = module.menuPath.split(QLatin1Char('/'), Qt::SkipEmptyParts);
        const QString entry = path.takeLast();
        if (path.isEmpty())
            path << QCoreApplication::translate("MainWindow", "Relatórios");
        QMenu *menu = nullptr;
        for (const QString &title : std::as_const(path))
            menu = menuNamed(menuBar(), menu, title);
        QAction *action =
            menu->addAction(entry, this, [this, code = module.code] { openScreen(code); });
        action->setObjectName(QStringLiteral("actModule") + module.code);
    }
}

bool MainWindow::openScreen(const QString &code)
{
    return guarded([&] {
        if (!m_databaseError.isEmpty())
            throw EAppError(m_databaseError);
        m_loader->open(code);
    });
}
