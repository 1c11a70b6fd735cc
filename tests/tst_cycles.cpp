// The screen module loaded and unloaded many times in one process, as the host does over a long
// session: load, Initialize, IniProc, close, Finalize, unload. Nothing may crash, leak (the
// sanitizer build checks for leaks at exit), stay mapped, or grow from cycle to cycle.
#include "application.h"
#include "testsupport.h"

#include <QApplication>
#include <QFile>
#include <QLibrary>
#include <QPointer>
#include <QSettings>
#include <QTest>
#include <QWidget>

#include <dlfcn.h>
#include <malloc.h>
#include <unistd.h>

// The allocator of the sanitizer build, when the process has one.
extern "C" size_t __sanitizer_get_current_allocated_bytes() __attribute__((weak));
extern "C" void __sanitizer_purge_allocator() __attribute__((weak));

namespace {

constexpr int kCycles = 100;
constexpr int kWarmUp = 5; // the first cycles fill Qt's caches (fonts, styles, plugins)

struct Memory
{
    qint64 mapped = 0;   // address space mapped (VmSize)
    qint64 resident = 0; // in memory (VmRSS)
    int mappings = 0;    // lines of /proc/self/maps
    qint64 heap = 0;     // bytes in use on the heap
    int moduleMappings = 0;
};

Memory measure(const QByteArray &moduleFile)
{
    // Freed memory kept for reuse is not in use: hand it back before looking.
    if (__sanitizer_purge_allocator)
        __sanitizer_purge_allocator();
    malloc_trim(0);
    Memory m;
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (statm.open(QIODevice::ReadOnly)) {
        const QList<QByteArray> fields = statm.readAll().simplified().split(' ');
        const qint64 page = sysconf(_SC_PAGESIZE);
        if (fields.size() >= 2) {
            m.mapped = fields.at(0).toLongLong() * page;
            m.resident = fields.at(1).toLongLong() * page;
        }
    }
    QFile maps(QStringLiteral("/proc/self/maps"));
    if (maps.open(QIODevice::ReadOnly)) {
        // Read whole: /proc files have no size, so a line-by-line read at the end is unreliable.
        const QList<QByteArray> lines = maps.readAll().split('\n');
        for (const QByteArray &line : lines) {
            if (line.isEmpty())
                continue;
            ++m.mappings;
            if (line.endsWith(moduleFile))
                ++m.moduleMappings;
        }
    }
    if (__sanitizer_get_current_allocated_bytes)
        m.heap = qint64(__sanitizer_get_current_allocated_bytes());
    else
        m.heap = qint64(mallinfo2().uordblks);
    return m;
}

QString mib(qint64 bytes)
{
    return QString::number(double(bytes) / (1024.0 * 1024.0), 'f', 2) + QStringLiteral(" MiB");
}

QString kib(qint64 bytes)
{
    return QString::number(double(bytes) / 1024.0, 'f', 1) + QStringLiteral(" KiB");
}

} // namespace

class tst_Cycles : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<TempSqliteDb> m_db;
    std::unique_ptr<TApplication> m_app;
    std::unique_ptr<RecordingPresenter> m_presenter;
    const QString m_path = moduleDir() + QStringLiteral("/libKMB61200.so");

    // One session of the report: the host loads the module, opens and closes the screen, and
    // unloads the module again.
    void cycle(int n)
    {
        QLibrary lib(m_path);
        QVERIFY2(lib.load(), qPrintable(lib.errorString()));
        auto initialize = reinterpret_cast<void (*)()>(lib.resolve("Initialize"));
        auto iniProc = reinterpret_cast<void (*)()>(lib.resolve("IniProc"));
        auto finalize = reinterpret_cast<void (*)()>(lib.resolve("Finalize"));
        auto frmRelForn = reinterpret_cast<QWidget **>(lib.resolve("frmRelForn"));
        auto boIdCriado = reinterpret_cast<bool *>(lib.resolve("BoIdCriado"));
        QVERIFY(initialize && iniProc && finalize && frmRelForn && boIdCriado);

        initialize();
        QVERIFY(!*boIdCriado);
        iniProc();
        QPointer<QWidget> form = *frmRelForn;
        QVERIFY(form);
        QVERIFY(form->isVisible());
        QCOMPARE(m_app->forms().size(), 1);
        form->close();
        QTRY_VERIFY(form.isNull()); // closing destroys the screen
        QCOMPARE(*frmRelForn, nullptr);
        QVERIFY(!*boIdCriado);
        QCOMPARE(m_app->forms().size(), 0);
        finalize();
        QVERIFY2(lib.unload(), qPrintable(lib.errorString()));

        const QByteArray file = m_path.toLocal8Bit();
        void *still = dlopen(file.constData(), RTLD_NOW | RTLD_NOLOAD);
        if (still)
            dlclose(still);
        QVERIFY2(!still, qPrintable(QStringLiteral("cycle %1: the module stayed loaded").arg(n)));
        // Every message would be a failure of the screen's opening or closing.
        QVERIFY2(m_presenter->entries.isEmpty(), qPrintable(m_presenter->texts().join('\n')));
    }

private slots:
    void initTestCase()
    {
        m_db = std::make_unique<TempSqliteDb>();
        m_db->exec(
            QStringLiteral("INSERT INTO FILIAL (CDFILIAL, NMFILIAL) VALUES ('0001', 'Matriz')"));
        const QString config = m_dir.filePath(QStringLiteral("kmb.ini"));
        {
            QSettings ini(config, QSettings::IniFormat);
            ini.setValue(QStringLiteral("Reports/Directory"),
                         sourcePath(QStringLiteral("reports")));
            ini.setValue(QStringLiteral("AppServer/Host"), QStringLiteral("127.0.0.1"));
            ini.setValue(QStringLiteral("AppServer/Port"), 1); // nobody listens
        }
        m_app = std::make_unique<TApplication>();
        m_app->setConfigFile(config);
        m_presenter = std::make_unique<RecordingPresenter>();
        QVERIFY(QFile::exists(m_path));
    }

    void cleanupTestCase()
    {
        m_app.reset();
        m_presenter.reset();
        m_db.reset();
    }

    void loadOpenCloseUnloadHundredTimes()
    {
        const QByteArray moduleFile = QFileInfo(m_path).canonicalFilePath().toLocal8Bit();
        const Memory before = measure(moduleFile);
        Memory afterWarmUp;
        Memory halfway;
        for (int n = 1; n <= kCycles; ++n) {
            cycle(n);
            if (QTest::currentTestFailed())
                return;
            const Memory now = measure(moduleFile);
            QVERIFY2(now.moduleMappings == 0,
                     qPrintable(QStringLiteral("cycle %1: the module is still mapped").arg(n)));
            if (n == kWarmUp)
                afterWarmUp = now;
            if (n == kCycles / 2)
                halfway = now;
        }
        const Memory after = measure(moduleFile);

        const auto line = [](const char *when, const Memory &m) {
            qInfo("%-22s mapped %12s  resident %12s  mappings %5d  heap in use %12s", when,
                  qPrintable(mib(m.mapped)), qPrintable(mib(m.resident)), m.mappings,
                  qPrintable(kib(m.heap)));
        };
        qInfo("%d cycles of load, Initialize, IniProc, close, Finalize, unload (%s)", kCycles,
              __sanitizer_get_current_allocated_bytes ? "sanitizer allocator" : "glibc malloc");
        line("before the first cycle", before);
        line(qPrintable(QStringLiteral("after cycle %1").arg(kWarmUp)), afterWarmUp);
        line(qPrintable(QStringLiteral("after cycle %1").arg(kCycles / 2)), halfway);
        line(qPrintable(QStringLiteral("after cycle %1").arg(kCycles)), after);
        const int measured = kCycles - kWarmUp;
        qInfo("growth over the last %d cycles: mapped %s, mappings %+d, heap in use %s "
              "(%s per cycle)",
              measured, qPrintable(mib(after.mapped - afterWarmUp.mapped)),
              after.mappings - afterWarmUp.mappings, qPrintable(kib(after.heap - afterWarmUp.heap)),
              qPrintable(kib((after.heap - afterWarmUp.heap) / measured)));

        // After the warm-up nothing may grow with the number of cycles: a screen, a library or
        // a resource left behind per cycle is at least tens of KiB and a few mappings each time.
        QVERIFY2(
            after.heap - afterWarmUp.heap <= 256 * 1024,
            qPrintable(
                QStringLiteral("heap in use grew by %1").arg(kib(after.heap - afterWarmUp.heap))));
        QVERIFY2(after.heap - halfway.heap <= 64 * 1024,
                 qPrintable(QStringLiteral("heap in use grew by %1 over the last %2 cycles")
                                .arg(kib(after.heap - halfway.heap))
                                .arg(kCycles - kCycles / 2)));
        if (__sanitizer_get_current_allocated_bytes) {
            // The sanitizer keeps allocation stacks and freed blocks for its checks and maps
            // memory for them as it goes: its mappings say nothing of the program's (the heap in
            // use above is its count of the program's live blocks, and it checks for leaks).
            qInfo("mapped memory and mappings not checked under the sanitizer allocator");
            return;
        }
        QVERIFY2(
            after.mappings - afterWarmUp.mappings <= 4,
            qPrintable(
                QStringLiteral("mappings grew by %1").arg(after.mappings - afterWarmUp.mappings)));
        QVERIFY2(after.mapped - afterWarmUp.mapped <= 4 * 1024 * 1024,
                 qPrintable(QStringLiteral("mapped memory grew by %1")
                                .arg(mib(after.mapped - afterWarmUp.mapped))));
    }
};

QTEST_MAIN(tst_Cycles)
#include "tst_cycles.moc"
