#include "mainwindow.h"

#include "Dadosgerrel.h"
#include "criteriafile.h"
#include "errors.h"
#include "moduleloader.h"
#include "screencriteria.h"
#include "usersettings.h"

#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
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
    // A screen larger than the area (a small screen, a large scale) can be scrolled into view.
    m_mdiArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_mdiArea->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);

    QMenu *file = menuBar()->addMenu(QCoreApplication::translate("MainWindow", "&Arquivo"));
    QAction *openCriteria =
        file->addAction(QCoreApplication::translate("MainWindow", "&Abrir critérios..."), this,
                        &MainWindow::chooseCriteriaFile);
    openCriteria->setObjectName(QStringLiteral("actAbrirCriterios"));
    openCriteria->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O));
    file->addSeparator();
    file->addAction(QCoreApplication::translate("MainWindow", "&Sair"), QKeySequence::Quit, qApp,
                    &QApplication::quit);
    addModuleMenus(m_loader->catalog());

    m_windowMenu = menuBar()->addMenu(QCoreApplication::translate("MainWindow", "&Janela"));
    m_windowMenu->setObjectName(QStringLiteral("mnuJanela"));
    connect(m_windowMenu, &QMenu::aboutToShow, this, &MainWindow::fillWindowMenu);
    fillWindowMenu();
    QMenu *help = menuBar()->addMenu(QCoreApplication::translate("MainWindow", "A&juda"));
    help->addAction(QCoreApplication::translate("MainWindow", "&Sobre..."), this,
                    &MainWindow::showAbout);

    statusBar()->showMessage(m_databaseError.isEmpty() ? QStringLiteral("Pronto")
                                                       : m_databaseError);
    placeOnScreen();
}

void MainWindow::placeOnScreen()
{
    const QScreen *screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 1000, 720);
    if (restoreGeometry(UserSettings::windowGeometry()) && area.contains(frameGeometry()))
        return;
    // Room for the window frame and title, which are not part of the size.
    const QSize frame(16, 40);
    const QSize size = QSize(1000, 720).boundedTo(area.size() - frame);
    resize(size);
    move(area.topLeft() + QPoint((area.width() - size.width() - frame.width()) / 2,
                                 (area.height() - size.height() - frame.height()) / 2));
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    UserSettings::setWindowGeometry(saveGeometry());
    QMainWindow::closeEvent(event);
}

void MainWindow::fillWindowMenu()
{
    m_windowMenu->clear();
    QAction *cascade =
        m_windowMenu->addAction(QCoreApplication::translate("MainWindow", "&Cascata"), m_mdiArea,
                                &QMdiArea::cascadeSubWindows);
    QAction *tile =
        m_windowMenu->addAction(QCoreApplication::translate("MainWindow", "&Lado a lado"),
                                m_mdiArea, &QMdiArea::tileSubWindows);
    QAction *close = m_windowMenu->addAction(QCoreApplication::translate("MainWindow", "&Fechar"),
                                             m_mdiArea, &QMdiArea::closeActiveSubWindow);
    close->setObjectName(QStringLiteral("actFecharJanela"));
    close->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F4));
    close->setShortcutContext(Qt::ApplicationShortcut);
    const QList<QMdiSubWindow *> windows = m_mdiArea->subWindowList();
    cascade->setEnabled(!windows.isEmpty());
    tile->setEnabled(!windows.isEmpty());
    close->setEnabled(!windows.isEmpty());
    if (windows.isEmpty())
        return;
    m_windowMenu->addSeparator();
    auto *group = new QActionGroup(m_windowMenu);
    for (int i = 0; i < windows.size(); ++i) {
        QMdiSubWindow *sub = windows.at(i);
        const QString title = sub->widget() ? sub->widget()->windowTitle() : sub->windowTitle();
        QAction *action =
            m_windowMenu->addAction(i < 9 ? QStringLiteral("&%1 %2").arg(i + 1).arg(title) : title,
                                    this, [this, sub] { m_mdiArea->setActiveSubWindow(sub); });
        action->setCheckable(true);
        action->setChecked(sub == m_mdiArea->activeSubWindow());
        group->addAction(action);
    }
}

void MainWindow::showAbout()
{
    QMessageBox::about(this, QCoreApplication::translate("MainWindow", "Sobre"),
                       QCoreApplication::translate(
                           "MainWindow", "<b>Orçamento de Eventos</b><p>Relatórios do orçamento de "
                                         "eventos.</p><p>Qt %1</p>")
                           .arg(QString::fromLatin1(qVersion())));
}

void MainWindow::chooseCriteriaFile()
{
    const QString path = QFileDialog::getOpenFileName(
        this, QCoreApplication::translate("MainWindow", "Abrir critérios"),
        UserSettings::criteriaFolder(),
        QCoreApplication::translate("MainWindow",
                                    "Critérios (*.txt *.ini *.crit);;Todos os arquivos (*)"));
    if (path.isEmpty())
        return;
    UserSettings::setCriteriaFolder(QFileInfo(path).absolutePath());
    openCriteria(path);
}

bool MainWindow::openCriteria(const QString &path)
{
    return guarded([&] {
        QMdiSubWindow *sub = m_mdiArea->activeSubWindow();
        if (!sub && !m_mdiArea->subWindowList().isEmpty())
            sub = m_mdiArea->subWindowList().constLast();
        auto *form = sub ? qobject_cast<TfrmDadosGerRel *>(sub->widget()) : nullptr;
        if (!form)
            throw EAppError(QCoreApplication::translate(
                "MainWindow", "Abra a tela do relatório antes de abrir um arquivo "
                              "de critérios."));
        m_mdiArea->setActiveSubWindow(sub);
        form->activateWindow();
        const CriteriaFile file = CriteriaFile::load(path);
        // A malformed file names its line; a refusal of the screen was shown by the screen.
        ScreenCriteria(form).enter(file);
        statusBar()->showMessage(
            QCoreApplication::translate("MainWindow", "Critérios de '%1' carregados.")
                .arg(QFileInfo(path).fileName()),
            5000);
    });
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
