// The test module KMBTST, declared only by its own folder: the host finds it by its manifest,
// lists it in its menu beside KMB61200, opens its screen from there and runs its report
// KMBT01 from the command line.
#include "Dadosgerrel.h"
#include "application.h"
#include "mainwindow.h"
#include "modulecatalog.h"
#include "moduleloader.h"
#include "testsupport.h"

#include <QAction>
#include <QFile>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QSettings>
#include <QTest>

class tst_Kmbtst : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<TempSqliteDb> m_db;
    QString m_config;
    std::unique_ptr<TApplication> m_app;
    std::unique_ptr<RecordingPresenter> m_presenter;
    const QStringList m_moduleDirs{moduleDir(), QStringLiteral(KMBTST_MODULE_DIR)};

    struct Run
    {
        int status = -1;
        QString out;
        QString err;
    };

    Run runReport(const QByteArray &criteria, const QString &out)
    {
        const QString file = m_dir.filePath(QStringLiteral("criterios.txt"));
        QFile f(file);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return {};
        f.write(criteria);
        f.close();
        QProcess p;
        p.start(moduleDir() + QStringLiteral("/kmbhost"),
                {"--report", "KMBT01", "--config", m_config, "--modules", m_moduleDirs.at(0),
                 "--modules", m_moduleDirs.at(1), "--criteria", file, "--out", out});
        Run r;
        if (!p.waitForFinished(30000)) {
            p.kill();
            p.waitForFinished();
            return r;
        }
        r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
        r.out = QString::fromUtf8(p.readAllStandardOutput());
        r.err = QString::fromUtf8(p.readAllStandardError());
        return r;
    }

private slots:
    void initTestCase()
    {
        m_db = std::make_unique<TempSqliteDb>();
        m_db->exec(QStringLiteral("INSERT INTO FILIAL (CDFILIAL, NMFILIAL) VALUES "
                                  "('0001', 'Matriz'), ('0002', 'Campinas'), ('0003', 'Capital')"));
        m_config = m_dir.filePath(QStringLiteral("kmb.ini"));
        {
            QSettings ini(m_config, QSettings::IniFormat);
            ini.setValue(QStringLiteral("Database/Driver"), QStringLiteral("QSQLITE"));
            ini.setValue(QStringLiteral("Database/Name"), m_db->path());
            ini.setValue(QStringLiteral("Reports/Directory"), QStringLiteral(KMBTST_REPORTS_DIR));
        }
        m_app = std::make_unique<TApplication>();
        m_app->setConfigFile(m_config);
        m_presenter = std::make_unique<RecordingPresenter>();
    }

    void cleanupTestCase()
    {
        m_presenter.reset();
        m_app.reset();
        m_db.reset();
    }

    void foundByItsManifest()
    {
        const ModuleCatalog catalog(m_moduleDirs);
        QVERIFY2(catalog.errors().isEmpty(), qPrintable(catalog.errors().join('\n')));
        const ModuleManifest *test = catalog.moduleOfReport(QStringLiteral("KMBT01"));
        QVERIFY(test);
        QCOMPARE(test->code, QStringLiteral("KMBTST"));
        QCOMPARE(test->createFunction, QStringLiteral("CriaTeste"));
        QCOMPARE(test->formVariable, QStringLiteral("frmTeste"));
        QCOMPARE(test->screenClass, QStringLiteral("TfrmTeste"));
        QCOMPARE(test->menuPath, QStringLiteral("Relatórios/Relação de Filiais (teste)"));
        QVERIFY(QFile::exists(test->libraryPath));
        QCOMPARE(catalog.moduleOfReport(QStringLiteral("KMB612"))->code,
                 QStringLiteral("KMB61200"));
    }

    void opensFromTheMenu()
    {
        ModuleLoader loader(m_moduleDirs);
        {
            MainWindow window(&loader, QString());
            m_app->setMdiArea(window.mdiArea());
            window.show();
            auto *action = window.findChild<QAction *>(QStringLiteral("actModuleKMBTST"));
            QVERIFY(action);
            QCOMPARE(action->text(), QStringLiteral("Relação de Filiais (teste)"));
            // Both modules in the one "Relatórios" menu of the bar.
            QMenu *reports = nullptr;
            for (QAction *top : window.menuBar()->actions())
                if (top->menu() && top->menu()->actions().contains(action))
                    reports = top->menu();
            QVERIFY(reports);
            QCOMPARE(reports->title(), QStringLiteral("&Relatórios"));
            QVERIFY(reports->actions().contains(
                window.findChild<QAction *>(QStringLiteral("actModuleKMB61200"))));

            action->trigger();
            QVERIFY2(m_presenter->texts().isEmpty(), qPrintable(m_presenter->texts().join('\n')));
            QVERIFY(loader.isLoaded(QStringLiteral("KMBTST")));
            const QList<QMdiSubWindow *> windows = window.mdiArea()->subWindowList();
            QCOMPARE(windows.size(), 1);
            auto *screen = qobject_cast<TfrmDadosGerRel *>(windows.first()->widget());
            QVERIFY(screen);
            QCOMPARE(screen->lblCodRel->text(), QStringLiteral("KMBT01"));
            QCOMPARE(screen->cbbReportNames->currentText(), QStringLiteral("Filiais"));
            // The same entry again shows the same screen.
            action->trigger();
            QCOMPARE(window.mdiArea()->subWindowList().size(), 1);
            m_app->destroyForms();
            m_app->setMdiArea(nullptr);
        }
        loader.unloadAll();
    }

    void runsFromTheCommandLine()
    {
        const QString csv = m_dir.filePath(QStringLiteral("filiais.csv"));
        const Run run = runReport("texto=Ca\n", csv);
        QVERIFY2(run.status == 0, qPrintable(run.err));
        QCOMPARE(run.out.trimmed(), QDir::toNativeSeparators(csv) + QStringLiteral(": 2 linhas"));
        QFile f(csv);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray rows = f.readAll();
        QVERIFY(rows.contains("Campinas") && rows.contains("Capital") && !rows.contains("Matriz"));

        // The screen's own check refuses, as in the window.
        const QString refusedCsv = m_dir.filePath(QStringLiteral("nada.csv"));
        const Run refused = runReport("texto=\n", refusedCsv);
        QCOMPARE(refused.status, 3);
        QVERIFY2(refused.err.contains(QStringLiteral("Texto não informado.")),
                 qPrintable(refused.err));
        QVERIFY(!QFile::exists(refusedCsv));
    }
};

QTEST_MAIN(tst_Kmbtst)
#include "tst_kmbtst.moc"
