// The criteria screen when things around it fail: the database server goes away and comes
// back, the application server never answers, the report definitions are missing or broken, the
// save-as target cannot be written or the disk fills up; and criteria and picked keys that look
// like SQL. Each fault gives the user a message, loses nothing, leaves no partial file, and the
// screen keeps working; input reaches the database only as data.
#include "mask.h"
#include "pesquisalista.h"
#include "reportdesigner.h"
#include "screenfixture.h"

#include <QAbstractItemModel>
#include <QCryptographicHash>
#include <QDialog>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QScopeGuard>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTableView>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

// ---------------------------------------------------------------------------------------------
// A database server that can go away: a TCP relay in front of the test server, in a thread of
// its own (the screen's connection blocks the user-interface thread while it waits for rows).
// Down closes every relayed connection and stops listening, as a stopped server would look;
// up listens again on the same port.

class RelayWorker : public QObject
{
public:
    RelayWorker(QString host, int port)
        : m_host(std::move(host))
        , m_targetPort(port)
    {}

    bool listen(quint16 port)
    {
        if (m_server && m_server->isListening())
            return true;
        if (!m_server) {
            m_server = new QTcpServer(this);
            connect(m_server, &QTcpServer::newConnection, this, [this] { accept(); });
        }
        return m_server->listen(QHostAddress::LocalHost, port);
    }
    quint16 port() const { return m_server ? m_server->serverPort() : 0; }

    void down()
    {
        m_server->close();
        const auto sockets = m_sockets;
        m_sockets.clear();
        for (QTcpSocket *s : sockets) {
            s->abort();
            s->deleteLater();
        }
    }

private:
    void accept()
    {
        while (QTcpSocket *client = m_server->nextPendingConnection()) {
            auto *server = new QTcpSocket(this);
            server->connectToHost(m_host, quint16(m_targetPort));
            if (!server->waitForConnected(3000)) {
                client->abort();
                client->deleteLater();
                server->deleteLater();
                continue;
            }
            m_sockets << client << server;
            pipe(client, server);
            pipe(server, client);
        }
    }

    void pipe(QTcpSocket *from, QTcpSocket *to)
    {
        connect(from, &QTcpSocket::readyRead, to, [from, to] { to->write(from->readAll()); });
        connect(from, &QTcpSocket::disconnected, to, [to] { to->disconnectFromHost(); });
    }

    QString m_host;
    int m_targetPort;
    QTcpServer *m_server = nullptr;
    QList<QTcpSocket *> m_sockets;
};

class DatabaseRelay
{
    // Runs f in the relay's thread and waits for it.
    template <class F>
    auto call(F f)
    {
        using R = decltype(f());
        if constexpr (std::is_void_v<R>) {
            QMetaObject::invokeMethod(m_worker, f, Qt::BlockingQueuedConnection);
        } else {
            R result{};
            QMetaObject::invokeMethod(
                m_worker, [&] { result = f(); }, Qt::BlockingQueuedConnection);
            return result;
        }
    }

public:
    DatabaseRelay(const QString &host, int port)
        : m_worker(new RelayWorker(host, port))
    {
        m_worker->moveToThread(&m_thread);
        QObject::connect(&m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
        m_thread.start();
        call([this] { m_listening = m_worker->listen(0); });
        m_port = call([this] { return m_worker->port(); });
    }
    ~DatabaseRelay()
    {
        call([this] { m_worker->down(); });
        m_thread.quit();
        m_thread.wait();
    }
    bool isListening() const { return m_listening; }
    int port() const { return m_port; }
    void down()
    {
        call([this] { m_worker->down(); });
    }
    bool up()
    {
        return call([this] { return m_worker->listen(quint16(m_port)); });
    }

private:
    QThread m_thread;
    RelayWorker *m_worker;
    bool m_listening = false;
    int m_port = 0;
};

// ---------------------------------------------------------------------------------------------
// The screen as the host opens it, over whatever database the test made current.

class Screen
{
public:
    explicit Screen(const QString &reportsDir = sourcePath(QStringLiteral("reports")))
    {
        configPath = dir.filePath(QStringLiteral("kmb.ini"));
        setConfig(QStringLiteral("Reports/Directory"), reportsDir);
        setConfig(QStringLiteral("AppServer/Host"), QStringLiteral("127.0.0.1"));
        setConfig(QStringLiteral("AppServer/Port"), 1);
        app.setConfigFile(configPath);
        Initialize();
    }
    ~Screen()
    {
        app.destroyForms();
        Finalize();
        for (QString *list : {&LisCli, &LisForn, &LisEvento, &LisServ, &LisProd})
            list->clear();
    }
    TfrmRelForn *open()
    {
        IniProc();
        form = frmRelForn;
        form->activateWindow();
        QApplication::setActiveWindow(form);
        if (!QTest::qWaitForWindowActive(form))
            qWarning("screen window did not become active");
        presenter.clear();
        return form;
    }
    void setConfig(const QString &key, const QVariant &value)
    {
        QSettings(configPath, QSettings::IniFormat).setValue(key, value);
        app.setConfigFile(configPath);
    }
    void saveAs(const QString &path)
    {
        form->setSaveAsPath(path);
        form->sbtSalvarComo->click();
        QApplication::processEvents();
    }

    QTemporaryDir dir;
    QString configPath;
    TApplication app;
    RecordingPresenter presenter;
    TfrmRelForn *form = nullptr;
};

// Leaves the branch edit with a code typed in it, as the user would with Tab.
void typeBranch(TfrmRelForn *form, const QString &typed)
{
    form->medCDFilial->setFocus();
    QApplication::processEvents();
    form->medCDFilial->selectAll();
    QTest::keyClick(form->medCDFilial, Qt::Key_Delete);
    QTest::keyClicks(form->medCDFilial, typed);
    QTest::keyClick(form->medCDFilial, Qt::Key_Tab);
    QApplication::processEvents();
}

void typeInto(QLineEdit *edit, const QString &typed)
{
    edit->setFocus();
    QApplication::processEvents();
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    edit->setCursorPosition(0);
    QTest::keyClicks(edit, typed);
}

QString controlWithFocus(TfrmRelForn *form)
{
    QWidget *c = form->controlOf(QApplication::focusWidget());
    return c ? c->objectName() : QString();
}

// Every entry of a directory, hidden ones (a temporary file of a save) included.
QStringList entriesOf(const QString &path)
{
    return QDir(path).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

// Answers the next pick list: hands the open dialog to the test, which picks or cancels.
class PickListAnswer
{
public:
    explicit PickListAnswer(std::function<void(QDialog *)> answer)
    {
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, [this, answer] {
            for (QWidget *w : QApplication::topLevelWidgets()) {
                auto *dialog = qobject_cast<QDialog *>(w);
                if (!dialog || !dialog->isVisible() ||
                    dialog->objectName() != QLatin1String("PesquisaListaDialog"))
                    continue;
                m_timer.stop();
                ++shown;
                answer(dialog);
                return;
            }
        });
        m_timer.start();
    }
    int shown = 0;

private:
    QTimer m_timer;
};

QAbstractItemModel *rowsOf(QDialog *dialog)
{
    return dialog->findChild<QTableView *>(QStringLiteral("resultView"))->model();
}

void filterPickList(QDialog *dialog, const QString &text)
{
    auto *filter = dialog->findChild<QLineEdit *>(QStringLiteral("filterEdit"));
    filter->setText(text);
    QTest::keyClick(filter, Qt::Key_Return); // filters at once
}

void pickRowAndOk(QDialog *dialog, int row)
{
    QAbstractItemModel *model = rowsOf(dialog);
    model->setData(model->index(row, 0), Qt::Checked, Qt::CheckStateRole);
    dialog->findChild<QPushButton *>(QStringLiteral("okButton"))->click();
}

void cancel(QDialog *dialog)
{
    dialog->findChild<QPushButton *>(QStringLiteral("cancelButton"))->click();
}

// ---------------------------------------------------------------------------------------------
// Data

QString readText(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

QList<QStringList> parseCsv(const QString &text)
{
    QList<QStringList> rows;
    QStringList row;
    QString field;
    bool quoted = false;
    bool any = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        any = true;
        if (quoted) {
            if (c == QLatin1Char('"')) {
                if (i + 1 < text.size() && text.at(i + 1) == QLatin1Char('"')) {
                    field += c;
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                field += c;
            }
        } else if (c == QLatin1Char('"')) {
            quoted = true;
        } else if (c == QLatin1Char(',')) {
            row << field;
            field.clear();
        } else if (c == QLatin1Char('\n')) {
            row << field;
            rows << row;
            row.clear();
            field.clear();
            any = false;
        } else if (c != QLatin1Char('\r')) {
            field += c;
        }
    }
    if (any) {
        row << field;
        rows << row;
    }
    return rows;
}

// The values of one column of a CSV report, by its heading.
QStringList csvColumn(const QList<QStringList> &rows, const QString &heading)
{
    QStringList values;
    if (rows.isEmpty())
        return values;
    const qsizetype c = rows.first().indexOf(heading);
    for (qsizetype r = 1; r < rows.size(); ++r)
        values << (c >= 0 && c < rows.at(r).size() ? rows.at(r).at(c) : QStringLiteral("?"));
    return values;
}

const QStringList kTables = {"FILIAL",  "TIPOEVENTO", "TIPOSERVEVEN", "FORNECEDOR",
                             "CLIENTE", "PRODUTO",    "ORCAEVENTO",   "ITORCAEVENTO"};

// Row count and a digest of every table's rows, in any order.
QMap<QString, QString> tableDigests(QSqlDatabase db)
{
    QMap<QString, QString> digests;
    for (const QString &table : kTables) {
        QSqlQuery q(db);
        if (!q.exec(QStringLiteral("SELECT * FROM %1").arg(table))) {
            digests[table] = QStringLiteral("error: ") + q.lastError().text();
            continue;
        }
        QStringList rows;
        while (q.next()) {
            QStringList values;
            for (int c = 0; c < q.record().count(); ++c)
                values << q.value(c).toString();
            rows << values.join(QChar(0x1f));
        }
        rows.sort();
        digests[table] =
            QStringLiteral("%1 rows, %2")
                .arg(rows.size())
                .arg(QString::fromLatin1(QCryptographicHash::hash(rows.join(QChar(0x1e)).toUtf8(),
                                                                  QCryptographicHash::Sha256)
                                             .toHex()));
    }
    return digests;
}

void insertRow(QSqlDatabase db, const QString &table, const QStringList &columns,
               const QVariantList &values)
{
    QSqlQuery q(db);
    QStringList marks;
    for (int i = 0; i < columns.size(); ++i)
        marks << QStringLiteral("?");
    if (!q.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                       .arg(table, columns.join(QLatin1Char(',')), marks.join(QLatin1Char(',')))))
        throw EAppError(q.lastError().text());
    for (const QVariant &v : values)
        q.addBindValue(v);
    if (!q.exec())
        throw EAppError(q.lastError().text());
}

QString fileText(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw EAppError(QStringLiteral("arquivo não encontrado: ") + path);
    return QString::fromUtf8(f.readAll());
}

void loadSchemaAndFixture(QSqlDatabase db)
{
    execSqlStatements(db, fileText(sourcePath(QStringLiteral("db/schema.sql"))));
    execSqlStatements(db,
                      fileText(sourcePath(QStringLiteral("tests/fixtures/report_fixture.sql"))));
}

// Budgets enough for an output file of some hundred KiB: n budgets of 5 items each.
void insertManyBudgets(QSqlDatabase db, int budgets)
{
    db.transaction();
    QSqlQuery head(db);
    head.prepare(QStringLiteral("INSERT INTO ORCAEVENTO (CDFILIAL, NRORCAEVENTO, DTEVENTO, "
                                "CDCLIENTE, CDTIPOEVENTO) VALUES ('0001', ?, '2024-05-01', "
                                "'CL1', 'CAS')"));
    QSqlQuery item(db);
    item.prepare(QStringLiteral("INSERT INTO ITORCAEVENTO (CDFILIAL, NRORCAEVENTO, NRITEM, "
                                "CDTPSERVEVEN, CDFORNECED, CDPRODUTO, QTITEM, VRUNITARIO) VALUES "
                                "('0001', ?, ?, 'BUF', 'F001', 'P1', 3, 12.50)"));
    for (int b = 0; b < budgets; ++b) {
        const QString number = QStringLiteral("%1").arg(1000 + b, 10, 10, QLatin1Char('0'));
        head.addBindValue(number);
        head.exec();
        for (int i = 1; i <= 5; ++i) {
            item.addBindValue(number);
            item.addBindValue(i);
            item.exec();
        }
    }
    db.commit();
}

// A folder that cannot be written: without write permission, and for root (whom permissions
// do not stop) also immutable. Undone when the guard goes.
class ReadOnlyFolder
{
public:
    explicit ReadOnlyFolder(const QString &path)
        : m_path(path)
    {
        QDir().mkpath(path);
        QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        if (geteuid() == 0)
            m_immutable = setImmutable(true);
    }
    ~ReadOnlyFolder()
    {
        if (m_immutable)
            setImmutable(false);
        QFile::setPermissions(m_path, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                          QFileDevice::ExeOwner);
    }
    bool isReadOnly() const { return geteuid() != 0 || m_immutable; }

private:
    bool setImmutable(bool on)
    {
        const int fd = ::open(QFile::encodeName(m_path).constData(), O_RDONLY | O_DIRECTORY);
        if (fd < 0)
            return false;
        int flags = 0;
        bool ok = ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
        if (ok) {
            flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
            ok = ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        }
        ::close(fd);
        return ok;
    }
    QString m_path;
    bool m_immutable = false;
};

// ---------------------------------------------------------------------------------------------
// The full-disk run: the same executable, started as a child with a file size limit, saves the
// report once with the limit and once after it was lifted, and tells the parent what it saw.

const char *const kChildVariable = "KMB_FAULTS_CHILD";

int fullDiskChild()
{
    const QString database = qEnvironmentVariable("KMB_FAULTS_DB");
    const QString target = qEnvironmentVariable("KMB_FAULTS_TARGET");
    QJsonObject out;
    {
        TdtmDBGeral dtm;
        TdtmDBGeral::Settings settings;
        settings.database = database;
        if (!dtm.open(settings))
            return 10;
        setDtmDBGeral(&dtm);
        Screen screen;
        TfrmRelForn *form = screen.open();
        form->medCDFilial->setText(QStringLiteral("1"));

        auto run = [&](const char *name) {
            screen.presenter.clear();
            screen.saveAs(target);
            QJsonObject result;
            result[QStringLiteral("messages")] =
                QJsonArray::fromStringList(screen.presenter.texts());
            result[QStringLiteral("files")] =
                QJsonArray::fromStringList(entriesOf(QFileInfo(target).absolutePath()));
            result[QStringLiteral("size")] = QFileInfo(target).size();
            out[QLatin1String(name)] = result;
        };
        run("limited");
        // Space again: the limit goes back up to what the parent had.
        rlimit limit{};
        getrlimit(RLIMIT_FSIZE, &limit);
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_FSIZE, &limit);
        run("unlimited");
        setDtmDBGeral(nullptr);
    }
    QFile stdOut;
    stdOut.open(stdout, QIODevice::WriteOnly);
    stdOut.write(QJsonDocument(out).toJson(QJsonDocument::Compact) + '\n');
    return 0;
}

enum class Action { BranchLookup, PickList, Report };
enum class Outage { ServerDown, SessionEnded };

} // namespace

Q_DECLARE_METATYPE(Action)
Q_DECLARE_METATYPE(Outage)

class tst_ScreenFaults : public QObject
{
    Q_OBJECT

    // Ends every session of the screen's database but the caller's own, as a server restart
    // or an administrator would, and waits until they are gone.
    static bool endSessions(QSqlDatabase direct)
    {
        QSqlQuery q(direct);
        if (!q.exec(QStringLiteral("SELECT pg_terminate_backend(pid) FROM pg_stat_activity "
                                   "WHERE datname = current_database() AND pid <> "
                                   "pg_backend_pid()")))
            return false;
        for (int i = 0; i < 100; ++i) {
            QSqlQuery left(direct);
            if (left.exec(QStringLiteral("SELECT count(*) FROM pg_stat_activity WHERE datname = "
                                         "current_database() AND pid <> pg_backend_pid()")) &&
                left.next() && left.value(0).toInt() == 0)
                return true;
            QThread::msleep(20);
        }
        return false;
    }

    static bool isDatabaseFailure(const QString &text)
    {
        return text.contains(QStringLiteral("banco de dados")) ||
               text.contains(QStringLiteral("consulta do relatório"));
    }

private slots:
    void initTestCase()
    {
        if (qEnvironmentVariableIsEmpty("TZ")) {
            qputenv("TZ", "America/Sao_Paulo");
            tzset();
        }
    }

    // --- The database server goes away while the screen is open --------------------------

    void databaseLost_data()
    {
        QTest::addColumn<Action>("action");
        QTest::addColumn<Outage>("outage");
        QTest::newRow("branch lookup, server stopped")
            << Action::BranchLookup << Outage::ServerDown;
        QTest::newRow("branch lookup, session ended")
            << Action::BranchLookup << Outage::SessionEnded;
        QTest::newRow("pick list, server stopped") << Action::PickList << Outage::ServerDown;
        QTest::newRow("pick list, session ended") << Action::PickList << Outage::SessionEnded;
        QTest::newRow("report, server stopped") << Action::Report << Outage::ServerDown;
        QTest::newRow("report, session ended") << Action::Report << Outage::SessionEnded;
    }
    void databaseLost()
    {
        QFETCH(Action, action);
        QFETCH(Outage, outage);
        REQUIRE_PG_OR_SKIP();
        const TdtmDBGeral::Settings real =
            PgServer::freshDatabase(QStringLiteral("tst_screen_faults"));
        TdtmDBGeral direct;
        QVERIFY2(direct.open(real), qPrintable(direct.lastError()));
        loadSchemaAndFixture(direct.database());

        DatabaseRelay relay(real.host, real.port);
        QVERIFY(relay.isListening());
        TdtmDBGeral dtm;
        TdtmDBGeral::Settings viaRelay = real;
        viaRelay.host = QStringLiteral("127.0.0.1");
        viaRelay.port = relay.port();
        QVERIFY2(dtm.open(viaRelay), qPrintable(dtm.lastError()));
        setDtmDBGeral(&dtm);
        const auto forget = qScopeGuard([] { setDtmDBGeral(nullptr); });

        Screen screen;
        TfrmRelForn *form = screen.open();
        const QString csv = screen.dir.filePath(QStringLiteral("saida/relatorio.csv"));
        QDir().mkpath(QFileInfo(csv).absolutePath());
        const auto cut = [&] {
            if (outage == Outage::ServerDown)
                relay.down();
            else
                QVERIFY(endSessions(direct.database()));
        };

        // The action, first just after the database went away and again once it is back; true
        // when it did its work.
        bool inDialog = false;
        const auto act = [&](bool first) {
            switch (action) {
            case Action::BranchLookup:
                typeBranch(form, QStringLiteral("1"));
                return form->edtNmFilial->text() == QStringLiteral("Matriz São Paulo");
            case Action::PickList: {
                PickListAnswer answer([&](QDialog *dialog) {
                    inDialog = true;
                    filterPickList(dialog, QStringLiteral("Fornecedor Um"));
                    pickRowAndOk(dialog, 0);
                });
                form->sbtFornecedor->click();
                QApplication::processEvents();
                if (first)
                    QTest::qWait(50); // time enough for a dialog to show, if one does
                return answer.shown == 1 && pickListKeys(LisForn) == QStringList{"F001"};
            }
            case Action::Report: {
                // The checks pass (their branch lookup runs first); the connection goes just
                // before the report's own query.
                const TBeforeGetQueryParamsEvent fill = form->rpddPadrao->BeforeGetQueryParams;
                form->rpddPadrao->BeforeGetQueryParams = [&, fill](TParams *p, bool &go) {
                    fill(p, go);
                    if (first)
                        cut();
                };
                screen.saveAs(csv);
                form->rpddPadrao->BeforeGetQueryParams = fill;
                return csvColumn(parseCsv(readText(csv)), QStringLiteral("Orçamento")) ==
                       QStringList(
                           {"0000000001", "0000000001", "0000000002", "0000000002", "0000000003"});
            }
            }
            return false;
        };

        if (action == Action::PickList)
            form->rbtLisForn->click();
        if (action == Action::Report)
            form->medCDFilial->setText(QStringLiteral("1"));
        if (action != Action::Report)
            cut();
        const bool worked = act(true);

        if (outage == Outage::SessionEnded) {
            // The server is there: the next use opens a new session and works, unnoticed.
            QVERIFY2(worked && screen.presenter.entries.isEmpty(),
                     qPrintable(screen.presenter.texts().join(QLatin1Char('\n'))));
            if (worked)
                return;
        }

        QVERIFY(!worked);
        // One message, saying that the database failed; nothing picked, written or shown.
        QCOMPARE(screen.presenter.entries.size(), 1);
        QCOMPARE(screen.presenter.entries.first().kind, MessagePresenter::Kind::Error);
        QVERIFY2(isDatabaseFailure(screen.presenter.entries.first().text),
                 qPrintable(screen.presenter.entries.first().text));
        QVERIFY(!inDialog);
        QCOMPARE(LisForn, QString());
        QCOMPARE(entriesOf(QFileInfo(csv).absolutePath()), QStringList());
        if (action == Action::BranchLookup) {
            QCOMPARE(form->edtNmFilial->text(), QString());
            QTRY_COMPARE(controlWithFocus(form), QStringLiteral("medCDFilial"));
        }
        // The screen is still there and answers: no dialog left open, no busy cursor, edits
        // react.
        QVERIFY(form->isVisible() && form->isEnabled());
        QCOMPARE(QApplication::activeModalWidget(), nullptr);
        QCOMPARE(QApplication::overrideCursor(), nullptr);
        form->medDeOrc->setText(QStringLiteral("7"));
        QCOMPARE(form->medAteOrc->text(), QStringLiteral("7"));
        form->medDeOrc->clear();
        form->medAteOrc->clear();

        // The server is back: the same action works, without restarting anything.
        QVERIFY(relay.up());
        screen.presenter.clear();
        QVERIFY2(act(false), qPrintable(screen.presenter.texts().join(QLatin1Char('\n'))));
        QCOMPARE(screen.presenter.texts(), QStringList());
    }

    void pickListOpenWhenServerStops()
    {
        REQUIRE_PG_OR_SKIP();
        const TdtmDBGeral::Settings real =
            PgServer::freshDatabase(QStringLiteral("tst_screen_faults_dialog"));
        TdtmDBGeral direct;
        QVERIFY2(direct.open(real), qPrintable(direct.lastError()));
        loadSchemaAndFixture(direct.database());
        DatabaseRelay relay(real.host, real.port);
        TdtmDBGeral dtm;
        TdtmDBGeral::Settings viaRelay = real;
        viaRelay.host = QStringLiteral("127.0.0.1");
        viaRelay.port = relay.port();
        QVERIFY2(dtm.open(viaRelay), qPrintable(dtm.lastError()));
        setDtmDBGeral(&dtm);
        const auto forget = qScopeGuard([] { setDtmDBGeral(nullptr); });
        Screen screen;
        TfrmRelForn *form = screen.open();
        LisForn = pickListToString({QStringLiteral("F001")});
        form->rbtLisForn->click();

        // The list is open when the server goes: filtering says so and the list stays open;
        // Cancel keeps the earlier pick.
        QStringList messagesInDialog;
        bool stillOpen = false;
        PickListAnswer first([&](QDialog *dialog) {
            relay.down();
            filterPickList(dialog, QStringLiteral("Eventos"));
            messagesInDialog = screen.presenter.texts();
            stillOpen = dialog->isVisible();
            cancel(dialog);
        });
        form->sbtFornecedor->click();
        QApplication::processEvents();
        QCOMPARE(first.shown, 1);
        QCOMPARE(messagesInDialog.size(), 1);
        QVERIFY2(isDatabaseFailure(messagesInDialog.first()), qPrintable(messagesInDialog.first()));
        QVERIFY(stillOpen);
        QCOMPARE(LisForn, pickListToString({QStringLiteral("F001")}));
        QCOMPARE(QApplication::overrideCursor(), nullptr);

        // Back: the same filter finds its row and the pick is added to the earlier one.
        QVERIFY(relay.up());
        screen.presenter.clear();
        int rowsWhenBack = -1;
        PickListAnswer second([&](QDialog *dialog) {
            filterPickList(dialog, QStringLiteral("Eventos"));
            rowsWhenBack = rowsOf(dialog)->rowCount();
            pickRowAndOk(dialog, 0);
        });
        form->sbtFornecedor->click();
        QApplication::processEvents();
        QCOMPARE(second.shown, 1);
        QCOMPARE(screen.presenter.texts(), QStringList());
        QCOMPARE(rowsWhenBack, 1);
        QCOMPARE(pickListKeys(LisForn), QStringList({"F001", "F,03"}));
    }

    // --- The application server never answers ---------------------------------------------

    void screenWorksWhileTheApplicationServerIsSilent()
    {
        // A server that accepts the connection and never answers the handshake.
        QTcpServer silent;
        QVERIFY(silent.listen(QHostAddress::LocalHost, 0));
        QList<QTcpSocket *> accepted;
        connect(&silent, &QTcpServer::newConnection, this, [&] {
            while (QTcpSocket *s = silent.nextPendingConnection())
                accepted << s;
        });
        const auto drop = qScopeGuard([&] { qDeleteAll(accepted); });
        TempSqliteDb db;
        db.execFile(sourcePath(QStringLiteral("tests/fixtures/report_fixture.sql")));
        Screen screen;
        screen.setConfig(QStringLiteral("AppServer/Port"), silent.serverPort());

        // IniProc comes back with the handshake still pending, and the screen does its work
        // meanwhile; the handshake then gives up on its own, without a message.
        TfrmRelForn *form = screen.open();
        QVERIFY(form->isVisible());
        QVERIFY(form->netRelForn->isConnecting());
        const QString csv = screen.dir.filePath(QStringLiteral("r.csv"));
        form->medCDFilial->setText(QStringLiteral("1"));
        screen.saveAs(csv);
        QCOMPARE(screen.presenter.texts(), QStringList());
        QCOMPARE(parseCsv(readText(csv)).size(), 6);
        QTRY_COMPARE(accepted.size(), 1);
        QTRY_VERIFY_WITH_TIMEOUT(!form->netRelForn->isConnecting(), 5000);
        QVERIFY(!form->netRelForn->Connected());
        QCOMPARE(screen.presenter.texts(), QStringList());
        QPointer<TfrmRelForn> guard = form;
        form->close();
        QTRY_VERIFY(guard.isNull());

        // Closed while still waiting: the screen goes, its connection with it, nothing shown.
        form = screen.open();
        QVERIFY(form->netRelForn->isConnecting());
        guard = form;
        form->close();
        QTRY_VERIFY(guard.isNull());
        QTRY_COMPARE(accepted.size(), 2);
        QTRY_COMPARE(accepted.last()->state(), QAbstractSocket::UnconnectedState);
        QCOMPARE(screen.presenter.texts(), QStringList());
    }

    // --- Report definitions ---------------------------------------------------------------

    void reportDefinitionFaults_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QStringList>("atOpen");   // parts of the message shown at opening
        QTest::addColumn<QStringList>("atAction"); // parts of the message of a save-as
        QTest::newRow("folder missing")
            << "missing"
            << QStringList{"O arquivo contendo a definição do relatório de código 'KMB612' não "
                           "foi encontrado no diretório",
                           "nao-existe"}
            << QStringList{"código 'KMB612' não foi encontrado", "nao-existe"};
        QTest::newRow("malformed definition")
            << "malformed"
            << QStringList{"Definição de relatório inválida", "KMB612_1.json", "JSON inválido"}
            << QStringList{};
        QTest::newRow("declared parameter nobody sets")
            << "unset" << QStringList{} << QStringList{"P_EXTRA"};
    }
    void reportDefinitionFaults()
    {
        QFETCH(QString, fault);
        QFETCH(QStringList, atOpen);
        QFETCH(QStringList, atAction);
        TempSqliteDb db;
        db.execFile(sourcePath(QStringLiteral("tests/fixtures/report_fixture.sql")));
        QTemporaryDir defs;
        QString reportsDir = defs.path();
        const QByteArray standard =
            fileText(sourcePath("reports/KMB612/KMB612_1_orcamento.json")).toUtf8();
        if (fault == QLatin1String("missing")) {
            reportsDir = defs.filePath(QStringLiteral("nao-existe"));
        } else if (fault == QLatin1String("malformed")) {
            QFile f(defs.filePath(QStringLiteral("KMB612_1.json")));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(standard.left(standard.size() / 2)); // cut in the middle, as a failed copy
        } else {
            // A layout whose query declares a parameter the screen knows nothing of.
            QByteArray changed = standard;
            changed.replace("WHERE O.CDFILIAL = :P_CDFILIAL",
                            "WHERE O.CDFILIAL = :P_CDFILIAL AND :P_EXTRA = ''");
            QVERIFY(changed != standard);
            QFile f(defs.filePath(QStringLiteral("KMB612_1.json")));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(changed);
        }

        Screen screen(reportsDir);
        IniProc();
        TfrmRelForn *form = frmRelForn;
        QVERIFY(form && form->isVisible()); // the screen opens all the same
        const QStringList opening = screen.presenter.texts();
        QCOMPARE(opening.size(), atOpen.isEmpty() ? 0 : 1);
        for (const QString &part : atOpen)
            QVERIFY2(opening.first().contains(part), qPrintable(opening.first()));
        screen.form = form;

        // A save-as says why it cannot run and writes nothing; the screen stays usable.
        screen.presenter.clear();
        form->medCDFilial->setText(QStringLiteral("1"));
        const QString out = screen.dir.filePath(QStringLiteral("saida"));
        QDir().mkpath(out);
        screen.saveAs(out + QStringLiteral("/r.csv"));
        QCOMPARE(screen.presenter.entries.size(), 1);
        for (const QString &part : atAction)
            QVERIFY2(screen.presenter.texts().first().contains(part),
                     qPrintable(screen.presenter.texts().first()));
        QCOMPARE(entriesOf(out), QStringList());
        QCOMPARE(QApplication::activeModalWidget(), nullptr);
        QCOMPARE(QApplication::overrideCursor(), nullptr);
        screen.presenter.clear();
        form->sbtPreview->click();
        QApplication::processEvents();
        QCOMPARE(screen.presenter.entries.size(), 1);
        QCOMPARE(QApplication::activeModalWidget(), nullptr);
        QVERIFY(!form->rpddPadrao->lastPreview());

        // Once the definitions are right, the screen opened again runs the report.
        QPointer<TfrmRelForn> guard = form;
        form->close();
        QTRY_VERIFY(guard.isNull());
        screen.setConfig(QStringLiteral("Reports/Directory"),
                         sourcePath(QStringLiteral("reports")));
        form = screen.open();
        QCOMPARE(form->cbbReportNames->count(), 2);
        form->medCDFilial->setText(QStringLiteral("1"));
        screen.saveAs(out + QStringLiteral("/r.csv"));
        QCOMPARE(screen.presenter.texts(), QStringList());
        QCOMPARE(entriesOf(out), QStringList{"r.csv"});
    }

    // --- Save as ----------------------------------------------------------------------------

    void saveAsIntoUnwritableFolder_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::newRow("read-only folder") << "somenteleitura";
        QTest::newRow("system folder") << "/sys";
        QTest::newRow("folder that is a file") << "arquivo.txt";
    }
    void saveAsIntoUnwritableFolder()
    {
        QFETCH(QString, folder);
        TempSqliteDb db;
        db.execFile(sourcePath(QStringLiteral("tests/fixtures/report_fixture.sql")));
        Screen screen;
        TfrmRelForn *form = screen.open();
        form->medCDFilial->setText(QStringLiteral("1"));
        const QString base = screen.dir.filePath(QStringLiteral("base"));
        QDir().mkpath(base);
        std::unique_ptr<ReadOnlyFolder> readOnly;
        QString dir = QDir::isAbsolutePath(folder) ? folder : QDir(base).filePath(folder);
        if (folder == QLatin1String("somenteleitura")) {
            readOnly = std::make_unique<ReadOnlyFolder>(dir);
            if (!readOnly->isReadOnly())
                QSKIP("running as root on a file system without the immutable flag");
        } else if (folder == QLatin1String("arquivo.txt")) {
            QFile f(dir);
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        const QStringList before = entriesOf(dir);
        const QString target = dir + QStringLiteral("/relatorio.csv");
        screen.saveAs(target);
        QCOMPARE(screen.presenter.entries.size(), 1);
        const QString message = screen.presenter.entries.first().text;
        QVERIFY2(message.contains(QStringLiteral("Não foi possível gravar o arquivo")),
                 qPrintable(message));
        QVERIFY2(message.contains(QDir::toNativeSeparators(target)), qPrintable(message));
        qInfo("%s", qPrintable(message));
        QCOMPARE(entriesOf(dir), before);
        QCOMPARE(form->lastSavedPath(), QString());
        QCOMPARE(QApplication::overrideCursor(), nullptr);

        // Another folder: the same save works.
        readOnly.reset();
        screen.presenter.clear();
        screen.saveAs(base + QStringLiteral("/relatorio.csv"));
        QCOMPARE(screen.presenter.texts(), QStringList());
        QCOMPARE(parseCsv(readText(base + QStringLiteral("/relatorio.csv"))).size(), 6);
    }

    void saveAsOntoFullDisk_data()
    {
        QTest::addColumn<QString>("suffix");
        QTest::newRow("csv") << "csv";
        QTest::newRow("pdf") << "pdf";
    }
    void saveAsOntoFullDisk()
    {
        QFETCH(QString, suffix);
        // The report of a few thousand lines, far more than the limit the disk leaves.
        QTemporaryDir dir;
        const QString database = dir.filePath(QStringLiteral("cheio.db"));
        {
            TdtmDBGeral dtm;
            TdtmDBGeral::Settings settings;
            settings.database = database;
            QVERIFY(dtm.open(settings));
            loadSchemaAndFixture(dtm.database());
            insertManyBudgets(dtm.database(), 600);
        }
        const QString outDir = dir.filePath(QStringLiteral("saida"));
        QDir().mkpath(outDir);
        const QString target = outDir + QStringLiteral("/relatorio.") + suffix;
        constexpr rlim_t limit = 48 * 1024;

        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QString::fromLatin1(kChildVariable), QStringLiteral("full-disk"));
        env.insert(QStringLiteral("KMB_FAULTS_DB"), database);
        env.insert(QStringLiteral("KMB_FAULTS_TARGET"), target);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        child.setProcessEnvironment(env);
        // Runs in the child before it starts: every file it writes stops at the limit, and
        // the write fails instead of killing the process.
        child.setChildProcessModifier([] {
            rlimit l{};
            getrlimit(RLIMIT_FSIZE, &l);
            l.rlim_cur = limit;
            setrlimit(RLIMIT_FSIZE, &l);
            signal(SIGXFSZ, SIG_IGN);
        });
        child.start(QCoreApplication::applicationFilePath(), {});
        QVERIFY2(child.waitForFinished(40000), "the child did not finish");
        const QByteArray errors = child.readAllStandardError();
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QVERIFY2(child.exitCode() == 0, errors.constData());
        const QJsonObject result = QJsonDocument::fromJson(child.readAllStandardOutput()).object();
        const QJsonObject limited = result.value(QStringLiteral("limited")).toObject();
        const QJsonObject unlimited = result.value(QStringLiteral("unlimited")).toObject();
        QVERIFY2(!limited.isEmpty() && !unlimited.isEmpty(), errors.constData());

        // Full: one message naming the file and the reason, and no file at all, whole or
        // partial.
        const QStringList messages = limited.value("messages").toVariant().toStringList();
        QCOMPARE(messages.size(), 1);
        QVERIFY2(messages.first().contains(QStringLiteral("Não foi possível gravar o arquivo")),
                 qPrintable(messages.first()));
        QVERIFY2(messages.first().contains(QDir::toNativeSeparators(target)),
                 qPrintable(messages.first()));
        QVERIFY2(messages.first().contains(QString::fromLocal8Bit(strerror(EFBIG))),
                 qPrintable(messages.first()));
        qInfo("%s", qPrintable(messages.first()));
        QCOMPARE(limited.value("files").toVariant().toStringList(), QStringList());
        // With room again the same save writes the whole file, larger than the limit was.
        QCOMPARE(unlimited.value("messages").toVariant().toStringList(), QStringList());
        QCOMPARE(unlimited.value("files").toVariant().toStringList(),
                 QStringList{QFileInfo(target).fileName()});
        QVERIFY(unlimited.value("size").toInteger() > qint64(limit));
        qInfo("%s: %lld bytes whole, the limit was %lld", qPrintable(suffix),
              unlimited.value("size").toInteger(), qint64(limit));
    }

    // --- Input that looks like SQL ----------------------------------------------------------

    void injectionReachesTheDatabaseAsData_data()
    {
        QTest::addColumn<QString>("driver");
        QTest::addColumn<QString>("budget");        // typed into medDeOrc (copied to medAteOrc)
        QTest::addColumn<QStringList>("suppliers"); // picked keys
        QTest::addColumn<QStringList>("clients");
        QTest::addColumn<QStringList>("eventTypes");
        QTest::addColumn<QStringList>("serviceTypes");
        QTest::addColumn<QStringList>("expected"); // suppliers of the rows in the CSV

        const QStringList suppliers{"x' OR '1'='1", "'); DROP TABLE FORNECEDOR; --"};
        const QStringList clients{"';DELETE FROM CLIENTE", "CL1' OR 'a'='a"};
        const QStringList events{"'--", "') OR 1=1 --"};
        const QStringList services{"%'_", "%"};
        for (const char *driver : {"QSQLITE", "QPSQL"}) {
            // The budget, client, event type, service type and supplier whose keys really are
            // these texts: the report lists exactly their one row.
            QTest::addRow("%s, keys that exist", driver)
                << driver << "1' OR '1'=" << suppliers << clients << events << services
                << QStringList{"x' OR '1'='1"};
            QTest::addRow("%s, keys that do not", driver)
                << driver << "' OR ''=''" << QStringList{"' OR 1=1 --", "\") OR (\"1\"=\"1"}
                << QStringList{"' OR 'x'='x"} << QStringList{"1;"} << QStringList{"_"}
                << QStringList{};
        }
    }
    void injectionReachesTheDatabaseAsData()
    {
        QFETCH(QString, driver);
        QFETCH(QString, budget);
        QFETCH(QStringList, suppliers);
        QFETCH(QStringList, clients);
        QFETCH(QStringList, eventTypes);
        QFETCH(QStringList, serviceTypes);
        QFETCH(QStringList, expected);

        std::unique_ptr<TempSqliteDb> sqlite;
        TdtmDBGeral pg;
        QSqlDatabase db;
        const auto forget = qScopeGuard([] { setDtmDBGeral(nullptr); });
        QMap<QString, QString> before;
        try {
            if (driver == QLatin1String("QPSQL")) {
                REQUIRE_PG_OR_SKIP();
                QVERIFY2(pg.open(PgServer::freshDatabase(QStringLiteral("tst_screen_faults_sql"))),
                         qPrintable(pg.lastError()));
                setDtmDBGeral(&pg);
                db = pg.database();
                execSqlStatements(db, fileText(sourcePath(QStringLiteral("db/schema.sql"))));
            } else {
                sqlite = std::make_unique<TempSqliteDb>();
                db = sqlite->dtm()->database();
            }
            execSqlStatements(
                db, fileText(sourcePath(QStringLiteral("tests/fixtures/report_fixture.sql"))));
            // Rows whose keys are the texts of the first data row.
            insertRow(db, "FORNECEDOR",
                      {"CDFORNECED", "IDTPIJURFORN", "NRINSJURFORN", "NMRAZSOCFORN"},
                      {"x' OR '1'='1", "J", "11222333000181", "x' OR '1'='1 Eventos"});
            insertRow(db, "CLIENTE", {"CDCLIENTE", "IDTPIJURCLIE", "NRINSJURCLIE", "NMRAZSOCCLIE"},
                      {"';DELETE FROM CLIENTE", "F", "11144477735", "Cliente das aspas"});
            insertRow(db, "TIPOEVENTO", {"CDTIPOEVENTO", "NMTIPOEVENTO"},
                      {"'--", "Tipo das aspas"});
            insertRow(db, "TIPOSERVEVEN", {"CDTPSERVEVEN", "NMTPSERVEVEN"}, {"%'_", "Curinga"});
            insertRow(db, "ORCAEVENTO",
                      {"CDFILIAL", "NRORCAEVENTO", "DTEVENTO", "CDCLIENTE", "CDTIPOEVENTO"},
                      {"0001", "1' OR '1'=", QStringLiteral("2024-06-15"), "';DELETE FROM CLIENTE",
                       "'--"});
            insertRow(db, "ITORCAEVENTO",
                      {"CDFILIAL", "NRORCAEVENTO", "NRITEM", "CDTPSERVEVEN", "CDFORNECED",
                       "CDPRODUTO", "QTITEM", "VRUNITARIO"},
                      {"0001", "1' OR '1'=", 1, "%'_", "x' OR '1'='1", "P1", 1, 10.0});
            before = tableDigests(db);
        } catch (const EAppError &e) {
            QFAIL(qPrintable(e.message()));
        }

        Screen screen;
        TfrmRelForn *form = screen.open();

        // The branch edit takes letters and digits only; what is left is looked up as a code.
        typeBranch(form, QStringLiteral("1' OR '1'='1"));
        for (const QChar c : form->medCDFilial->text())
            QVERIFY2(c.isLetterOrNumber(), qPrintable(form->medCDFilial->text()));
        QCOMPARE(screen.presenter.texts(), QStringList{"Filial não cadastrada."});
        screen.presenter.clear();
        form->medCDFilial->setText(QStringLiteral("1"));

        // Budget numbers take any text; dates only their digits.
        typeInto(form->medDeOrc, budget);
        QCOMPARE(form->medAteOrc->text(), budget);
        typeInto(form->depDeEvento->lineEdit(), QStringLiteral("15062024' OR '1'='1"));
        typeInto(form->depAteEvento->lineEdit(),
                 QStringLiteral("15062024'); DROP TABLE ORCAEVENTO; --"));
        form->medCDFilial->setFocus();
        QApplication::processEvents();
        QCOMPARE(form->depDeEvento->Text(), QStringLiteral("15/06/2024"));
        QCOMPARE(form->depAteEvento->Text(), QStringLiteral("15/06/2024"));

        // The supplier pick list's filter finds rows that hold the typed text, literally.
        form->rbtLisForn->click();
        int wildcardRows = -1;
        int literalRows = -1;
        PickListAnswer answer([&](QDialog *dialog) {
            filterPickList(dialog, QStringLiteral("%_"));
            wildcardRows = rowsOf(dialog)->rowCount();
            filterPickList(dialog, QStringLiteral("x' OR '1'='1"));
            literalRows = rowsOf(dialog)->rowCount();
            if (literalRows == 1)
                pickRowAndOk(dialog, 0);
            else
                cancel(dialog);
        });
        form->sbtFornecedor->click();
        QApplication::processEvents();
        QCOMPARE(answer.shown, 1);
        QCOMPARE(wildcardRows, 0);
        QCOMPARE(literalRows, 1);
        QCOMPARE(pickListKeys(LisForn), QStringList{"x' OR '1'='1"});
        QCOMPARE(screen.presenter.texts(), QStringList());

        // The picks, as the pick lists leave them.
        LisForn = pickListToString(suppliers);
        form->rbtLisCli->click();
        LisCli = pickListToString(clients);
        form->rbtLisEvento->click();
        LisEvento = pickListToString(eventTypes);
        form->rbtLisServ->click();
        LisServ = pickListToString(serviceTypes);

        const QString csv = screen.dir.filePath(QStringLiteral("relatorio.csv"));
        screen.saveAs(csv);
        QCOMPARE(screen.presenter.texts(), QStringList());
        QCOMPARE(form->medDeOrc->text(), budget);
        const QList<QStringList> rows = parseCsv(readText(csv));
        QVERIFY(!rows.isEmpty());
        QCOMPARE(csvColumn(rows, QStringLiteral("Fornecedor")), expected);
        if (!expected.isEmpty())
            QCOMPARE(csvColumn(rows, QStringLiteral("Orçamento")), QStringList{budget});

        // Nothing in the database changed.
        const QMap<QString, QString> after = tableDigests(db);
        for (const QString &table : kTables)
            QCOMPARE(after.value(table), before.value(table));
    }
};

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    if (qEnvironmentVariableIsSet(kChildVariable))
        return fullDiskChild();
    QTEST_SET_MAIN_SOURCE_PATH
    tst_ScreenFaults test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_screen_faults.moc"
