// The report parameters the screen hands to the report, and the layout switch.
#include "reportdesigner.h"
#include "screenfixture.h"

namespace {

const QStringList kAll = {
    "P_CDFILIAL",   "P_TNRORCAEVENTO", "P_NRORCAEVENTOINI", "P_NRORCAEVENTOFIN", "P_TDTEVENTO",
    "P_DTINICIAL",  "P_DTFINAL",       "P_TCLIENTE",        "P_CLIENTE",         "P_TTIPOEVENTO",
    "P_TIPOEVENTO", "P_TCDTPSERVEVEN", "P_CDTPSERVEVEN",    "P_TCDFORNECED",     "P_CDFORNECED",
    "P_TPRODUTO",   "P_CDPRODUTO"};

using Values = QMap<QString, QVariant>;

} // namespace

class tst_ScreenParams : public QObject
{
    Q_OBJECT

    std::unique_ptr<ScreenFixture> fx;
    TfrmRelForn *form = nullptr;

    // Runs the bound handler over a collection declaring the given names.
    Values bind(const QStringList &declared, bool *flagOut = nullptr)
    {
        TParams params;
        for (const QString &n : declared)
            params.Add(n);
        bool flag = true;
        form->rpddPadrao->BeforeGetQueryParams(&params, flag);
        if (flagOut)
            *flagOut = flag;
        Values v;
        for (int i = 0; i < params.Count(); ++i) {
            TParam *p = params.at(i);
            if (p->isAssigned())
                v.insert(p->Name(), p->DataType() == TFieldType::ftDateTime
                                        ? QVariant(p->AsDateTime())
                                        : p->AsVariant());
        }
        return v;
    }

private slots:
    void init()
    {
        fx = std::make_unique<ScreenFixture>();
        form = fx->open();
    }
    void cleanup()
    {
        fx.reset();
        LisCli.clear();
        LisServ.clear();
        LisForn.clear();
        LisEvento.clear();
        LisProd.clear();
    }

    void criteriaStates_data()
    {
        QTest::addColumn<QString>("de");
        QTest::addColumn<QString>("ate");
        QTest::addColumn<QString>("dataDe");
        QTest::addColumn<QString>("dataAte");
        QTest::addColumn<QStringList>("listas");
        QTest::addColumn<Values>("expected");
        const Values allRows = {
            {"P_CDFILIAL", "0001"},    {"P_TNRORCAEVENTO", "T"}, {"P_NRORCAEVENTOINI", ""},
            {"P_NRORCAEVENTOFIN", ""}, {"P_TDTEVENTO", "T"},     {"P_DTINICIAL", 0.0},
            {"P_DTFINAL", 0.0},        {"P_TCLIENTE", "T"},      {"P_CLIENTE", ""},
            {"P_TTIPOEVENTO", "T"},    {"P_TIPOEVENTO", ""},     {"P_TCDTPSERVEVEN", "T"},
            {"P_CDTPSERVEVEN", ""},    {"P_TCDFORNECED", "T"},   {"P_CDFORNECED", ""},
            {"P_TPRODUTO", "T"},       {"P_CDPRODUTO", ""}};
        QTest::newRow("everything empty, all Todos") << ""
                                                     << ""
                                                     << ""
                                                     << "" << QStringList{} << allRows;

        Values both = allRows;
        both["P_TNRORCAEVENTO"] = "";
        both["P_NRORCAEVENTOINI"] = "0000000001";
        both["P_NRORCAEVENTOFIN"] = "0000000009";
        both["P_TDTEVENTO"] = "";
        both["P_DTINICIAL"] = 46023.0; // 01/01/2026
        both["P_DTFINAL"] = 46053.0;   // 31/01/2026
        QTest::newRow("both ranges filled") << "0000000001"
                                            << "0000000009"
                                            << "01/01/2026"
                                            << "31/01/2026" << QStringList{} << both;

        Values oneSide = allRows;
        oneSide["P_TNRORCAEVENTO"] = "";
        oneSide["P_NRORCAEVENTOINI"] = "0000000004";
        oneSide["P_NRORCAEVENTOFIN"] = "";
        oneSide["P_TDTEVENTO"] = "";
        oneSide["P_DTINICIAL"] = 0.0; // an empty date edit gives 0
        oneSide["P_DTFINAL"] = 46053.0;
        QTest::newRow("one side of each range") << "0000000004"
                                                << ""
                                                << ""
                                                << "31/01/2026" << QStringList{} << oneSide;

        Values lists = allRows;
        lists["P_TCLIENTE"] = "";
        lists["P_CLIENTE"] = "[\"C1\"]";
        lists["P_TTIPOEVENTO"] = "[\"E1\",\"E2\"]"; // the all-flag carries the list
        lists["P_TIPOEVENTO"] = "[\"E1\",\"E2\"]";
        lists["P_TCDTPSERVEVEN"] = "[\"S1\"]";
        lists["P_CDTPSERVEVEN"] = "[\"S1\"]";
        lists["P_TCDFORNECED"] = "";
        lists["P_CDFORNECED"] = "[\"F,1\"]";
        QTest::newRow("Lista everywhere but products")
            << ""
            << ""
            << ""
            << "" << QStringList{"rbtLisCli", "rbtLisEvento", "rbtLisServ", "rbtLisForn"} << lists;
    }
    void criteriaStates()
    {
        QFETCH(QString, de);
        QFETCH(QString, ate);
        QFETCH(QString, dataDe);
        QFETCH(QString, dataAte);
        QFETCH(QStringList, listas);
        QFETCH(Values, expected);
        LisCli = QStringLiteral("[\"C1\"]");
        LisEvento = QStringLiteral("[\"E1\",\"E2\"]");
        LisServ = QStringLiteral("[\"S1\"]");
        LisForn = QStringLiteral("[\"F,1\"]");
        LisProd = QStringLiteral("[\"P1\"]");
        form->medCDFilial->setText(QStringLiteral("0001"));
        form->medDeOrc->setText(de);
        form->medAteOrc->setText(ate);
        form->depDeEvento->setText(dataDe);
        form->depAteEvento->setText(dataAte);
        for (const QString &r : listas)
            form->component<TRadioButton>(r)->click();
        bool flag = false;
        const Values got = bind(kAll, &flag);
        QCOMPARE(got.keys(), expected.keys());
        for (auto it = expected.begin(); it != expected.end(); ++it)
            QVERIFY2(got.value(it.key()) == it.value(),
                     qPrintable(QStringLiteral("%1: %2 != %3")
                                    .arg(it.key(), got.value(it.key()).toString(),
                                         it.value().toString())));
        QVERIFY(flag); // the runner's flag is left as it came
    }

    void settersLeaveTheirTypes()
    {
        TParams params;
        for (const QString &n : kAll)
            params.Add(n);
        bool flag = true;
        form->rpddPadrao->BeforeGetQueryParams(&params, flag);
        QCOMPARE(params.ParamByName("P_DTINICIAL")->DataType(), TFieldType::ftDateTime);
        QCOMPARE(params.ParamByName("P_TNRORCAEVENTO")->AsVariant().typeId(), QMetaType::QString);
        QCOMPARE(params.ParamByName("P_CDFILIAL")->DataType(), TFieldType::ftString);
        // An empty list is the empty text, never NULL.
        QVERIFY(!params.ParamByName("P_CDFORNECED")->AsVariant().isNull());
        QCOMPARE(params.ParamByName("P_CDFORNECED")->AsString(), QString(""));
    }

    void onlyDeclaredParametersAreSet_data()
    {
        QTest::addColumn<QStringList>("declared");
        QTest::newRow("none") << QStringList{};
        QTest::newRow("two") << QStringList{"P_CDFILIAL", "P_CDFORNECED"};
        QTest::newRow("lower case names") << QStringList{"p_cdfilial"};
    }
    void onlyDeclaredParametersAreSet()
    {
        QFETCH(QStringList, declared);
        form->medCDFilial->setText(QStringLiteral("0002"));
        const Values got = bind(declared);
        QCOMPARE(got.size(), declared.size());
    }

    void hiddenGroupsStillFeed()
    {
        LisCli = QStringLiteral("[\"C2\"]");
        form->rbtLisCli->click();
        form->cbbReportNames->setCurrentIndex(1);
        form->ValidaRel();
        const Values got = bind(kAll);
        QCOMPARE(got.value("P_TCLIENTE").toString(), QString());
        QCOMPARE(got.value("P_CLIENTE").toString(), LisCli);
        QCOMPARE(got.value("P_TPRODUTO").toString(), QStringLiteral("T"));
    }

    void layoutSwitch_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<bool>("product");
        QTest::newRow("no selection") << -1 << false;
        QTest::newRow("index 0") << 0 << false;
        QTest::newRow("index 1") << 1 << true;
        QTest::newRow("index 2") << 2 << false;
    }
    void layoutSwitch()
    {
        QFETCH(int, index);
        QFETCH(bool, product);
        while (form->cbbReportNames->count() < 3)
            form->cbbReportNames->addItem(QStringLiteral("extra"));
        form->cbbReportNames->setCurrentIndex(index);
        form->ValidaRel();
        form->ValidaRel(); // idempotent
        QCOMPARE(form->GroupBox7->isVisibleTo(form), product);
        QCOMPARE(form->GroupBox7->isEnabled(), product);
        QCOMPARE(form->rbtTdsProd->isVisibleTo(form), product);
        QCOMPARE(form->rbtLisProd->isEnabled(), product);
        QCOMPARE(form->sbtProduto->isVisibleTo(form), product);
        QVERIFY(!form->sbtProduto->isEnabled()); // never enabled by the switch
        QCOMPARE(form->GroupBox4->isVisibleTo(form), !product);
        QCOMPARE(form->rbtLisCli->isEnabled(), !product);
        QCOMPARE(form->GroupBox5->isEnabled(), !product);
        QCOMPARE(form->rbtLisServ->isEnabled(), !product);
        QVERIFY(form->GroupBox5->isVisibleTo(form)); // greyed out, still on screen
        QVERIFY(form->GroupBox3->isEnabled());
    }

    void productButtonSequence()
    {
        form->cbbReportNames->setCurrentIndex(1);
        form->ValidaRel();
        form->rbtLisProd->click();
        QVERIFY(form->sbtProduto->isEnabled());
        form->cbbReportNames->setCurrentIndex(0);
        form->ValidaRel();
        QVERIFY(!form->sbtProduto->isEnabled());
        form->cbbReportNames->setCurrentIndex(1);
        form->ValidaRel();
        QVERIFY(form->sbtProduto->isVisibleTo(form));
        QVERIFY(!form->sbtProduto->isEnabled());
        QVERIFY(form->rbtLisProd->isChecked());
        // The client list button keeps its state through the switch.
        form->cbbReportNames->setCurrentIndex(0);
        form->ValidaRel();
        form->rbtLisCli->click();
        form->cbbReportNames->setCurrentIndex(1);
        form->ValidaRel();
        form->cbbReportNames->setCurrentIndex(0);
        form->ValidaRel();
        QVERIFY(form->sbtCliente->isEnabled());
    }

    void comboEventsRunTheSwitch()
    {
        QVERIFY(form->cbbReportNames->count() >= 2);
        QCOMPARE(form->cbbReportNames->currentIndex(), 0);
        form->cbbReportNames->setFocus();
        QApplication::processEvents();
        QTest::keyClick(form->cbbReportNames, Qt::Key_Down); // the user picks the next entry
        QCOMPARE(form->cbbReportNames->currentIndex(), 1);
        QVERIFY(form->GroupBox7->isVisibleTo(form));
        // Leaving the combo runs it again.
        form->cbbReportNames->setCurrentIndex(0);
        form->medCDFilial->setText(QStringLiteral("0001"));
        moveFocus(form->medCDFilial);
        QVERIFY(!form->GroupBox7->isVisibleTo(form));
    }
};

QTEST_MAIN(tst_ScreenParams)
#include "tst_screen_params.moc"
