// kmbbench: the speed and memory of the screen module at scale, each figure side by side with
// a floor measured in the same run on the same machine. One line per figure:
//   NAME VALUE UNIT floor=FLOOR ratio=RATIO target=TARGET PASS|MISS

#include "Dadosgerrel.h"
#include "application.h"
#include "controls.h"
#include "criteriafile.h"
#include "dataset.h"
#include "errors.h"
#include "moduleloader.h"
#include "reportdefinition.h"
#include "reportdesigner.h"
#include "reportpreview.h"
#include "reportsql.h"
#include "ui_floorbase.h"
#include "ui_floorscreen.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QCommandLineParser>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLibrary>
#include <QLineEdit>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QProcess>
#include <QSettings>
#include <QSqlError>
#include <QSqlQuery>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <optional>
#include <unistd.h>

namespace {

const QString kModule = QStringLiteral("KMB61200");
const qint64 kSuppliers = 1000000;
const qint64 kItems = 600000; // six branches: 100,000 report lines in branch 0001
const int kReportLines = 100000;

void say(const QString &text)
{
    fprintf(stderr, "%s\n", text.toUtf8().constData());
    fflush(stderr);
}

[[noreturn]] void die(const QString &text)
{
    say(QStringLiteral("kmbbench: ") + text);
    std::exit(1);
}

double median(QList<double> values)
{
    if (values.isEmpty())
        return 0;
    std::sort(values.begin(), values.end());
    const qsizetype n = values.size();
    return n % 2 ? values.at(n / 2) : (values.at(n / 2 - 1) + values.at(n / 2)) / 2;
}

// One result line. A ratio target compares with the floor; a limit compares the value itself.
struct Figure
{
    QString name;
    double value = 0;
    QString unit;
    std::optional<double> floor;
    std::optional<double> maxRatio;
    std::optional<double> maxValue;

    bool pass() const
    {
        bool ok = true;
        if (maxRatio && floor)
            ok = ok && value <= *maxRatio * *floor;
        if (maxValue)
            ok = ok && value < *maxValue;
        return ok;
    }
    QString line() const
    {
        auto num = [](double v) {
            return QString::number(v, 'f', v < 10 ? 2 : 1);
        };
        QStringList target;
        if (maxRatio)
            target << QStringLiteral("ratio<=%1").arg(*maxRatio);
        if (maxValue)
            target << QStringLiteral("<%1%2").arg(*maxValue).arg(unit);
        const QString ratio =
            floor && *floor > 0 ? QString::number(value / *floor, 'f', 2) : QStringLiteral("-");
        return QStringLiteral("%1 %2 %3 floor=%4 ratio=%5 target=%6 %7")
            .arg(name, num(value), unit, floor ? num(*floor) : QStringLiteral("-"), ratio,
                 target.join(QLatin1Char(',')),
                 pass() ? QStringLiteral("PASS") : QStringLiteral("MISS"));
    }
};

QList<Figure> g_figures;

void report(const Figure &figure)
{
    g_figures << figure;
    printf("%s\n", figure.line().toUtf8().constData());
    fflush(stdout);
}

qint64 residentBytes()
{
    QFile file(QStringLiteral("/proc/self/statm"));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> parts = file.readAll().split(' ');
    return parts.size() > 1 ? parts.at(1).toLongLong() * sysconf(_SC_PAGESIZE) : 0;
}

// Peak resident memory since the last reset.
qint64 peakBytes()
{
    QFile file(QStringLiteral("/proc/self/status"));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : file.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong() * 1024;
    return 0;
}

void resetPeak()
{
    QFile file(QStringLiteral("/proc/self/clear_refs"));
    if (file.open(QIODevice::WriteOnly))
        file.write("5");
}

// Wall time of a command, output discarded.
double timeCommand(const QString &program, const QStringList &args)
{
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setProcessChannelMode(QProcess::SeparateChannels);
    QElapsedTimer timer;
    timer.start();
    process.start(program, args);
    if (!process.waitForFinished(600000) || process.exitCode() != 0)
        die(QStringLiteral("%1 falhou: %2")
                .arg(program, QString::fromLocal8Bit(process.readAllStandardError())));
    return timer.nsecsElapsed() / 1e6;
}

void processUntil(const std::function<bool()> &done, const char *what, int timeoutMs = 120000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs)
            die(QStringLiteral("tempo esgotado esperando %1").arg(QLatin1String(what)));
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
}

// Paint events of a widget or of any widget inside it (a widget without a paint handler of its
// own gets none, so its children tell when it is on screen).
class PaintProbe : public QObject
{
public:
    explicit PaintProbe(QWidget *widget)
        : m_widget(widget)
    {
        qApp->installEventFilter(this);
    }
    ~PaintProbe() override { qApp->removeEventFilter(this); }
    bool painted = false;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && watched->isWidgetType()) {
            auto *w = static_cast<QWidget *>(watched);
            if (w == m_widget || m_widget->isAncestorOf(w))
                painted = true;
        }
        return false;
    }

private:
    QWidget *m_widget;
};

// The floor's child: the screen's two stored layouts compiled into C++ by uic (the base
// screen's, then the screen's own) on a plain widget, with the same control classes.
QWidget *compiledScreen()
{
    auto *child = new QWidget;
    Ui_TfrmDadosGerRel base;
    base.setupUi(child);
    Ui_TfrmRelForn screen;
    screen.setupUi(child);
    child->setFixedSize(child->size());
    return child;
}

// ---------------------------------------------------------------------------------------------

class Bench
{
public:
    Bench(QString workDir, QString binDir, QString sourceDir)
        : m_work(std::move(workDir))
        , m_bin(std::move(binDir))
        , m_source(std::move(sourceDir))
    {}
    ~Bench()
    {
        // Screens first, then their module, then the window they lived in.
        if (m_app)
            m_app->destroyForms();
        m_loader.reset();
        m_window.reset();
        m_app.reset();
        setDtmDBGeral(nullptr);
    }

    void run(bool withPostgres);
    // Figure groups to run (open_screen, picklist, report, postgres); empty: all.
    QStringList only;
    bool wants(const QString &group) const { return only.isEmpty() || only.contains(group); }

private:
    QString dbgen() const { return m_bin + QStringLiteral("/dbgen"); }
    QString sqlitePath() const { return QDir(m_work).filePath(QStringLiteral("bench.db")); }
    void makeSqlite();
    TdtmDBGeral::Settings makePostgres();
    void openDatabase(const TdtmDBGeral::Settings &settings);
    TfrmDadosGerRel *openScreen();
    void activate();
    void closeScreen();

    void openScreenFigure();
    void pickListFigures(const QString &suffix, const std::function<double()> &floorFirstRows,
                         bool all);
    void reportFigures();
    void previewFigure();
    QString floorSql(int layout);

    QString m_work;
    QString m_bin;
    QString m_source;
    QString m_config;
    std::unique_ptr<TdtmDBGeral> m_dtm;
    std::unique_ptr<TApplication> m_app;
    std::unique_ptr<QMainWindow> m_window;
    QMdiArea *m_mdi = nullptr;
    std::unique_ptr<ModuleLoader> m_loader;
    TfrmDadosGerRel *m_form = nullptr;
    TdtmDBGeral::Settings m_pg;
};

void Bench::makeSqlite()
{
    // The database is kept between runs; the marker holds the sizes it was made with.
    const QString marker = sqlitePath() + QStringLiteral(".sizes");
    const QByteArray sizes = QByteArray::number(kSuppliers) + ' ' + QByteArray::number(kItems);
    QFile in(marker);
    if (QFile::exists(sqlitePath()) && in.open(QIODevice::ReadOnly) && in.readAll() == sizes)
        return;
    say(QStringLiteral("Criando %1 (%2 fornecedores, %3 itens)...")
            .arg(sqlitePath())
            .arg(kSuppliers)
            .arg(kItems));
    QFile::remove(marker);
    timeCommand(dbgen(),
                {QStringLiteral("--driver"), QStringLiteral("QSQLITE"),
                 QStringLiteral("--database"), sqlitePath(), QStringLiteral("--replace"),
                 QStringLiteral("--suppliers"), QString::number(kSuppliers),
                 QStringLiteral("--clients"), QStringLiteral("20000"), QStringLiteral("--products"),
                 QStringLiteral("5000"), QStringLiteral("--items"), QString::number(kItems)});
    QFile out(marker);
    if (out.open(QIODevice::WriteOnly))
        out.write(sizes);
}

TdtmDBGeral::Settings Bench::makePostgres()
{
    TdtmDBGeral::Settings s;
    s.driver = QStringLiteral("QPSQL");
    s.host = qEnvironmentVariable("PGTEST_HOST");
    s.port = qEnvironmentVariable("PGTEST_PORT").toInt();
    s.user = qEnvironmentVariable("PGTEST_USER", QStringLiteral("postgres"));
    s.password = qEnvironmentVariable("PGTEST_PASSWORD");
    s.database = QStringLiteral("kmbbench");

    // A database of its own on the server, kept between runs while it holds the suppliers.
    {
        const QString connection = QStringLiteral("kmbbench-maintenance");
        bool ready = false;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), connection);
            db.setHostName(s.host);
            db.setPort(s.port);
            db.setUserName(s.user);
            db.setPassword(s.password);
            db.setDatabaseName(qEnvironmentVariable("PGTEST_DB", QStringLiteral("postgres")));
            if (!db.open())
                die(QStringLiteral("PostgreSQL: ") + db.lastError().text());
            QSqlQuery q(db);
            if (q.exec(QStringLiteral("SELECT 1 FROM pg_database WHERE datname = 'kmbbench'")) &&
                !q.next() && !q.exec(QStringLiteral("CREATE DATABASE kmbbench")))
                die(QStringLiteral("PostgreSQL: ") + q.lastError().text());
            db.close();
            db.setDatabaseName(s.database);
            if (db.open()) {
                QSqlQuery count(db);
                ready = count.exec(QStringLiteral("SELECT COUNT(*) FROM FORNECEDOR")) &&
                        count.next() && count.value(0).toLongLong() == kSuppliers;
            }
        }
        QSqlDatabase::removeDatabase(connection);
        if (ready)
            return s;
    }
    say(QStringLiteral("Criando o banco PostgreSQL kmbbench (%1 fornecedores)...").arg(kSuppliers));
    QStringList args{QStringLiteral("--driver"),   QStringLiteral("QPSQL"),
                     QStringLiteral("--host"),     s.host,
                     QStringLiteral("--port"),     QString::number(s.port),
                     QStringLiteral("--user"),     s.user,
                     QStringLiteral("--database"), s.database,
                     QStringLiteral("--replace"),  QStringLiteral("--suppliers"),
                     QString::number(kSuppliers),  QStringLiteral("--clients"),
                     QStringLiteral("100"),        QStringLiteral("--products"),
                     QStringLiteral("100"),        QStringLiteral("--items"),
                     QStringLiteral("1000")};
    if (!s.password.isEmpty())
        args << QStringLiteral("--password") << s.password;
    timeCommand(dbgen(), args);
    return s;
}

void Bench::openDatabase(const TdtmDBGeral::Settings &settings)
{
    setDtmDBGeral(nullptr);
    m_dtm = std::make_unique<TdtmDBGeral>();
    if (!m_dtm->open(settings))
        die(m_dtm->lastError());
    setDtmDBGeral(m_dtm.get());
}

TfrmDadosGerRel *Bench::openScreen()
{
    m_loader->open(kModule);
    const QList<TForm *> forms = m_app->forms();
    m_form = forms.isEmpty() ? nullptr : qobject_cast<TfrmDadosGerRel *>(forms.last());
    if (!m_form)
        die(QStringLiteral("a tela não abriu"));
    activate();
    return m_form;
}

void Bench::activate()
{
    QWidget *window = m_form->window();
    window->activateWindow();
    QApplication::setActiveWindow(window);
    processUntil([window] { return window->isActiveWindow(); }, "a janela ativa", 3000);
}

void Bench::closeScreen()
{
    m_app->destroyForms();
    QCoreApplication::processEvents();
    m_form = nullptr;
    m_loader->unload(kModule);
}

// Module load + Initialize + IniProc until the screen painted, against the same two layouts
// compiled into C++ and shown in the MDI area.
void Bench::openScreenFigure()
{
    QList<double> measured;
    QList<double> floor;
    for (int i = 0; i < 7; ++i) {
        {
            QElapsedTimer timer;
            timer.start();
            QWidget *child = compiledScreen();
            // Shown as the application object shows a screen.
            QMdiSubWindow *sub = m_mdi->addSubWindow(
                child, Qt::SubWindow | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                           Qt::WindowCloseButtonHint);
            sub->adjustSize();
            sub->setFixedSize(sub->sizeHint());
            PaintProbe probe(child);
            child->show();
            sub->show();
            processUntil([&] { return probe.painted; }, "a tela compilada");
            floor << timer.nsecsElapsed() / 1e6;
            delete sub;
            QCoreApplication::processEvents();
        }
        {
            QElapsedTimer timer;
            timer.start();
            m_loader->open(kModule);
            QWidget *form = m_app->forms().isEmpty() ? nullptr : m_app->forms().last();
            if (!form)
                die(QStringLiteral("a tela não abriu"));
            PaintProbe probe(form);
            processUntil([&] { return probe.painted; }, "a tela");
            measured << timer.nsecsElapsed() / 1e6;
            closeScreen();
        }
    }
    report({QStringLiteral("open_screen"), median(measured), QStringLiteral("ms"), median(floor),
            1.5, std::nullopt});
    // Where it goes: loading the library alone (no Initialize, no screen).
    QList<double> loadOnly;
    for (int i = 0; i < 7; ++i) {
        QLibrary library(m_loader->libraryPath(kModule));
        QElapsedTimer timer;
        timer.start();
        if (!library.load())
            die(library.errorString());
        loadOnly << timer.nsecsElapsed() / 1e6;
        library.unload();
    }
    say(QStringLiteral("open_screen: %1 ms of it load the module library (dlopen)")
            .arg(median(loadOnly), 0, 'f', 2));
}

// The supplier list: button clicked until the first rows show; a filter typed until the
// filtered rows show; the memory of scrolling 100 pages.
void Bench::pickListFigures(const QString &suffix, const std::function<double()> &floorFirstRows,
                            bool all)
{
    auto *lista = m_form->findChild<QAbstractButton *>(QStringLiteral("rbtLisForn"));
    auto *button = m_form->findChild<QAbstractButton *>(QStringLiteral("sbtFornecedor"));
    if (!lista || !button)
        die(QStringLiteral("controles da lista de fornecedores não encontrados"));
    lista->click();
    if (!button->isEnabled())
        die(QStringLiteral("o botão da lista de fornecedores ficou desabilitado"));

    struct Probe : QObject
    {
        QElapsedTimer clock;
        QDialog *dialog = nullptr;
        QTableView *view = nullptr;
        qint64 firstRowsNs = -1;
        std::function<void(Probe &)> script;
        bool eventFilter(QObject *watched, QEvent *event) override
        {
            if (event->type() == QEvent::Show &&
                watched->objectName() == QLatin1String("PesquisaListaDialog")) {
                dialog = static_cast<QDialog *>(watched);
                view = dialog->findChild<QTableView *>(QStringLiteral("resultView"));
            } else if (event->type() == QEvent::Paint && view && watched == view->viewport() &&
                       view->model()->rowCount() > 0 && firstRowsNs < 0) {
                firstRowsNs = clock.nsecsElapsed();
                QTimer::singleShot(0, this, [this] {
                    if (script)
                        script(*this);
                    dialog->reject();
                });
            }
            return false;
        }
    };

    QList<double> firstRows;
    QList<double> filtered;
    double memory = 0;
    const QString filterText = QStringLiteral("carvalho");
    for (int i = 0; i < 5; ++i) {
        Probe probe;
        qApp->installEventFilter(&probe);
        const bool last = i == 4;
        qint64 rssBefore = residentBytes();
        probe.script = [&](Probe &p) {
            if (!all)
                return;
            if (last) {
                // Scrolling: 100 pages down, every row read from the database on the way.
                for (int page = 0; page < 100; ++page) {
                    QTest::keyClick(p.view, Qt::Key_PageDown);
                    QCoreApplication::processEvents();
                }
                memory = (residentBytes() - rssBefore) / 1048576.0;
                return;
            }
            auto *edit = p.dialog->findChild<QLineEdit *>(QStringLiteral("filterEdit"));
            QAbstractItemModel *model = p.view->model();
            PaintProbe painted(p.view->viewport());
            QElapsedTimer timer;
            timer.start();
            QTest::keyClicks(edit, filterText);
            QTest::keyClick(edit, Qt::Key_Return);
            painted.painted = false;
            processUntil([&] { return painted.painted && model->rowCount() > 0; },
                         "as linhas filtradas");
            filtered << timer.nsecsElapsed() / 1e6;
        };
        probe.clock.start();
        button->click();
        qApp->removeEventFilter(&probe);
        if (probe.firstRowsNs < 0)
            die(QStringLiteral("a lista de fornecedores não mostrou linhas"));
        firstRows << probe.firstRowsNs / 1e6;
    }
    QList<double> floor;
    for (int i = 0; i < 5; ++i)
        floor << floorFirstRows();
    const double first = median(firstRows);
    report({QStringLiteral("picklist_first_rows") + suffix, first, QStringLiteral("ms"),
            median(floor), 3.0, suffix.isEmpty() ? std::optional<double>(50) : std::nullopt});
    if (!all)
        return;

    const QString filterSql =
        QStringLiteral("SELECT CDFORNECED, IDTPIJURFORN, NRINSJURFORN, NMRAZSOCFORN, NMFANTFORN "
                       "FROM FORNECEDOR WHERE lower(NRINSJURFORN) LIKE '%%1%' OR "
                       "lower(NMRAZSOCFORN) LIKE '%%1%' OR lower(NMFANTFORN) LIKE '%%1%' "
                       "ORDER BY CDFORNECED LIMIT 200")
            .arg(filterText);
    QList<double> filterFloor;
    for (int i = 0; i < 5; ++i)
        filterFloor << timeCommand(QStringLiteral("sqlite3"), {sqlitePath(), filterSql});
    report({QStringLiteral("picklist_filter"), median(filtered), QStringLiteral("ms"),
            median(filterFloor), 2.0, std::nullopt});
    report({QStringLiteral("picklist_memory"), memory, QStringLiteral("MB"), std::nullopt,
            std::nullopt, 20.0});
}

// The report's SQL as sqlite3 runs it: macros expanded, the screen's values written in.
QString Bench::floorSql(int layout)
{
    TReportDesignerDialog runner;
    runner.loadDefinitions(QStringLiteral("KMB612"),
                           QDir(m_source).filePath(QStringLiteral("reports")));
    const ReportDefinition &def = runner.definition(layout);
    const ExpandedSql sql = expandReportSql(def.sql, SqlDialect::SQLite);
    QString text;
    int bind = 0;
    for (QChar c : sql.text) {
        if (c != QLatin1Char('?')) {
            text += c;
            continue;
        }
        const QString name = sql.bindOrder.at(bind++);
        if (name == QLatin1String("P_CDFILIAL"))
            text += QStringLiteral("'0001'");
        else if (sql.dates.contains(name))
            text += QStringLiteral("NULL");
        else if (name.startsWith(QLatin1String("P_T")) && name != QLatin1String("P_TIPOEVENTO"))
            text += QStringLiteral("'T'");
        else
            text += QStringLiteral("''");
    }
    return text;
}

// Save as CSV and PDF of the standard layout through the screen's button.
void Bench::reportFigures()
{
    activate();
    ScreenCriteria criteria(m_form);
    criteria.selectLayout(0);
    CriteriaFile file = CriteriaFile::parse("filial=1\nfornecedor=Todos\n");
    criteria.enter(file);
    auto *save = m_form->sbtSalvarComo;
    const QString sql = floorSql(0);

    auto saveAs = [&](const QString &path) {
        QFile::remove(path);
        m_form->setSaveAsPath(path);
        QElapsedTimer timer;
        timer.start();
        save->click();
        const double ms = timer.nsecsElapsed() / 1e6;
        if (m_form->lastSavedPath() != path || m_form->rpddPadrao->lastLineCount() != kReportLines)
            die(QStringLiteral("o relatório não foi gravado em %1 com %2 linhas (%3)")
                    .arg(path)
                    .arg(kReportLines)
                    .arg(m_form->rpddPadrao->lastLineCount()));
        return ms;
    };
    const QString floorCsv = QDir(m_work).filePath(QStringLiteral("floor.csv"));
    auto floorRun = [&] {
        return timeCommand(QStringLiteral("sqlite3"),
                           {QStringLiteral("-csv"), QStringLiteral("-header"), sqlitePath(),
                            QStringLiteral(".output ") + floorCsv, sql});
    };

    QList<double> csv;
    QList<double> pdf;
    QList<double> floor;
    qint64 peak = 0;
    for (int i = 0; i < 3; ++i) {
        floor << floorRun();
        csv << saveAs(QDir(m_work).filePath(QStringLiteral("report.csv")));
        resetPeak();
        pdf << saveAs(QDir(m_work).filePath(QStringLiteral("report.pdf")));
        peak = qMax(peak, peakBytes());
    }
    const double floorMs = median(floor);
    report({QStringLiteral("report_csv"), median(csv), QStringLiteral("ms"), floorMs, 1.5,
            std::nullopt});
    report({QStringLiteral("report_pdf"), median(pdf), QStringLiteral("ms"), floorMs, 5.0,
            std::nullopt});

    report({QStringLiteral("report_peak_memory"), peak / 1048576.0, QStringLiteral("MB"),
            std::nullopt, std::nullopt, 300.0});
}

// Preview pressed until its first page is painted, against the first page of rows.
void Bench::previewFigure()
{
    activate();
    ScreenCriteria criteria(m_form);
    criteria.selectLayout(0);
    criteria.enter(CriteriaFile::parse("filial=1\nfornecedor=Todos\n"));
    auto *preview = m_form->sbtPreview;
    const QString sql = floorSql(0);

    QList<double> shown;
    QList<double> firstPageFloor;
    for (int i = 0; i < 7; ++i) {
        firstPageFloor << timeCommand(QStringLiteral("sqlite3"),
                                      {sqlitePath(), sql + QStringLiteral(" LIMIT 60")});
        bool painted = false;
        QMetaObject::Connection watch;
        QElapsedTimer timer;
        timer.start();
        // The preview window exists once the click returns; its first paint comes after.
        preview->click();
        ReportPreviewDialog *dialog = m_form->rpddPadrao->lastPreview();
        if (!dialog)
            die(QStringLiteral("a visualização não abriu"));
        // Timed when the page is drawn, not when the event loop gets back here.
        qint64 paintedNs = 0;
        watch = QObject::connect(dialog->pageView(), &ReportPageView::painted, [&](int pages) {
            if (!painted && pages > 0) {
                painted = true;
                paintedNs = timer.nsecsElapsed();
            }
        });
        processUntil([&] { return painted; }, "a primeira página");
        shown << paintedNs / 1e6;
        QObject::disconnect(watch);
        delete dialog; // stops its reading; a closed window would wait for deferred deletion
        QCoreApplication::processEvents();
    }
    report({QStringLiteral("preview_first_page"), median(shown), QStringLiteral("ms"),
            median(firstPageFloor), 2.0, std::nullopt});
}

void Bench::run(bool withPostgres)
{
    QDir().mkpath(m_work);
    makeSqlite();
    if (withPostgres && wants(QStringLiteral("postgres")))
        m_pg = makePostgres();

    m_config = QDir(m_work).filePath(QStringLiteral("kmb.ini"));
    {
        QSettings ini(m_config, QSettings::IniFormat);
        ini.setValue(QStringLiteral("Reports/Directory"),
                     QDir(m_source).filePath(QStringLiteral("reports")));
        ini.setValue(QStringLiteral("AppServer/Host"), QStringLiteral("127.0.0.1"));
        ini.setValue(QStringLiteral("AppServer/Port"), 1);
    }
    TdtmDBGeral::Settings sqlite;
    sqlite.driver = QStringLiteral("QSQLITE");
    sqlite.database = sqlitePath();
    openDatabase(sqlite);

    m_app = std::make_unique<TApplication>();
    m_app->setConfigFile(m_config);
    m_window = std::make_unique<QMainWindow>();
    m_mdi = new QMdiArea;
    m_window->setCentralWidget(m_mdi);
    m_window->resize(1280, 900);
    m_window->show();
    m_app->setMdiArea(m_mdi);
    m_loader = std::make_unique<ModuleLoader>(m_bin);
    processUntil([this] { return m_window->isVisible(); }, "a janela principal");

    if (wants(QStringLiteral("open_screen")))
        openScreenFigure();

    openScreen();
    const QString firstPage = QStringLiteral(
        "SELECT CDFORNECED, IDTPIJURFORN, NRINSJURFORN, NMRAZSOCFORN, NMFANTFORN FROM FORNECEDOR "
        "ORDER BY CDFORNECED LIMIT 200");
    if (wants(QStringLiteral("picklist")))
        pickListFigures(
            QString(),
            [&] {
                return timeCommand(QStringLiteral("sqlite3"), {sqlitePath(), firstPage});
            },
            true);
    if (wants(QStringLiteral("report")))
        reportFigures();
    if (wants(QStringLiteral("preview")))
        previewFigure();
    closeScreen();

    if (withPostgres && wants(QStringLiteral("postgres"))) {
        openDatabase(m_pg);
        openScreen();
        QStringList psql{QStringLiteral("-X"), QStringLiteral("-q"),
                         QStringLiteral("-h"), m_pg.host,
                         QStringLiteral("-p"), QString::number(m_pg.port),
                         QStringLiteral("-U"), m_pg.user,
                         QStringLiteral("-d"), m_pg.database,
                         QStringLiteral("-c"), firstPage};
        pickListFigures(
            QStringLiteral("_pg"), [&] { return timeCommand(QStringLiteral("psql"), psql); },
            false);
        closeScreen();
    } else {
        say(QStringLiteral("picklist_first_rows_pg: sem servidor PostgreSQL (PGTEST_HOST, "
                           "PGTEST_PORT), não medido"));
    }
    setDtmDBGeral(nullptr);
}

// Records messages instead of showing boxes; any message stops the benchmark.
class DiePresenter : public MessagePresenter
{
public:
    DiePresenter() { setMessagePresenter(this); }
    ~DiePresenter() override { setMessagePresenter(nullptr); }
    void show(Kind, const QString &text) override { die(QStringLiteral("mensagem: ") + text); }
};

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Mede a tela KMB61200 e o relatório KMB612 em bancos grandes."));
    parser.addHelpOption();
    const QCommandLineOption workOpt(QStringLiteral("workdir"),
                                     QStringLiteral("Pasta dos bancos e arquivos gerados."),
                                     QStringLiteral("DIR"), QStringLiteral("/tmp/kmb-bench"));
    const QCommandLineOption noPgOpt(QStringLiteral("no-postgres"),
                                     QStringLiteral("Não mede o PostgreSQL."));
    const QCommandLineOption onlyOpt(
        QStringLiteral("only"),
        QStringLiteral("Só estes grupos, separados por vírgula: open_screen, picklist, report, "
                       "preview, postgres."),
        QStringLiteral("LIST"));
    parser.addOptions({workOpt, noPgOpt, onlyOpt});
    parser.process(app);

    const bool withPostgres = !parser.isSet(noPgOpt) && !qEnvironmentVariableIsEmpty("PGTEST_HOST");
    DiePresenter presenter;
    // On a failure the message is printed before anything is torn down.
    auto *bench = new Bench(parser.value(workOpt), QCoreApplication::applicationDirPath(),
                            QStringLiteral(BENCH_SOURCE_DIR));
    if (parser.isSet(onlyOpt))
        bench->only = parser.value(onlyOpt).split(QLatin1Char(','), Qt::SkipEmptyParts);
    try {
        bench->run(withPostgres);
    } catch (const EAppError &e) {
        die(e.message());
    } catch (const EAbort &) {
        die(QStringLiteral("ação recusada pela tela"));
    }
    delete bench;
    bool all = true;
    for (const Figure &f : g_figures)
        all = all && f.pass();
    return all ? 0 : 3;
}
