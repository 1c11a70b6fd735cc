// Creation and close of the screen, and its application-server connection against loopback
// servers that accept, refuse, or never answer.
#include "mask.h"
#include "screenfixture.h"

#include <QTcpServer>
#include <QTcpSocket>

namespace {

// A loopback server: answers the handshake with "OK", "ERR ..." or nothing at all.
class FakeAppServer : public QObject
{
public:
    enum Mode { Accept, Refuse, Silent };
    explicit FakeAppServer(Mode mode)
        : m_mode(mode)
    {
        m_server.listen(QHostAddress::LocalHost, 0);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *s = m_server.nextPendingConnection()) {
                m_sockets << s;
                connect(s, &QTcpSocket::readyRead, this, [this, s] {
                    m_buffer += s->readAll();
                    if (!m_buffer.contains('\n'))
                        return;
                    handshakes << QString::fromUtf8(m_buffer.trimmed());
                    m_buffer.clear();
                    if (m_mode == Accept)
                        s->write("OK\n");
                    else if (m_mode == Refuse)
                        s->write("ERR recusado\n");
                });
                connect(s, &QTcpSocket::disconnected, this, [this] { ++disconnects; });
            }
        });
    }
    int port() const { return m_server.serverPort(); }
    QStringList handshakes;
    int disconnects = 0;

private:
    Mode m_mode;
    QTcpServer m_server;
    QList<QTcpSocket *> m_sockets;
    QByteArray m_buffer;
};

} // namespace

class tst_ScreenLifecycle : public QObject
{
    Q_OBJECT

    std::unique_ptr<ScreenFixture> fx;

private slots:
    void init() { fx = std::make_unique<ScreenFixture>(); }
    void cleanup() { fx.reset(); }

    void creationEmptiesDatesAndMasksProductCode()
    {
        TfrmRelForn *form = fx->open();
        QVERIFY(EmptyString(form->depDeEvento->Text()));
        QVERIFY(EmptyString(form->depAteEvento->Text()));
        QCOMPARE(form->qryProdutoCDARVPROD->EditMask(), DBPict(TPictType::ptArvProd));
        QVERIFY(!form->qryProdutoCDARVPROD->EditMask().isEmpty());
        for (TADOIBQuery *q : {form->qryVDFilial, form->qryPesqFilial, form->qryProduto})
            QVERIFY(!q->Active());
    }

    void connectsWithHostAndPortReadAtEachConnect()
    {
        FakeAppServer server(FakeAppServer::Accept);
        fx->setConfig(QStringLiteral("AppServer/Port"), server.port());
        TfrmRelForn *form = fx->open();
        QTRY_VERIFY(form->netRelForn->Connected());
        QCOMPARE(server.handshakes, QStringList{"OPEN KMB61200.rdmRelForn"});
        QCOMPARE(form->netRelForn->Host(), WebURL());
        QCOMPARE(form->netRelForn->Port(), server.port());

        // A changed port is taken at the next connect.
        FakeAppServer other(FakeAppServer::Accept);
        fx->setConfig(QStringLiteral("AppServer/Port"), other.port());
        form->netRelForn->SetConnected(false);
        QTRY_COMPARE(server.disconnects, 1);
        form->netRelForn->SetConnected(true);
        QTRY_VERIFY(form->netRelForn->Connected());
        QCOMPARE(other.handshakes.size(), 1);
        QCOMPARE(form->netRelForn->Port(), other.port());
    }

    void closeDisconnectsAndShowingAgainDoesNotReconnect()
    {
        FakeAppServer server(FakeAppServer::Accept);
        fx->setConfig(QStringLiteral("AppServer/Port"), server.port());
        TfrmRelForn *form = fx->open();
        QTRY_VERIFY(form->netRelForn->Connected());
        // Showing the existing instance again does not connect again.
        form->hide();
        IniProc();
        QCOMPARE(frmRelForn, form);
        QTest::qWait(50);
        QCOMPARE(server.handshakes.size(), 1);
        QPointer<TfrmRelForn> guard = form;
        TCloseAction action = TCloseAction::caHide;
        form->FormClose(form, action);
        QCOMPARE(action, TCloseAction::caFree); // the base close work ran first
        QVERIFY(!form->netRelForn->Connected());
        QTRY_COMPARE(server.disconnects, 1);
        form->close();
        QTRY_VERIFY(guard.isNull());
        QCOMPARE(frmRelForn, nullptr);
    }

    void picksOutliveTheScreenAndDieWithTheModule()
    {
        TfrmRelForn *form = fx->open();
        form->rbtLisForn->click();
        LisForn = QStringLiteral("[\"F001\"]");
        LisCli = QStringLiteral("[\"C001\"]");
        QPointer<TfrmRelForn> first = form;
        form->close();
        QTRY_VERIFY(first.isNull());
        QVERIFY(!BoIdCriado);
        // A new instance, the module's picks as they were.
        TfrmRelForn *second = fx->open();
        QVERIFY(second);
        QCOMPARE(LisForn, QStringLiteral("[\"F001\"]"));
        QCOMPARE(LisCli, QStringLiteral("[\"C001\"]"));
        QVERIFY(second->rbtTdsForn->isChecked()); // the screen itself starts afresh
        fx->app.destroyForms();
        // Unloading empties the lists; loading again starts without a screen.
        Finalize();
        Initialize();
        QVERIFY(!BoIdCriado);
        for (const QString *list : {&LisCli, &LisForn, &LisEvento, &LisServ, &LisProd})
            QVERIFY(list->isEmpty());
    }

    void failingServersNeitherBlockNorRaise_data()
    {
        QTest::addColumn<int>("mode"); // -1: nobody listening
        QTest::newRow("refused connection") << -1;
        QTest::newRow("handshake refused") << int(FakeAppServer::Refuse);
        QTest::newRow("never answers") << int(FakeAppServer::Silent);
    }
    void failingServersNeitherBlockNorRaise()
    {
        QFETCH(int, mode);
        std::unique_ptr<FakeAppServer> server;
        int port = 1;
        if (mode >= 0) {
            server = std::make_unique<FakeAppServer>(FakeAppServer::Mode(mode));
            port = server->port();
        }
        fx->setConfig(QStringLiteral("AppServer/Port"), port);
        TfrmRelForn *form = fx->open();
        QVERIFY(form->isVisible()); // the screen is up whatever the server does
        QTRY_VERIFY_WITH_TIMEOUT(!form->netRelForn->isConnecting(), 3000);
        QVERIFY(!form->netRelForn->Connected());
        QVERIFY(!form->netRelForn->lastError().isEmpty());
        QCOMPARE(fx->presenter.entries.size(), 0); // ThrowException false: nothing shown
    }

    void invalidPortsWithAndWithoutThrowException_data()
    {
        QTest::addColumn<int>("port");
        QTest::newRow("zero") << 0;
        QTest::newRow("negative") << -5;
        QTest::newRow("too large") << 70000;
    }
    void invalidPortsWithAndWithoutThrowException()
    {
        QFETCH(int, port);
        TNetConnection quiet;
        quiet.setThrowException(false);
        quiet.setHost(QStringLiteral("127.0.0.1"));
        quiet.setPort(port);
        quiet.SetConnected(true);
        QVERIFY(!quiet.Connected());
        QVERIFY(!quiet.isConnecting());
        TNetConnection loud;
        loud.setThrowException(true);
        loud.setHost(QStringLiteral("127.0.0.1"));
        loud.setPort(port);
        bool raised = false;
        try {
            loud.SetConnected(true);
        } catch (const EAppError &e) {
            raised = e.message().contains(QString::number(port));
        }
        QVERIFY(raised);
    }
};

QTEST_MAIN(tst_ScreenLifecycle)
#include "tst_screen_lifecycle.moc"
