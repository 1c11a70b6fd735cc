// The screen module as the host sees it: its exports, the single instance, the module state
// across close and reload, failed creation, and loading errors.
#include "application.h"
#include "errors.h"
#include "moduleloader.h"
#include "testsupport.h"
#include "tform.h"

#include <QApplication>
#include <QLibrary>
#include <QSettings>
#include <QTest>

#include <dlfcn.h>

namespace {

// Fails every message, so a message shown while the screen is created becomes a failure of
// the creation itself.
class ThrowingPresenter : public MessagePresenter
{
public:
    ThrowingPresenter() { setMessagePresenter(this); }
    ~ThrowingPresenter() override { setMessagePresenter(nullptr); }
    void show(Kind, const QString &text) override { throw EAppError(text); }
};

struct Module
{
    QLibrary lib;
    void (*IniProc)() = nullptr;
    void (*Initialize)() = nullptr;
    void (*Finalize)() = nullptr;
    QWidget **frmRelForn = nullptr;
    bool *BoIdCriado = nullptr;

    explicit Module(const QString &path)
        : lib(path)
    {}
    bool load()
    {
        if (!lib.load())
            return false;
        IniProc = reinterpret_cast<void (*)()>(lib.resolve("IniProc"));
        Initialize = reinterpret_cast<void (*)()>(lib.resolve("Initialize"));
        Finalize = reinterpret_cast<void (*)()>(lib.resolve("Finalize"));
        frmRelForn = reinterpret_cast<QWidget **>(lib.resolve("frmRelForn"));
        BoIdCriado = reinterpret_cast<bool *>(lib.resolve("BoIdCriado"));
        return IniProc && Initialize && Finalize && frmRelForn && BoIdCriado &&
               lib.resolve("CriaRelForn") && lib.resolve("GetPackageInfoTable");
    }
};

} // namespace

class tst_Module : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<TempSqliteDb> m_db;
    std::unique_ptr<TApplication> m_app;
    std::unique_ptr<RecordingPresenter> m_presenter;
    const QString m_path = moduleDir() + QStringLiteral("/libKMB61200.so");

    void closeScreen(QWidget *form)
    {
        QPointer<QWidget> guard = form;
        form->close();
        QTRY_VERIFY(guard.isNull()); // closing destroys the instance
    }

private slots:
    void initTestCase()
    {
        m_db = std::make_unique<TempSqliteDb>();
        const QString config = m_dir.filePath(QStringLiteral("kmb.ini"));
        {
            QSettings ini(config, QSettings::IniFormat);
            ini.setValue(QStringLiteral("Reports/Directory"),
                         sourcePath(QStringLiteral("reports")));
            ini.setValue(QStringLiteral("AppServer/Host"), QStringLiteral("127.0.0.1"));
            ini.setValue(QStringLiteral("AppServer/Port"), 1);
        }
        m_app = std::make_unique<TApplication>();
        m_app->setConfigFile(config);
        m_presenter = std::make_unique<RecordingPresenter>();
    }
    void cleanupTestCase()
    {
        m_app.reset();
        m_presenter.reset();
        m_db.reset();
    }

    void oneInstanceShownAgainAndRecreatedAfterClose()
    {
        Module m(m_path);
        QVERIFY2(m.load(), qPrintable(m.lib.errorString()));
        m.Initialize();
        QVERIFY(!*m.BoIdCriado);
        m.IniProc();
        QWidget *first = *m.frmRelForn;
        QVERIFY(first);
        QVERIFY(*m.BoIdCriado);
        QVERIFY(first->isVisible());
        QCOMPARE(first->windowTitle(), QStringLiteral("Relação de Fornecedores do Orçamento"));
        first->hide();
        m.IniProc();
        QCOMPARE(*m.frmRelForn, first); // shown again, not created again
        QVERIFY(first->isVisible());
        QCOMPARE(m_app->forms().size(), 1);

        closeScreen(first);
        QCOMPARE(*m.frmRelForn, nullptr);
        QVERIFY(!*m.BoIdCriado);
        m.IniProc();
        QVERIFY(*m.frmRelForn);
        QCOMPARE(m_app->forms().size(), 1);
        closeScreen(*m.frmRelForn);
        m.Finalize();
        QVERIFY(m.lib.unload());
    }

    void failedCreationLeavesNoInstance()
    {
        Module m(m_path);
        QVERIFY(m.load());
        m.Initialize();
        {
            // The empty report directory makes creation show a message, which fails.
            QTemporaryDir empty;
            QSettings(m_app->configFile(), QSettings::IniFormat)
                .setValue(QStringLiteral("Reports/Directory"), empty.path());
            m_app->setConfigFile(m_app->configFile());
            ThrowingPresenter failing;
            bool raised = false;
            try {
                m.IniProc();
            } catch (const EAppError &) {
                raised = true;
            }
            QVERIFY(raised);
            QVERIFY(!*m.BoIdCriado);
            QCOMPARE(*m.frmRelForn, nullptr);
            QCOMPARE(m_app->forms().size(), 0);
            QVERIFY(!QApplication::overrideCursor()); // the busy cursor was reset
        }
        QSettings(m_app->configFile(), QSettings::IniFormat)
            .setValue(QStringLiteral("Reports/Directory"), sourcePath(QStringLiteral("reports")));
        m_app->setConfigFile(m_app->configFile());
        setMessagePresenter(m_presenter.get());
        m.IniProc(); // the next call creates again
        QVERIFY(*m.BoIdCriado);
        QVERIFY(*m.frmRelForn);
        closeScreen(*m.frmRelForn);
        m.Finalize();
        QVERIFY(m.lib.unload());
    }

    void unloadsForRealAndReloads()
    {
        for (int cycle = 0; cycle < 3; ++cycle) {
            Module m(m_path);
            QVERIFY(m.load());
            m.Initialize();
            QVERIFY(!*m.BoIdCriado);
            m.IniProc();
            closeScreen(*m.frmRelForn);
            m.Finalize();
            QVERIFY(m.lib.unload());
            const QByteArray file = m_path.toLocal8Bit();
            void *still = dlopen(file.constData(), RTLD_NOW | RTLD_NOLOAD);
            if (still)
                dlclose(still);
            QVERIFY2(!still, "the module stayed mapped after unload");
        }
    }

    void loaderReportsMissingModuleAndExport_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("message");
        QTest::newRow("no library") << "KMB99999"
                                    << "libKMB99999.so";
        QTest::newRow("no IniProc") << "KMBBAD"
                                    << "não exporta 'IniProc'";
    }
    void loaderReportsMissingModuleAndExport()
    {
        QFETCH(QString, code);
        QFETCH(QString, message);
        ModuleLoader loader(moduleDir());
        try {
            loader.open(code);
            QFAIL("open should fail");
        } catch (const EAppError &e) {
            QVERIFY2(e.message().contains(message), qPrintable(e.message()));
        }
        QVERIFY(!loader.isLoaded(code));
        // The loader still works for a good module afterwards.
        loader.open(QStringLiteral("KMB61200"));
        QVERIFY(loader.isLoaded(QStringLiteral("KMB61200")));
        m_app->destroyForms();
        loader.unloadAll();
    }
};

QTEST_MAIN(tst_Module)
#include "tst_module.moc"
