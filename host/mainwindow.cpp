#include "mainwindow.h"

#include "errors.h"
#include "moduleloader.h"

#include <QApplication>
#include <QMdiArea>
#include <QMenuBar>
#include <QStatusBar>

MainWindow::MainWindow(ModuleLoader *loader, QString databaseError, QWidget *parent)
    : QMainWindow(parent)
    , m_loader(loader)
    , m_mdiArea(new QMdiArea(this))
    , m_databaseError(std::move(databaseError))
{
    setWindowTitle(QStringLiteral("Orçamento de Eventos"));
    setCentralWidget(m_mdiArea);
    QMenu *reports = menuBar()->addMenu(QStringLiteral("&Relatórios"));
    reports->addAction(QStringLiteral("Relação de Fornecedores do Orçamento"), this,
                       [this] { openScreen(QStringLiteral("KMB61200")); });
    QMenu *file = menuBar()->addMenu(QStringLiteral("&Arquivo"));
    file->addAction(QStringLiteral("&Sair"), QKeySequence::Quit, qApp, &QApplication::quit);
    statusBar()->showMessage(m_databaseError.isEmpty() ? QStringLiteral("Pronto")
                                                       : m_databaseError);
    resize(1000, 720);
}

bool MainWindow::openScreen(const QString &code)
{
    return guarded([&] {
        if (!m_databaseError.isEmpty())
            throw EAppError(m_databaseError);
        m_loader->open(code);
    });
}
