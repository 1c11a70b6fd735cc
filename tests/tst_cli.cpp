// Reports run without a window (kmbhost --report): the criteria file, the screen's own checks
// and messages, the exit statuses, and criteria written from the screen running back to the
// same report. The host runs as a separate process over the test's SQLite database; the same
// criteria are entered in the screen module loaded here, as the host's menu loads it.
#include "Dadosgerrel.h"
#include "application.h"
#include "criteriafile.h"
#include "dateedit.h"
#include "reportdesigner.h"
#include "screencriteria.h"
#include "testsupport.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QImage>
#include <QLibrary>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QTableView>
#include <QTest>
#include <QTimer>

namespace {

struct CliResult
{
    int status = -1;
    QString out;
    QString err;
};

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &data)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(data);
}

// Rows of a CSV report after its header row.
int csvRows(const QByteArray &csv)
{
    int lines = 0;
    for (const QByteArray &line : csv.split('\n'))
        if (!line.trimmed().isEmpty())
            ++lines;
    return lines - 1;
}

// Answers the next pick list as a user: checks the rows showing one of the labels in any
// column, then presses OK.
void answerPickList(const QStringList &labels, int *checked)
{
    auto *timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, labels, checked] {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            auto *dialog = qobject_cast<QDialog *>(w);
            if (!dialog || !dialog->isVisible() ||
                dialog->objectName() != QLatin1String("PesquisaListaDialog"))
                continue;
            timer->stop();
            timer->deleteLater();
            QAbstractItemModel *model =
                dialog->findChild<QTableView *>(QStringLiteral("resultView"))->model();
            for (int r = 0; r < model->rowCount(); ++r)
                for (int c = 0; c < model->columnCount(); ++c)
                    if (labels.contains(model->index(r, c).data().toString())) {
                        model->setData(model->index(r, 0), Qt::Checked, Qt::CheckStateRole);
                        ++*checked;
                        break;
                    }
            dialog->findChild<QPushButton *>(QStringLiteral("okButton"))->click();
            return;
        }
    });
    timer->start();
}

} // namespace

class tst_Cli : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<TempSqliteDb> m_db;
    QString m_config;
    std::unique_ptr<TApplication> m_app;
    std::unique_ptr<RecordingPresenter> m_presenter;
    std::unique_ptr<QLibrary> m_module;
    void (*m_initialize)() = nullptr;
    void (*m_finalize)() = nullptr;
    void (*m_iniProc)() = nullptr;
    TfrmDadosGerRel *form = nullptr;
    int m_files = 0;

    QString tempPath(const QString &suffix)
    {
        return m_dir.filePath(QStringLiteral("f%1%2").arg(++m_files).arg(suffix));
    }

    // Without display: no platform named, no X or Wayland display.
    CliResult runCli(const QStringList &args, bool display = true)
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        if (display) {
            env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        } else {
            for (const char *name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
                env.remove(QString::fromLatin1(name));
        }
        p.setProcessEnvironment(env);
        p.start(moduleDir() + QStringLiteral("/kmbhost"), args);
        CliResult r;
        if (!p.waitForFinished(30000)) {
            p.kill();
            p.waitForFinished();
            r.err = QStringLiteral("kmbhost did not finish");
            return r;
        }
        r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
        r.out = QString::fromUtf8(p.readAllStandardOutput());
        r.err = QString::fromUtf8(p.readAllStandardError());
        return r;
    }

    CliResult runReport(const QByteArray &criteria, const QString &out, int layout = 0,
                        const QString &config = {})
    {
        const QString file = tempPath(QStringLiteral(".txt"));
        writeFile(file, criteria);
        return runReportFile(file, out, layout, config);
    }

    CliResult runReportFile(const QString &file, const QString &out, int layout = 0,
                            const QString &config = {})
    {
        return runCli({QStringLiteral("--report"), QStringLiteral("KMB612"),
                       QStringLiteral("--layout"), QString::number(layout),
                       QStringLiteral("--criteria"), file, QStringLiteral("--out"), out,
                       QStringLiteral("--config"), config.isEmpty() ? m_config : config});
    }

    void seed()
    {
        m_db->exec(QStringLiteral("INSERT INTO FILIAL (CDFILIAL, NMFILIAL) VALUES "
                                  "('0001', 'Matriz'), ('0002', 'Campinas')"));
        m_db->exec(QStringLiteral("INSERT INTO TIPOEVENTO (CDTIPOEVENTO, NMTIPOEVENTO) VALUES "
                                  "('001', 'Casamento'), ('002', 'Formatura')"));
        m_db->exec(QStringLiteral("INSERT INTO TIPOSERVEVEN (CDTPSERVEVEN, NMTPSERVEVEN) VALUES "
                                  "('001', 'Buffet'), ('002', 'Som')"));
        // Keys with a comma, a quote and a semicolon.
        m_db->exec(QStringLiteral(
            "INSERT INTO FORNECEDOR (CDFORNECED, IDTPIJURFORN, NRINSJURFORN, NMRAZSOCFORN, "
            "NMFANTFORN) VALUES ('F001', 'J', '11222333000181', 'Alegria Buffet', 'Alegria'), "
            "('F,2', 'F', '52998224725', 'Vírgula Som', 'Vírgula'), "
            "('F\"3', 'J', '11444777000161', 'Aspas Decoração', 'Aspas'), "
            "('F;4', 'F', '11144477735', 'Ponto Luz', 'Ponto')"));
        m_db->exec(QStringLiteral(
            "INSERT INTO CLIENTE (CDCLIENTE, IDTPIJURCLIE, NRINSJURCLIE, NMRAZSOCCLIE, "
            "NMFANTCLIE) VALUES ('C001', 'F', '11144477735', 'Maria Souza', 'Maria'), "
            "('C002', 'J', '11444777000161', 'Eventos Brasil', 'EvBr')"));
        m_db->exec(QStringLiteral("INSERT INTO PRODUTO (CDPRODUTO, CDARVPROD, NMPRODUTO) VALUES "
                                  "('P1', '101001', 'Salgados'), ('P2', '101002', 'Doces')"));
        m_db->exec(QStringLiteral(
            "INSERT INTO ORCAEVENTO (CDFILIAL, NRORCAEVENTO, DTEVENTO, CDCLIENTE, CDTIPOEVENTO) "
            "VALUES ('0001', '0000000001', '2024-03-10', 'C001', '001'), "
            "('0001', '0000000002', '2024-04-10', 'C002', '002'), "
            "('0001', '0000000010', '2024-05-20', 'C001', '001'), "
            "('0002', '0000000003', '2024-04-10', 'C001', '002')"));
        m_db->exec(QStringLiteral(
            "INSERT INTO ITORCAEVENTO (CDFILIAL, NRORCAEVENTO, NRITEM, CDTPSERVEVEN, CDFORNECED, "
            "CDPRODUTO, QTITEM, VRUNITARIO) VALUES "
            "('0001', '0000000001', 1, '001', 'F001', 'P1', 10, 5.5), "
            "('0001', '0000000001', 2, '002', 'F,2', 'P2', 1, 100), "
            "('0001', '0000000002', 1, '001', 'F\"3', 'P1', 3, 2), "
            "('0001', '0000000002', 2, '002', 'F001', 'P2', 2, 7), "
            "('0001', '0000000010', 1, '001', 'F,2', 'P2', 4, 1.25), "
            "('0002', '0000000003', 1, '001', 'F001', 'P1', 1, 1)"));
    }

    // --- The screen, as a user works it ----------------------------------------------------

    template <class T>
    T *get(const QString &name)
    {
        T *c = form->component<T>(name);
        if (!c)
            qFatal("no component %s", qPrintable(name));
        return c;
    }

    void openScreen()
    {
        m_iniProc();
        form = nullptr;
        for (TForm *f : m_app->forms())
            if (auto *s = qobject_cast<TfrmDadosGerRel *>(f))
                form = s;
        QVERIFY(form);
        form->activateWindow();
        QApplication::setActiveWindow(form);
        QVERIFY(QTest::qWaitForWindowActive(form));
        m_presenter->clear();
    }

    void selectLayout(int index)
    {
        form->cbbReportNames->setFocus(Qt::MouseFocusReason);
        form->cbbReportNames->setCurrentIndex(index);
        emit form->cbbReportNames->activated(index);
    }

    // "control=text": focus it, give it the text, and leave it for the next.
    void typeInto(const QString &control, const QString &text)
    {
        QWidget *w = get<QWidget>(control);
        if (auto *date = qobject_cast<TDateEditPlus *>(w)) {
            date->lineEdit()->setFocus(Qt::MouseFocusReason);
            if (text.isEmpty())
                date->Clear();
            else
                date->setText(text);
        } else {
            w->setFocus(Qt::MouseFocusReason);
            qobject_cast<QLineEdit *>(w)->setText(text);
        }
        QApplication::processEvents();
    }

    // "radio" or "radio|button|label;label": clicks the radio, then picks the rows showing the
    // labels with the list button.
    void pick(const QString &request)
    {
        const QStringList parts = request.split(QLatin1Char('|'));
        QTest::mouseClick(get<TRadioButton>(parts.at(0)), Qt::LeftButton);
        if (parts.size() < 3)
            return;
        const QStringList labels = parts.at(2).split(QLatin1Char(';'));
        int checked = 0;
        answerPickList(labels, &checked);
        QTest::mouseClick(get<TButtonFlat>(parts.at(1)), Qt::LeftButton);
        QCOMPARE(checked, labels.size());
    }

    void enterInScreen(int layout, const QStringList &edits, const QStringList &picks)
    {
        selectLayout(layout);
        for (const QString &edit : edits) {
            const qsizetype eq = edit.indexOf(QLatin1Char('='));
            typeInto(edit.left(eq), edit.mid(eq + 1));
        }
        for (const QString &p : picks)
            pick(p);
        QVERIFY2(m_presenter->texts().isEmpty(), qPrintable(m_presenter->texts().join('\n')));
    }

    // The screen's own save-as button, writing to the path.
    QByteArray screenSaveAs(const QString &path)
    {
        form->setSaveAsPath(path);
        form->sbtSalvarComo->click();
        if (!m_presenter->texts().isEmpty())
            qWarning("%s", qPrintable(m_presenter->texts().join('\n')));
        return readAll(path);
    }

    void closeScreen()
    {
        if (!form)
            return;
        QPointer<TfrmDadosGerRel> guard = form;
        form->hide();
        m_app->destroyForms();
        QVERIFY(guard.isNull());
        form = nullptr;
    }

private slots:
    void initTestCase()
    {
        m_db = std::make_unique<TempSqliteDb>();
        seed();
        m_config = m_dir.filePath(QStringLiteral("kmb.ini"));
        {
            QSettings ini(m_config, QSettings::IniFormat);
            ini.setValue(QStringLiteral("Database/Driver"), QStringLiteral("QSQLITE"));
            ini.setValue(QStringLiteral("Database/Name"), m_db->path());
            ini.setValue(QStringLiteral("Reports/Directory"),
                         sourcePath(QStringLiteral("reports")));
            ini.setValue(QStringLiteral("AppServer/Host"), QStringLiteral("127.0.0.1"));
            ini.setValue(QStringLiteral("AppServer/Port"), 1);
        }
        m_app = std::make_unique<TApplication>();
        m_app->setConfigFile(m_config);
        m_presenter = std::make_unique<RecordingPresenter>();
        m_module = std::make_unique<QLibrary>(moduleDir() + QStringLiteral("/libKMB61200.so"));
        QVERIFY2(m_module->load(), qPrintable(m_module->errorString()));
        m_initialize = reinterpret_cast<void (*)()>(m_module->resolve("Initialize"));
        m_finalize = reinterpret_cast<void (*)()>(m_module->resolve("Finalize"));
        m_iniProc = reinterpret_cast<void (*)()>(m_module->resolve("IniProc"));
        QVERIFY(m_initialize && m_finalize && m_iniProc);
    }

    // Each test starts with the module's pick lists empty, as a fresh host process does.
    void init() { m_initialize(); }
    void cleanup()
    {
        closeScreen();
        m_finalize();
        m_presenter->clear();
    }

    void cleanupTestCase()
    {
        m_module->unload();
        m_presenter.reset();
        m_app.reset();
        m_db.reset();
    }

    // --- The file format -------------------------------------------------------------------

    void parsesLines_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QStringList>("lines"); // "line:name=value"
        QTest::addColumn<int>("errorLine");     // 0: no error

        QTest::newRow("comments, blanks, CRLF, BOM")
            << QByteArray("\xEF\xBB\xBF# comentário\r\n\r\n  Filial = 1 \r\n   # outro\ndata_de=\n")
            << QStringList{"3:filial=1", "5:data_de="} << 0;
        QTest::newRow("value keeps '=', commas, quotes, '#'")
            << QByteArray("fornecedor.chave=a=b, \"c\";d #e\n")
            << QStringList{"1:fornecedor.chave=a=b, \"c\";d #e"} << 0;
        QTest::newRow("UTF-8 value")
            << QByteArray("cliente.chave=Açaí\n") << QStringList{"1:cliente.chave=Açaí"} << 0;
        QTest::newRow("no '='") << QByteArray("filial=1\n\nfilial 1\n") << QStringList() << 3;
        QTest::newRow("empty name") << QByteArray("=1\n") << QStringList() << 1;
        QTest::newRow("blank in name") << QByteArray("# x\nfil ial=1\n") << QStringList() << 2;
        QTest::newRow("not UTF-8")
            << QByteArray("filial=1\ncliente.chave=\xff\xfe\n") << QStringList() << 2;
        QTest::newRow("UTF-8 sequence cut at the end of the line")
            << QByteArray("cliente.chave=\xc3\nfilial=1\n") << QStringList() << 1;
    }
    void parsesLines()
    {
        QFETCH(QByteArray, text);
        QFETCH(QStringList, lines);
        QFETCH(int, errorLine);
        try {
            const CriteriaFile file = CriteriaFile::parse(text);
            QCOMPARE(errorLine, 0);
            QStringList got;
            for (const CriteriaLine &l : file.lines)
                got << QStringLiteral("%1:%2=%3").arg(l.line).arg(l.name, l.value);
            QCOMPARE(got, lines);
        } catch (const ECriteriaError &e) {
            QVERIFY2(errorLine > 0, qPrintable(e.message()));
            QCOMPARE(e.line, errorLine);
            QVERIFY(e.message().startsWith(QStringLiteral("Linha %1:").arg(errorLine)));
        }
    }

    void writtenFileReadsBack()
    {
        CriteriaFile file;
        file.comments << QStringLiteral("Critérios");
        file.lines << CriteriaLine{0, QStringLiteral("filial"), QStringLiteral("0001")}
                   << CriteriaLine{0, QStringLiteral("fornecedor.chave"),
                                   QStringLiteral("F,\"2\"=;")};
        const CriteriaFile back = CriteriaFile::parse(file.toUtf8());
        QCOMPARE(back.lines.size(), 2);
        QCOMPARE(back.lines.at(1).value, QStringLiteral("F,\"2\"=;"));
        QCOMPARE(back.lines.at(1).line, 4); // after the comment and a blank line
    }

    // --- The same rows as the screen ------------------------------------------------------

    void sameRowsAsScreen_data()
    {
        QTest::addColumn<int>("layout");
        QTest::addColumn<QByteArray>("criteria");
        QTest::addColumn<QStringList>("edits"); // screen: "control=text", in tab order
        QTest::addColumn<QStringList>("picks"); // screen: "radio[|button|label;label]"
        QTest::addColumn<int>("rows");

        QTest::newRow("branch only")
            << 0 << QByteArray("filial=1\n") << QStringList{"medCDFilial=1"} << QStringList() << 5;
        QTest::newRow("budget range")
            << 0 << QByteArray("filial=1\norcamento_de=1\norcamento_ate=2\n")
            << QStringList{"medCDFilial=1", "medDeOrc=1", "medAteOrc=2"} << QStringList() << 4;
        // Leaving the start date copies it to the end; emptying the end afterwards opens it.
        QTest::newRow("date range, open end")
            << 0 << QByteArray("filial=1\ndata_de=01/04/2024\ndata_ate=\n")
            << QStringList{"medCDFilial=1", "depDeEvento=01/04/2024", "depAteEvento="}
            << QStringList() << 3;
        QTest::newRow("suppliers with awkward keys")
            << 0
            << QByteArray("filial=0001\nfornecedor=Lista\nfornecedor.chave=F,2\n"
                          "fornecedor.chave=F\"3\n")
            << QStringList{"medCDFilial=0001"}
            << QStringList{"rbtLisForn|sbtFornecedor|Vírgula Som;Aspas Decoração"} << 3;
        QTest::newRow("event and service types")
            << 0
            << QByteArray("filial=1\ntipo_evento=lista\ntipo_evento.chave=002\n"
                          "tipo_servico=Lista\ntipo_servico.chave=001\n")
            << QStringList{"medCDFilial=1"}
            << QStringList{"rbtLisEvento|sbtEvento|Formatura", "rbtLisServ|sbtServico|Buffet"} << 1;
        QTest::newRow("clients") << 0 << QByteArray("filial=1\ncliente=Lista\ncliente.chave=C002\n")
                                 << QStringList{"medCDFilial=1"}
                                 << QStringList{"rbtLisCli|sbtCliente|Eventos Brasil"} << 2;
        QTest::newRow("product layout, products")
            << 1 << QByteArray("filial=1\nproduto=Lista\nproduto.chave=P2\n")
            << QStringList{"medCDFilial=1"} << QStringList{"rbtLisProd|sbtProduto|Doces"} << 3;
        QTest::newRow("product layout, suppliers and budgets")
            << 1
            << QByteArray("filial=1\norcamento_de=2\norcamento_ate=10\nfornecedor=Lista\n"
                          "fornecedor.chave=F001\nfornecedor.chave=F,2\n")
            << QStringList{"medCDFilial=1", "medDeOrc=2", "medAteOrc=10"}
            << QStringList{"rbtLisForn|sbtFornecedor|Alegria Buffet;Vírgula Som"} << 2;
    }
    void sameRowsAsScreen()
    {
        QFETCH(int, layout);
        QFETCH(QByteArray, criteria);
        QFETCH(QStringList, edits);
        QFETCH(QStringList, picks);
        QFETCH(int, rows);

        const QString cliCsv = tempPath(QStringLiteral(".csv"));
        const CliResult cli = runReport(criteria, cliCsv, layout);
        QVERIFY2(cli.status == 0, qPrintable(cli.err));
        const QByteArray fromCli = readAll(cliCsv);
        QCOMPARE(csvRows(fromCli), rows);
        QCOMPARE(cli.err, QString()); // not even Qt's notes on the platform
        QCOMPARE(cli.out.trimmed(), QStringLiteral("%1: %2 linha%3")
                                        .arg(QDir::toNativeSeparators(cliCsv))
                                        .arg(rows)
                                        .arg(rows == 1 ? "" : "s"));

        openScreen();
        enterInScreen(layout, edits, picks);
        // What the user set up, written from the screen, runs back to the same report.
        const QString written = tempPath(QStringLiteral(".txt"));
        form->saveCriteria(written);
        const QByteArray fromScreen = screenSaveAs(tempPath(QStringLiteral(".csv")));
        QVERIFY(m_presenter->texts().isEmpty());
        QCOMPARE(fromScreen, fromCli);

        const QString againCsv = tempPath(QStringLiteral(".csv"));
        const CliResult again = runReportFile(written, againCsv, layout);
        QVERIFY2(again.status == 0, qPrintable(again.err + QString::fromUtf8(readAll(written))));
        QCOMPARE(readAll(againCsv), fromCli);
    }

    void pdfOutput()
    {
        const QString pdf = tempPath(QStringLiteral(".pdf"));
        const CliResult cli = runReport("filial=1\nfornecedor=Lista\nfornecedor.chave=F,2\n", pdf);
        QVERIFY2(cli.status == 0, qPrintable(cli.err));
        QVERIFY(readAll(pdf).startsWith("%PDF"));
        QVERIFY(cli.out.contains(QStringLiteral(": 2 linhas")));
    }

    void previewPicture()
    {
        // A .png is a picture of the screen's own preview, first page shown.
        const QString png = tempPath(QStringLiteral(".png"));
        const CliResult cli = runReport("filial=1\n", png);
        QVERIFY2(cli.status == 0, qPrintable(cli.err));
        QCOMPARE(cli.out.trimmed(), QDir::toNativeSeparators(png) + QStringLiteral(": 5 linhas"));
        QCOMPARE(cli.err, QString()); // not even Qt's notes on the platform
        const QImage shot(png);
        QVERIFY(!shot.isNull());
        QVERIFY(shot.width() > 300 && shot.height() > 300);
        // The refusals are the same as for a file.
        const CliResult refused = runReport("filial=\n", tempPath(QStringLiteral(".png")));
        QCOMPARE(refused.status, 3);
        QVERIFY(refused.err.contains(QStringLiteral("Filial não informada.")));
    }

    // --- Criteria written from the screen ---------------------------------------------------

    void writesTheScreensCriteria()
    {
        openScreen();
        enterInScreen(0, {"medCDFilial=1", "medDeOrc=3", "depDeEvento=01/04/2024"},
                      {"rbtLisForn|sbtFornecedor|Vírgula Som;Ponto Luz", "rbtLisCli"});
        const QString written = tempPath(QStringLiteral(".txt"));
        form->saveCriteria(written);
        const CriteriaFile file = CriteriaFile::parse(readAll(written));
        QStringList lines;
        for (const CriteriaLine &l : file.lines)
            lines << l.name + QLatin1Char('=') + l.value;
        // Tab order; the budget start was left, so it is normalised and copied to the end.
        QCOMPARE(lines,
                 (QStringList{"filial=0001", "orcamento_de=0000000003", "orcamento_ate=0000000003",
                              "data_de=01/04/2024", "data_ate=01/04/2024", "fornecedor=Lista",
                              "fornecedor.chave=F,2", "fornecedor.chave=F;4", "tipo_evento=Todos",
                              "tipo_servico=Todos", "cliente=Lista"}));
        QVERIFY(readAll(written).contains("# Para gerar o relatório sem a janela:"));
        // Reading the lists left them as they were.
        QVERIFY(m_presenter->texts().isEmpty());
        const CriteriaFile again = ScreenCriteria(form).current();
        QCOMPARE(again.lines.size(), file.lines.size());

        // A client list with nothing picked is refused by the screen, and so by the command
        // line running the written file.
        screenSaveAs(tempPath(QStringLiteral(".csv")));
        QCOMPARE(m_presenter->texts(), QStringList{"Cliente deve ser informado."});
        const CliResult cli = runReportFile(written, tempPath(QStringLiteral(".csv")));
        QCOMPARE(cli.status, 3);
        QVERIFY2(cli.err.contains(QStringLiteral("Cliente deve ser informado.")),
                 qPrintable(cli.err));
    }

    // Leaving the product layout disables the product list button; back in it, the old pick
    // still counts though the button stays disabled. The written file keeps that pick.
    void writesAPickWhoseButtonIsDisabled()
    {
        openScreen();
        enterInScreen(1, {"medCDFilial=1"}, {"rbtLisProd|sbtProduto|Salgados"});
        selectLayout(0);
        selectLayout(1);
        QVERIFY(!get<TButtonFlat>(QStringLiteral("sbtProduto"))->isEnabled());
        const QString written = tempPath(QStringLiteral(".txt"));
        form->saveCriteria(written);
        QVERIFY(readAll(written).contains("\nproduto=Lista\nproduto.chave=P1\n"));
        // The client group is hidden in this layout: not written.
        QVERIFY(!readAll(written).contains("cliente="));
        const QByteArray fromScreen = screenSaveAs(tempPath(QStringLiteral(".csv")));
        QCOMPARE(csvRows(fromScreen), 2);
        const QString cliCsv = tempPath(QStringLiteral(".csv"));
        const CliResult cli = runReportFile(written, cliCsv, 1);
        QVERIFY2(cli.status == 0, qPrintable(cli.err));
        QCOMPARE(readAll(cliCsv), fromScreen);
    }

    // --- Refusals of the screen ------------------------------------------------------------

    void refusals_data()
    {
        QTest::addColumn<int>("layout");
        QTest::addColumn<QByteArray>("criteria");
        QTest::addColumn<QString>("message");

        QTest::newRow("no branch")
            << 0 << QByteArray("orcamento_de=1\n") << QStringLiteral("Filial não informada.");
        QTest::newRow("branch left empty") << 0 << QByteArray("filial=\norcamento_de=1\n")
                                           << QStringLiteral("Filial não informada.");
        QTest::newRow("unknown branch")
            << 0 << QByteArray("filial=9\n") << QStringLiteral("Filial não cadastrada.");
        QTest::newRow("budget order")
            << 0 << QByteArray("filial=1\norcamento_de=9\norcamento_ate=3\n")
            << QStringLiteral("Intervalo inicial do orçamento deve ser "
                              "menor ou igual a intervalo final do "
                              "orçamento.");
        QTest::newRow("budget end only") << 0 << QByteArray("filial=1\norcamento_ate=5\n")
                                         << QStringLiteral("Intervalo inicial deve ser informado.");
        QTest::newRow("budget end emptied")
            << 0 << QByteArray("filial=1\norcamento_de=5\norcamento_ate=\n")
            << QStringLiteral("Intervalo final deve ser informado.");
        QTest::newRow("date order")
            << 0 << QByteArray("filial=1\ndata_de=10/05/2024\ndata_ate=09/05/2024\n")
            << QStringLiteral("Data inicial deve ser menor ou igual à final.");
        QTest::newRow("invalid date") << 0 << QByteArray("filial=1\ndata_de=31/02/2024\n")
                                      << QStringLiteral("Data inválida.");
        QTest::newRow("supplier list empty") << 0 << QByteArray("filial=1\nfornecedor=Lista\n")
                                             << QStringLiteral("Fornecedor deve ser informado");
        QTest::newRow("first empty list in the screen's order")
            << 0 << QByteArray("filial=1\nfornecedor=Lista\ntipo_servico=Lista\n")
            << QStringLiteral("Tipo de serviço deve ser informado.");
        QTest::newRow("product list empty") << 1 << QByteArray("filial=1\nproduto=Lista\n")
                                            << QStringLiteral("Produto deve ser informado.");
        QTest::newRow("key not in the table")
            << 0
            << QByteArray(
                   "filial=1\nfornecedor=Lista\nfornecedor.chave=F001\nfornecedor.chave=F,9\n")
            << QStringLiteral("Fornecedor: chave 'F,9' não encontrada.");
    }
    void refusals()
    {
        QFETCH(int, layout);
        QFETCH(QByteArray, criteria);
        QFETCH(QString, message);
        const QString out = tempPath(QStringLiteral(".csv"));
        const CliResult cli = runReport(criteria, out, layout);
        QCOMPARE(cli.status, 3);
        QVERIFY2(cli.err.split(QLatin1Char('\n')).contains(message), qPrintable(cli.err));
        QVERIFY(cli.out.isEmpty());
        QVERIFY(!QFile::exists(out));
    }

    void refusedKeyNamesItsLine()
    {
        const CliResult cli = runReport(
            "filial=1\n# lista\nfornecedor=Lista\nfornecedor.chave=nada\n", tempPath(".csv"));
        QCOMPARE(cli.status, 3);
        QVERIFY2(cli.err.contains(QStringLiteral("(linha 4 do arquivo de critérios)")),
                 qPrintable(cli.err));
    }

    // --- Files the screen cannot take --------------------------------------------------------

    void criteriaFileErrors_data()
    {
        QTest::addColumn<int>("layout");
        QTest::addColumn<QByteArray>("criteria");
        QTest::addColumn<QString>("start"); // how the message begins

        QTest::newRow("unknown name") << 0 << QByteArray("filial=1\n\nfornecedores=Todos\n")
                                      << QStringLiteral("Linha 3: critério desconhecido "
                                                        "\"fornecedores\"");
        QTest::newRow("keys of a choice without a list")
            << 0 << QByteArray("filial=1\nfilial.chave=1\n")
            << QStringLiteral("Linha 2: critério desconhecido \"filial.chave\"");
        QTest::newRow("malformed line") << 0 << QByteArray("# x\nfilial=1\nfornecedor Lista\n")
                                        << QStringLiteral("Linha 3: linha malformada");
        QTest::newRow("not UTF-8") << 0 << QByteArray("filial=1\ncliente.chave=\xe9\n")
                                   << QStringLiteral("Linha 2: o texto não está em UTF-8");
        QTest::newRow("given twice") << 0 << QByteArray("filial=1\nfilial=2\n")
                                     << QStringLiteral("Linha 2: o critério \"filial\" já foi "
                                                       "informado na linha 1");
        QTest::newRow("choice the screen lacks") << 0 << QByteArray("filial=1\ncliente=Alguns\n")
                                                 << QStringLiteral("Linha 2: valor \"Alguns\" "
                                                                   "inválido para \"cliente\"");
        QTest::newRow("keys without Lista")
            << 0 << QByteArray("filial=1\ncliente=Todos\ncliente.chave=C001\n")
            << QStringLiteral("Linha 3: chaves de \"cliente\" só valem com cliente=Lista");
        QTest::newRow("empty key") << 0 << QByteArray("filial=1\ncliente=Lista\ncliente.chave=\n")
                                   << QStringLiteral("Linha 3: chave vazia");
        QTest::newRow("criterion the layout hides")
            << 1 << QByteArray("filial=1\ncliente=Lista\ncliente.chave=C001\n")
            << QStringLiteral("Linha 2: o critério \"cliente\" não está disponível no leiaute");
        QTest::newRow("longer than the field") << 0 << QByteArray("filial=12345\n")
                                               << QStringLiteral("Linha 1: o campo de \"filial\" "
                                                                 "não aceita \"12345\"");
        QTest::newRow("date not dd/mm/yyyy") << 0 << QByteArray("filial=1\ndata_de=2024-04-01\n")
                                             << QStringLiteral("Linha 2: o campo de \"data_de\" "
                                                               "não aceita");
    }
    void criteriaFileErrors()
    {
        QFETCH(int, layout);
        QFETCH(QByteArray, criteria);
        QFETCH(QString, start);
        const QString out = tempPath(QStringLiteral(".csv"));
        const CliResult cli = runReport(criteria, out, layout);
        QCOMPARE(cli.status, 2);
        QVERIFY2(cli.err.contains(start), qPrintable(cli.err));
        QVERIFY(!QFile::exists(out));
    }

    // A criterion the layout does not offer passes when it asks for what the screen holds.
    void hiddenCriterionAtItsCurrentValue()
    {
        const CliResult cli =
            runReport("filial=1\ncliente=Todos\ntipo_evento=Todos\n", tempPath(".csv"), 1);
        QVERIFY2(cli.status == 0, qPrintable(cli.err));
    }

    // --- Command line, database and files --------------------------------------------------

    void commandLineErrors_data()
    {
        QTest::addColumn<QStringList>("args"); // after --report KMB612 --config
        QTest::addColumn<QString>("message");
        QTest::newRow("no criteria")
            << QStringList{"--out", "x.csv"} << QStringLiteral("--criteria");
        QTest::newRow("no out") << QStringList{"--criteria", "CRIT"} << QStringLiteral("--out");
        QTest::newRow("out not pdf, csv or png")
            << QStringList{"--criteria", "CRIT", "--out", "x.txt"}
            << QStringLiteral(".csv ou .png");
        QTest::newRow("missing criteria file")
            << QStringList{"--criteria", "/nonexistent/c.txt", "--out", "x.csv"}
            << QStringLiteral("Não foi possível ler o arquivo de critérios");
        QTest::newRow("unknown option")
            << QStringList{"--criteria", "CRIT", "--out", "x.csv", "--foo"}
            << QStringLiteral("foo");
        QTest::newRow("no such layout")
            << QStringList{"--criteria", "CRIT", "--out", "x.csv", "--layout", "5"}
            << QStringLiteral("não tem o leiaute 5");
        QTest::newRow("layout by unknown name")
            << QStringList{"--criteria", "CRIT", "--out", "x.csv", "--layout", "Resumo"}
            << QStringLiteral("não tem o leiaute \"Resumo\"");
    }
    void commandLineErrors()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, message);
        const QString crit = tempPath(QStringLiteral(".txt"));
        writeFile(crit, "filial=1\n");
        args.replaceInStrings(QStringLiteral("CRIT"), crit);
        args.replaceInStrings(QStringLiteral("x.csv"), tempPath(QStringLiteral(".csv")));
        const CliResult cli =
            runCli(QStringList{"--report", "KMB612", "--config", m_config} + args);
        QCOMPARE(cli.status, 2);
        QVERIFY2(cli.err.contains(message), qPrintable(cli.err));
    }

    void unknownReportCode()
    {
        const QString crit = tempPath(QStringLiteral(".txt"));
        writeFile(crit, "filial=1\n");
        const CliResult cli = runCli({"--report", "KMB999", "--config", m_config, "--criteria",
                                      crit, "--out", tempPath(".csv")});
        QCOMPARE(cli.status, 2);
        QVERIFY2(cli.err.contains(QStringLiteral("Relatório desconhecido: KMB999")),
                 qPrintable(cli.err));
    }

    void layoutByName()
    {
        const QString csv = tempPath(QStringLiteral(".csv"));
        const QString crit = tempPath(QStringLiteral(".txt"));
        writeFile(crit, "filial=1\nproduto=Lista\nproduto.chave=P1\n");
        const CliResult cli = runCli({"--report", "KMB612", "--config", m_config, "--criteria",
                                      crit, "--out", csv, "--layout", "fornecedores por produto"});
        QVERIFY2(cli.status == 0, qPrintable(cli.err));
        QCOMPARE(csvRows(readAll(csv)), 2);
    }

    void failures_data()
    {
        QTest::addColumn<QString>("setting"); // a configuration key changed for the run
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("out"); // empty: a fresh CSV path
        QTest::addColumn<QString>("message");

        QTest::newRow("database without the tables")
            << "Database/Name"
            << "EMPTYDB" << QString() << QStringLiteral("no such table");
        QTest::newRow("no report definitions") << "Reports/Directory"
                                               << "/nonexistent/reports" << QString()
                                               << QStringLiteral("não foi encontrado no diretório");
        QTest::newRow("output cannot be written")
            << QString() << QString() << QStringLiteral("/nonexistent/dir/r.pdf")
            << QStringLiteral("/nonexistent/dir/r.pdf");
    }
    void failures()
    {
        QFETCH(QString, setting);
        QFETCH(QString, value);
        QFETCH(QString, out);
        QFETCH(QString, message);
        QString config = m_config;
        if (!setting.isEmpty()) {
            config = tempPath(QStringLiteral(".ini"));
            QFile::copy(m_config, config);
            if (value == QLatin1String("EMPTYDB")) {
                value = tempPath(QStringLiteral(".db"));
                writeFile(value, QByteArray()); // an empty file is an empty SQLite database
            }
            QSettings(config, QSettings::IniFormat).setValue(setting, value);
        }
        if (out.isEmpty())
            out = tempPath(QStringLiteral(".csv"));
        const CliResult cli = runReport("filial=1\n", out, 0, config);
        QCOMPARE(cli.status, 4);
        QVERIFY2(cli.err.contains(message), qPrintable(cli.err));
        QVERIFY(!QFile::exists(out));
    }

    // --- What a key may hold, and input that is too much -------------------------------------

    // Keys with a line break, a tab, blanks at either end or a backslash: Ctrl+Shift+S writes
    // them escaped, one line each, and the command line running that file picks the same keys
    // and writes the same report as the screen.
    void awkwardKeysRoundTrip()
    {
        m_db->exec(QStringLiteral("INSERT INTO FILIAL (CDFILIAL, NMFILIAL) VALUES "
                                  "('0003', 'Chaves')"));
        m_db->exec(QStringLiteral(
            "INSERT INTO FORNECEDOR (CDFORNECED, IDTPIJURFORN, NRINSJURFORN, NMRAZSOCFORN, "
            "NMFANTFORN) VALUES (char(70, 10, 102, 105, 108, 105, 97, 108, 61, 50), 'J', "
            "'11222333000181', 'Quebra', 'Q'), (char(70, 9, 54), 'J', '11222333000181', "
            "'Tabulação', 'T'), (' F7', 'J', '11222333000181', 'Espaço antes', 'E'), "
            "('F8 ', 'J', '11222333000181', 'Espaço depois', 'D'), ('F\\9', 'J', "
            "'11222333000181', 'Barra', 'B')"));
        m_db->exec(QStringLiteral(
            "INSERT INTO ORCAEVENTO (CDFILIAL, NRORCAEVENTO, DTEVENTO, CDCLIENTE, CDTIPOEVENTO) "
            "VALUES ('0003', '0000000030', '2024-06-01', 'C001', '001')"));
        m_db->exec(QStringLiteral(
            "INSERT INTO ITORCAEVENTO (CDFILIAL, NRORCAEVENTO, NRITEM, CDTPSERVEVEN, CDFORNECED, "
            "CDPRODUTO, QTITEM, VRUNITARIO) VALUES "
            "('0003', '0000000030', 1, '001', char(70, 10, 102, 105, 108, 105, 97, 108, 61, 50), "
            "'P1', 1, 1), ('0003', '0000000030', 2, '001', char(70, 9, 54), 'P1', 1, 1), "
            "('0003', '0000000030', 3, '001', ' F7', 'P1', 1, 1), "
            "('0003', '0000000030', 4, '001', 'F8 ', 'P1', 1, 1), "
            "('0003', '0000000030', 5, '001', 'F\\9', 'P1', 1, 1), "
            "('0003', '0000000030', 6, '001', 'F001', 'P1', 1, 1)"));

        openScreen();
        enterInScreen(0, {"medCDFilial=3"},
                      {"rbtLisForn|sbtFornecedor|Quebra;Tabulação;Espaço antes;Espaço depois;"
                       "Barra"});
        const QString written = tempPath(QStringLiteral(".txt"));
        form->saveCriteria(written);
        const QByteArray text = readAll(written);
        QVERIFY2(!text.contains("\nfilial=2"), text.constData()); // no line injected
        const CriteriaFile file = CriteriaFile::parse(text);
        QStringList keys;
        for (const CriteriaLine &l : file.lines)
            if (l.name == QLatin1String("fornecedor.chave"))
                keys << l.value;
        // The keys as the pick list holds them (trailing blanks are dropped by the list for
        // every key, as fixed-width codes end in them).
        QStringList expected{QStringLiteral("F\nfilial=2"), QStringLiteral("F\t6"),
                             QStringLiteral(" F7"), QStringLiteral("F8"), QStringLiteral("F\\9")};
        keys.sort();
        expected.sort();
        QCOMPARE(keys, expected);
        QCOMPARE(file.lines.first().value, QStringLiteral("0003"));

        const QByteArray fromScreen = screenSaveAs(tempPath(QStringLiteral(".csv")));
        QVERIFY(m_presenter->texts().isEmpty());
        const QString cliCsv = tempPath(QStringLiteral(".csv"));
        const CliResult cli = runReportFile(written, cliCsv);
        QVERIFY2(cli.status == 0, qPrintable(cli.err + QString::fromUtf8(text)));
        QCOMPARE(readAll(cliCsv), fromScreen);
        QCOMPARE(csvRows(fromScreen), 5); // the five picked, not F001
    }

    // Input beyond reason is refused at once, naming the line, and a message never quotes a
    // whole long value nor stops at a NUL.
    void oversizedInput_data()
    {
        QTest::addColumn<QByteArray>("criteria"); // "DEVZERO": the endless device
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");

        QTest::newRow("endless device") << QByteArray("DEVZERO") << 2 << QStringLiteral("Linha 1:");
        QTest::newRow("file over 1 MiB")
            << QByteArray("filial=1\n" + QByteArray(1100 * 1024, '#')) << 2
            << QStringLiteral("Linha 2: o arquivo de critérios passa de 1024 KiB.");
        QTest::newRow("line over 64 KiB")
            << QByteArray("filial=1\nfornecedor.chave=" + QByteArray(70 * 1024, 'k') + "\n") << 2
            << QStringLiteral("Linha 2: a linha passa de 64 KiB.");
        QTest::newRow("long choice value")
            << QByteArray("filial=1\ncliente=" + QByteArray(60 * 1024, 'v') + "\n") << 2
            << QStringLiteral("(61440 caracteres)");
        QTest::newRow("long key") << QByteArray("filial=1\nfornecedor=Lista\nfornecedor.chave=" +
                                                QByteArray(60 * 1024, 'k') + "\n")
                                  << 3 << QStringLiteral("(61440 caracteres)' não encontrada.");
        QTest::newRow("NUL inside a key")
            << QByteArray("filial=1\nfornecedor=Lista\nfornecedor.chave=A\0B\n", 47) << 3
            << QStringLiteral("chave 'A\\0B' não encontrada.");
    }
    void oversizedInput()
    {
        QFETCH(QByteArray, criteria);
        QFETCH(int, status);
        QFETCH(QString, message);
        const QString out = tempPath(QStringLiteral(".csv"));
        const CliResult cli = criteria == "DEVZERO"
                                  ? runReportFile(QStringLiteral("/dev/zero"), out)
                                  : runReport(criteria, out);
        QCOMPARE(cli.status, status);
        QVERIFY2(cli.err.contains(message), qPrintable(cli.err.left(2000)));
        QVERIFY2(cli.err.size() < 1000, qPrintable(cli.err.left(2000)));
        QVERIFY(!QFile::exists(out));
    }

    // Values the window's edits would take but the report cannot mean.
    void valuesTheFileRefuses_data()
    {
        QTest::addColumn<QByteArray>("criteria");
        QTest::addColumn<QString>("message");
        QTest::newRow("budget with letters")
            << QByteArray("filial=1\norcamento_de=abc\n")
            << QStringLiteral("Linha 2: o valor \"abc\" de \"orcamento_de\" deve ter só dígitos.");
        QTest::newRow("budget end with a blank")
            << QByteArray("filial=1\norcamento_de=1\norcamento_ate=1 2\n")
            << QStringLiteral("Linha 3: o valor \"1 2\" de \"orcamento_ate\"");
        QTest::newRow("date before 1900")
            << QByteArray("filial=1\ndata_de=30/12/1899\n")
            << QStringLiteral("Linha 2: a data \"30/12/1899\" de \"data_de\" é anterior a "
                              "01/01/1900.");
        QTest::newRow("end date before 1900")
            << QByteArray("filial=1\ndata_de=\ndata_ate=01/01/0001\n")
            << QStringLiteral("Linha 3: a data");
    }
    void valuesTheFileRefuses()
    {
        QFETCH(QByteArray, criteria);
        QFETCH(QString, message);
        const QString out = tempPath(QStringLiteral(".csv"));
        const CliResult cli = runReport(criteria, out);
        QCOMPARE(cli.status, 2);
        QVERIFY2(cli.err.contains(message), qPrintable(cli.err));
        QVERIFY(!QFile::exists(out));
    }

    // The window's budget edit still takes any text of its length.
    void budgetEditTakesAnyText()
    {
        openScreen();
        typeInto(QStringLiteral("medCDFilial"), QStringLiteral("1"));
        typeInto(QStringLiteral("medDeOrc"), QStringLiteral("abc"));
        QVERIFY(get<QLineEdit>(QStringLiteral("medDeOrc"))->text().contains(QStringLiteral("abc")));
    }

    // Exit statuses as the README has them, with or without a display.
    void exitStatuses_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<bool>("display");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message"); // in standard error, or standard output for 0

        for (const bool display : {true, false}) {
            const char *tag = display ? "offscreen" : "no display";
            QTest::addRow("--bogus, %s", tag) << QStringList{"--bogus"} << display << 2 << "bogus";
            QTest::addRow("--help, %s", tag) << QStringList{"--help"} << display << 0 << "--report";
            QTest::addRow("report run, --bogus, %s", tag)
                << QStringList{"--report", "KMB612", "--bogus"} << display << 2 << "bogus";
            QTest::addRow("missing --config, %s", tag)
                << QStringList{"--config", "/nonexistent/kmb.ini"} << display << 2
                << "/nonexistent/kmb.ini";
            QTest::addRow("report run, missing --config, %s", tag)
                << QStringList{"--report",   "KMB612", "--config", "/nonexistent/kmb.ini",
                               "--criteria", "CRIT",   "--out",    "x.csv"}
                << display << 2 << "/nonexistent/kmb.ini";
            QTest::addRow("report run, --config a folder, %s", tag)
                << QStringList{"--report",   "KMB612", "--config", "/tmp",
                               "--criteria", "CRIT",   "--out",    "x.csv"}
                << display << 2 << "\"/tmp\"";
        }
    }
    void exitStatuses()
    {
        QFETCH(QStringList, args);
        QFETCH(bool, display);
        QFETCH(int, status);
        QFETCH(QString, message);
        const QString crit = tempPath(QStringLiteral(".txt"));
        writeFile(crit, "filial=1\n");
        args.replaceInStrings(QStringLiteral("CRIT"), crit);
        args.replaceInStrings(QStringLiteral("x.csv"), tempPath(QStringLiteral(".csv")));
        const CliResult cli = runCli(args, display);
        QCOMPARE(cli.status, status);
        const QString text = status == 0 ? cli.out : cli.err;
        QVERIFY2(text.contains(message), qPrintable(cli.err + cli.out));
        if (status == 0)
            QCOMPARE(cli.err, QString());
    }
};

QTEST_MAIN(tst_Cli)
#include "tst_cli.moc"
