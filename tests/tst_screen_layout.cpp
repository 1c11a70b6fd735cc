// What the stored layout of the criteria screen guarantees and a person editing it in Designer
// could break: members, bindings, initial states, captions, tab order, creation order, the
// lookup queries and the message table.
#include "messages.h"
#include "screenfixture.h"

#include <QAbstractButton>

class tst_ScreenLayout : public QObject
{
    Q_OBJECT

    std::unique_ptr<ScreenFixture> fx;
    TfrmRelForn *form = nullptr;

    QWidget *widget(const QString &name)
    {
        auto *w = qobject_cast<QWidget *>(form->FindComponent(name));
        if (!w)
            qWarning("no widget %s", qPrintable(name));
        return w;
    }

    // The controls Tab visits from the given one, until it comes back or leaves the criteria.
    QStringList tabSequence(QWidget *start, int steps)
    {
        QStringList names;
        form->medCDFilial->setText(QStringLiteral("0001")); // leaving it must pass its check
        start->setFocus(Qt::TabFocusReason);
        QApplication::processEvents();
        for (int i = 0; i < steps; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QApplication::processEvents();
            QWidget *control = form->controlOf(QApplication::focusWidget());
            names << (control ? control->objectName() : QStringLiteral("?"));
        }
        fx->presenter.clear();
        return names;
    }

private slots:
    void init()
    {
        fx = std::make_unique<ScreenFixture>();
        form = fx->open();
    }
    void cleanup() { fx.reset(); }

    void membersFilledInDeclarationOrder()
    {
        const QStringList names = TfrmRelForn::memberNames();
        QCOMPARE(names.size(), 68);
        QCOMPARE(names.first(), QStringLiteral("Label1"));
        QCOMPARE(names.last(), QStringLiteral("qryProdutoCDPRODUTO"));
#define CHECK_MEMBER(Type, Name)                                                                   \
    QVERIFY2(form->Name &&static_cast<QObject *>(form->Name) == form->FindComponent(#Name), #Name);
        KMB61200_MEMBERS(CHECK_MEMBER)
#undef CHECK_MEMBER
        // The unnamed "até" label of the date group has no member but exists.
        const auto labels = form->GroupBox2->findChildren<QLabel *>();
        QCOMPARE(labels.size(), 2);
    }

    void everyHandlerBoundExactlyOnce()
    {
        const QStringList expected = {"cbbReportNamesChange",
                                      "cbbReportNamesExit",
                                      "medCDFilialChange",
                                      "medCDFilialExit",
                                      "BtnFilialBeforePesq",
                                      "BtnFilialAfterPesq",
                                      "medDeOrcChange",
                                      "medDeOrcExit",
                                      "medAteOrcExit",
                                      "depDeEventoExit",
                                      "depAteEventoExit",
                                      "rbtTdsFornClick",
                                      "rbtLisFornClick",
                                      "rbtLisFornKeyDown",
                                      "sbtFornecedorClick",
                                      "rbtTdsEventoClick",
                                      "rbtLisEventoClick",
                                      "rbtLisEventoKeyDown",
                                      "sbtEventoClick",
                                      "rbtLisServClick",
                                      "rbtLisServKeyDown",
                                      "rbtTdsServClick",
                                      "sbtServicoClick",
                                      "rbtTdsProdClick",
                                      "rbtLisProdClick",
                                      "sbtProdutoClick",
                                      "rbtTdsCliClick",
                                      "rbtLisCliClick",
                                      "rbtLisCliKeyDown",
                                      "sbtClienteClick",
                                      "qryPesqFornecedorNRINSJURFORNGetText",
                                      "qryPesqClienteNRINSJURCLIEGetText",
                                      "qryProdutoCDARVPRODGetText",
                                      "rpddPadraoBeforeGetQueryParams",
                                      "netRelFornBeforeConnect",
                                      "FormCreate",
                                      "FormClose",
                                      "sbtPreviewClick",
                                      "sbtPrintClick",
                                      "sbtSalvarComoClick"};
        QCOMPARE(expected.size(), 40);
        const auto counts = form->bindingCounts();
        QStringList bound = counts.keys();
        bound.sort();
        QStringList want = expected;
        want.sort();
        QCOMPARE(bound, want);
        for (auto it = counts.begin(); it != counts.end(); ++it)
            QVERIFY2(it.value() == 1, qPrintable(it.key()));
        // No key handler on the product "Lista" radio nor on any "Todos" radio.
        QVERIFY(!form->rbtLisProd->OnKeyDown);
        QVERIFY(!form->rbtTdsForn->OnKeyDown);
        QVERIFY(!form->medAteOrc->OnChange);
    }

    void initialStates_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<bool>("visible");
        QTest::addColumn<int>("checked"); // -1: not a radio button
        for (const char *n : {"rbtTdsForn", "rbtTdsEvento", "rbtTdsServ", "rbtTdsCli"})
            QTest::newRow(n) << n << true << true << 1;
        for (const char *n : {"rbtLisForn", "rbtLisEvento", "rbtLisServ", "rbtLisCli"})
            QTest::newRow(n) << n << true << true << 0;
        for (const char *n : {"sbtFornecedor", "sbtEvento", "sbtServico", "sbtCliente"})
            QTest::newRow(n) << n << false << true << -1;
        QTest::newRow("GroupBox7") << "GroupBox7" << false << false << -1;
        QTest::newRow("rbtTdsProd") << "rbtTdsProd" << false << false << 1;
        QTest::newRow("rbtLisProd") << "rbtLisProd" << false << false << 0;
        QTest::newRow("sbtProduto") << "sbtProduto" << false << false << -1;
        QTest::newRow("GroupBox4") << "GroupBox4" << true << true << -1;
        QTest::newRow("edtNmFilial") << "edtNmFilial" << false << true << -1;
        QTest::newRow("medCDFilial") << "medCDFilial" << true << true << -1;
    }
    void initialStates()
    {
        QFETCH(QString, name);
        QFETCH(bool, enabled);
        QFETCH(bool, visible);
        QFETCH(int, checked);
        QWidget *w = widget(name);
        QVERIFY(w);
        QCOMPARE(w->isEnabled(), enabled);
        QCOMPARE(w->isVisibleTo(form), visible);
        if (checked >= 0)
            QCOMPARE(qobject_cast<QAbstractButton *>(w)->isChecked(), bool(checked));
    }

    void captionsAndWindow()
    {
        QCOMPARE(form->windowTitle(), QStringLiteral("Relação de Fornecedores do Orçamento"));
        QCOMPARE(form->lblCodTela->text(), QStringLiteral("KMB61200"));
        QCOMPARE(form->lblCodRel->text(), QStringLiteral("KMB612"));
        QCOMPARE(form->size(), QSize(388, 364));
        QCOMPARE(form->minimumSize(), form->maximumSize()); // not resizable
        QCOMPARE(form->designedPosition(), QPoint(397, 261));
        const QList<std::pair<QString, QString>> titles = {
            {"GroupBox1", "Nr. Orçamento"},   {"GroupBox2", "Data do Evento"},
            {"GroupBox3", "Fornecedor"},      {"GroupBox5", "Tipo de Evento"},
            {"GroupBox6", "Tipo de Serviço"}, {"GroupBox7", "Produto"},
            {"GroupBox4", "Cliente"}};
        for (const auto &[name, title] : titles) {
            auto *box = qobject_cast<QGroupBox *>(widget(name));
            QCOMPARE(box->title(), title);
            QVERIFY2(box->font().bold(), qPrintable(name));
        }
        QCOMPARE(form->Label1->text(), QStringLiteral("Filial"));
        QVERIFY(form->Label1->font().bold());
        QVERIFY(form->lblde->font().bold()); // labels take the bold font of their group
        QVERIFY(form->rbtTdsForn->font().bold());
        QVERIFY(!form->medDeOrc->font().bold());
        QVERIFY(!form->depDeEvento->font().bold());
        QCOMPARE(form->rbtTdsForn->text(), QStringLiteral("Todos"));
        QCOMPARE(form->rbtLisForn->text(), QStringLiteral("Lista"));
        QCOMPARE(form->BtnFilial->toolTip(), QStringLiteral("Pesquisar"));
        QCOMPARE(form->BtnFilial->EmptyError(), QStringLiteral("Não há filial cadastrada."));
        QCOMPARE(form->netRelForn->ServerName(), QStringLiteral("KMB61200.rdmRelForn"));
        QVERIFY(!form->netRelForn->ThrowException());
        // Controls that never take the focus.
        for (QWidget *w :
             {(QWidget *)form->edtNmFilial, (QWidget *)form->BtnFilial,
              (QWidget *)form->sbtFornecedor, (QWidget *)form->sbtCliente,
              (QWidget *)form->sbtProduto, (QWidget *)form->sbtEvento, (QWidget *)form->sbtServico})
            QCOMPARE(w->focusPolicy(), Qt::NoFocus);
    }

    void tabOrder()
    {
        QCOMPARE(tabSequence(form->medCDFilial, 10),
                 QStringList({"medDeOrc", "medAteOrc", "depDeEvento", "depAteEvento", "rbtTdsForn",
                              "rbtTdsEvento", "rbtTdsServ", "rbtTdsCli", "cbbReportNames",
                              "medCDFilial"}));
        // The checked radio button is its group's tab stop.
        form->rbtLisServ->click();
        QCOMPARE(tabSequence(form->rbtTdsEvento, 1), QStringList{"rbtLisServ"});
        // Product layout: from the supplier group straight to the product group.
        form->cbbReportNames->setCurrentIndex(1);
        form->ValidaRel();
        QCOMPARE(tabSequence(form->rbtTdsForn, 2), QStringList({"rbtTdsProd", "cbbReportNames"}));
    }

    void creationOrder()
    {
        const QStringList order = form->creationOrder();
        const QStringList declared = {"Label1",
                                      "medCDFilial",
                                      "BtnFilial",
                                      "edtNmFilial",
                                      "GroupBox1",
                                      "lblde",
                                      "lblate",
                                      "medDeOrc",
                                      "medAteOrc",
                                      "GroupBox2",
                                      "Label2",
                                      "depDeEvento",
                                      "depAteEvento",
                                      "GroupBox3",
                                      "rbtTdsForn",
                                      "rbtLisForn",
                                      "sbtFornecedor",
                                      "GroupBox5",
                                      "rbtTdsEvento",
                                      "rbtLisEvento",
                                      "sbtEvento",
                                      "GroupBox6",
                                      "rbtLisServ",
                                      "rbtTdsServ",
                                      "sbtServico",
                                      "GroupBox7",
                                      "rbtTdsProd",
                                      "rbtLisProd",
                                      "sbtProduto",
                                      "GroupBox4",
                                      "rbtTdsCli",
                                      "rbtLisCli",
                                      "sbtCliente",
                                      "netRelForn",
                                      "qryPesqFilial",
                                      "dtsFilial__",
                                      "qryVDFilial",
                                      "qryPesqEvento",
                                      "qryPesqServico",
                                      "dtsEvento__",
                                      "dtsServico__",
                                      "dtsFornecedor__",
                                      "qryPesqFornecedor",
                                      "qryPesqCliente",
                                      "dtsCliente__",
                                      "dtsProduto",
                                      "qryProduto"};
        QStringList seen;
        for (const QString &n : order)
            if (declared.contains(n))
                seen << n;
        QCOMPARE(seen, declared);
        // The base screen's components come first.
        QVERIFY(order.indexOf("msgPadrao") < order.indexOf("Label1"));
        QVERIFY(order.indexOf("cbbReportNames") < order.indexOf("Label1"));
        // GroupBox4 lies above GroupBox7.
        const auto kids = form->grbDadosRel->children();
        QVERIFY(kids.indexOf(form->GroupBox4) > kids.indexOf(form->GroupBox7));
    }

    void editLimits()
    {
        form->medCDFilial->setFocus();
        QTest::keyClicks(form->medCDFilial, QStringLiteral("ab1%cdef"));
        QCOMPARE(form->medCDFilial->text(), QStringLiteral("AB1C"));
        form->medDeOrc->setFocus();
        QTest::keyClicks(form->medDeOrc, QStringLiteral("12345678901234"));
        QCOMPARE(form->medDeOrc->text(), QStringLiteral("1234567890"));
        form->medDeOrc->clear();
        fx->presenter.clear();
    }

    void queriesAndFields_data()
    {
        QTest::addColumn<QString>("query");
        QTest::addColumn<QStringList>("fields"); // FieldName in order
        QTest::addColumn<QStringList>("labels"); // headings of the visible fields
        QTest::addColumn<QString>("dataSource");
        QTest::newRow("qryVDFilial") << "qryVDFilial" << QStringList{"CDFILIAL", "NMFILIAL"}
                                     << QStringList{"CDFILIAL", "NMFILIAL"} << "";
        QTest::newRow("qryPesqFilial") << "qryPesqFilial" << QStringList{"CDFILIAL", "NMFILIAL"}
                                       << QStringList{"Código", "Nome"} << "dtsFilial__";
        QTest::newRow("qryPesqEvento")
            << "qryPesqEvento" << QStringList{"CDTIPOEVENTO", "NMTIPOEVENTO"}
            << QStringList{"Código", "Nome"} << "dtsEvento__";
        QTest::newRow("qryPesqServico")
            << "qryPesqServico" << QStringList{"CDTPSERVEVEN", "NMTPSERVEVEN"}
            << QStringList{"Códgigo", "Nome"} << "dtsServico__";
        QTest::newRow("qryPesqFornecedor")
            << "qryPesqFornecedor"
            << QStringList{"CDFORNECED", "IDTPIJURFORN", "NRINSJURFORN", "NMRAZSOCFORN",
                           "NMFANTFORN"}
            << QStringList{"Nº Inscrição", "Razão Social", "Nome Fantasia"} << "dtsFornecedor__";
        QTest::newRow("qryPesqCliente")
            << "qryPesqCliente"
            << QStringList{"CDCLIENTE", "IDTPIJURCLIE", "NRINSJURCLIE", "NMRAZSOCCLIE",
                           "NMFANTCLIE"}
            << QStringList{"Nº Incrição", "Razão Social", "Nome Fantasia"} << "dtsCliente__";
        QTest::newRow("qryProduto")
            << "qryProduto" << QStringList{"CDARVPROD", "NMPRODUTO", "CDPRODUTO"}
            << QStringList{"Código", "Nome"} << "dtsProduto";
    }
    void queriesAndFields()
    {
        QFETCH(QString, query);
        QFETCH(QStringList, fields);
        QFETCH(QStringList, labels);
        QFETCH(QString, dataSource);
        auto *q = form->component<TADOIBQuery>(query);
        QVERIFY(q);
        QVERIFY(!q->Active()); // closed at creation
        QStringList names, visible;
        for (TField *f : q->Fields()) {
            names << f->FieldName();
            if (f->Visible())
                visible << f->DisplayLabel();
        }
        QCOMPARE(names, fields);
        QCOMPARE(visible, labels);
        QCOMPARE(q->dataSourceName(), dataSource);
        if (!dataSource.isEmpty()) {
            auto *ds = form->component<TDataSource>(dataSource);
            QCOMPARE(ds->DataSet(), q->Query());
        }
        QCOMPARE(q->ADOConnection(), QStringLiteral("dtmDBGeral.adcGeral"));
        QCOMPARE(form->qryPesqFilialNMFILIAL->DisplayWidth(), 40);
    }

    void messageTable()
    {
        const QStringList entries = form->msgPadrao->Messages();
        QCOMPARE(entries.size(), 25);
        QCOMPARE(entries.first().section('|', 0, 0), QStringLiteral("Arq_Rel_Err"));
        QCOMPARE(entries.last().section('|', 0, 0), QStringLiteral("PRODUTO"));
        QCOMPARE(entries.at(15).section('|', 0, 0), QStringLiteral("FORN_N_INF"));
        QCOMPARE(form->msgPadrao->Msg(QStringLiteral("FOR_INF")),
                 QStringLiteral("Fornecedor deve ser informado"));
        QCOMPARE(form->msgPadrao->Msg(QStringLiteral("NRINI>NRFIN")),
                 QStringLiteral("Intervalo inicial do orçamento deve ser menor ou igual a "
                                "intervalo final do orçamento."));
        try {
            form->msgPadrao->Msg(QStringLiteral("NAO_EXISTE"));
            QFAIL("an unknown key must raise");
        } catch (const EAppError &e) {
            QVERIFY(e.message().contains(QStringLiteral("NAO_EXISTE")));
        }
    }
};

QTEST_MAIN(tst_ScreenLayout)
#include "tst_screen_layout.moc"
