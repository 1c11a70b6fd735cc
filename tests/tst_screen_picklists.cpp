// The five pick-list criteria: radio buttons, list buttons, F9, the pick-list strings and the
// display texts of the lookup fields.
#include "mask.h"
#include "pesquisalista.h"
#include "screenfixture.h"

#include <QAbstractItemModel>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QTimer>

namespace {

struct Instance
{
    const char *listRadio;
    const char *allRadio;
    const char *button;
    const char *query;
    const char *table;
    const char *title;
    const char *emptyText;
    QString *list;
};

const Instance kInstances[] = {
    {"rbtLisForn", "rbtTdsForn", "sbtFornecedor", "qryPesqFornecedor", "FORNECEDOR", "Fornecedor",
     "Fornecedor não cadastrado.", &LisForn},
    {"rbtLisCli", "rbtTdsCli", "sbtCliente", "qryPesqCliente", "CLIENTE", "Cliente",
     "Cliente não cadastrado.", &LisCli},
    {"rbtLisEvento", "rbtTdsEvento", "sbtEvento", "qryPesqEvento", "TIPOEVENTO", "Tipo de Evento",
     "Tipo de evento não cadastrado.", &LisEvento},
    {"rbtLisServ", "rbtTdsServ", "sbtServico", "qryPesqServico", "TIPOSERVEVEN", "Tipo de Serviço",
     "Tipo de serviço não cadastrado.", &LisServ},
    {"rbtLisProd", "rbtTdsProd", "sbtProduto", "qryProduto", "PRODUTO", "Produto",
     "Produto deve ser informado.", &LisProd},
};

// What the pick list showed when the test answered it.
struct Seen
{
    QString title;
    QStringList headings;
    QStringList firstColumn;
    int checked = 0;
};

// Answers the next pick list: checks the given rows (or none) and presses OK, or cancels.
void answerPickList(Seen *seen, QList<int> rows, bool ok)
{
    auto *timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, seen, rows, ok] {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            auto *dialog = qobject_cast<QDialog *>(w);
            if (!dialog || !dialog->isVisible() ||
                dialog->objectName() != QLatin1String("PesquisaListaDialog"))
                continue;
            timer->stop();
            timer->deleteLater();
            auto *view = dialog->findChild<QTableView *>(QStringLiteral("resultView"));
            QAbstractItemModel *model = view->model();
            seen->title = dialog->windowTitle();
            for (int c = 0; c < model->columnCount(); ++c)
                seen->headings << model->headerData(c, Qt::Horizontal).toString();
            for (int r = 0; r < model->rowCount(); ++r) {
                seen->firstColumn << model->index(r, 0).data().toString();
                if (model->index(r, 0).data(Qt::CheckStateRole).toInt() == Qt::Checked)
                    ++seen->checked;
            }
            for (int r : rows)
                model->setData(model->index(r, 0), Qt::Checked, Qt::CheckStateRole);
            dialog
                ->findChild<QPushButton *>(ok ? QStringLiteral("okButton")
                                              : QStringLiteral("cancelButton"))
                ->click();
            return;
        }
    });
    timer->start();
}

} // namespace

class tst_ScreenPickLists : public QObject
{
    Q_OBJECT

    std::unique_ptr<ScreenFixture> fx;
    TfrmRelForn *form = nullptr;

    const Instance &instance(int i) { return kInstances[i]; }
    template <class T>
    T *get(const char *name)
    {
        return form->component<T>(QString::fromLatin1(name));
    }
    QString focusName()
    {
        QWidget *c = form->controlOf(QApplication::focusWidget());
        return c ? c->objectName() : QString();
    }
    void showProducts()
    {
        form->cbbReportNames->setCurrentIndex(1);
        form->ValidaRel();
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
        for (const Instance &i : kInstances)
            i.list->clear();
    }

    void instances_data()
    {
        QTest::addColumn<int>("index");
        for (int i = 0; i < 5; ++i)
            QTest::newRow(kInstances[i].title) << i;
    }

    void radiosSwitchTheListButtonOnly_data() { instances_data(); }
    void radiosSwitchTheListButtonOnly()
    {
        QFETCH(int, index);
        const Instance &in = instance(index);
        if (index == 4)
            showProducts();
        *in.list = QStringLiteral("[\"X\"]");
        get<TRadioButton>(in.listRadio)->click();
        QVERIFY(get<TButtonFlat>(in.button)->isEnabled());
        get<TRadioButton>(in.allRadio)->click();
        QVERIFY(!get<TButtonFlat>(in.button)->isEnabled());
        QCOMPARE(*in.list, QStringLiteral("[\"X\"]")); // "Todos" keeps the pick
        QCOMPARE(fx->presenter.entries.size(), 0);
    }

    void listButtonPicksAndCancelKeepsTheString_data() { instances_data(); }
    void listButtonPicksAndCancelKeepsTheString()
    {
        QFETCH(int, index);
        const Instance &in = instance(index);
        if (index == 4)
            showProducts();
        get<TRadioButton>(in.listRadio)->click();
        Seen seen;
        answerPickList(&seen, {0}, true);
        get<TButtonFlat>(in.button)->click();
        QCOMPARE(seen.title, QString::fromUtf8(in.title));
        QCOMPARE(fx->presenter.entries.size(), 0);
        const QStringList keys = pickListKeys(*in.list);
        QCOMPARE(keys.size(), 1);
        // The next pick list gets the earlier pick, and Cancel leaves the string as it was.
        const QString before = *in.list;
        Seen again;
        answerPickList(&again, {1}, false);
        get<TButtonFlat>(in.button)->click();
        QCOMPARE(again.checked, 1);
        QCOMPARE(*in.list, before);
    }

    void pickedKeysAreTheKeyFields()
    {
        get<TRadioButton>("rbtLisForn")->click();
        Seen seen;
        answerPickList(&seen, {0, 1}, true);
        form->sbtFornecedor->click();
        QCOMPARE(pickListKeys(LisForn), QStringList({"F001", "F002"}));
        // The shown columns: formatted registration number, company name, trade name.
        QCOMPARE(seen.headings.mid(seen.headings.size() - 3),
                 QStringList({"Nº Inscrição", "Razão Social", "Nome Fantasia"}));
        showProducts();
        form->rbtLisProd->click();
        Seen products;
        answerPickList(&products, {1}, true);
        form->sbtProduto->click();
        QCOMPARE(pickListKeys(LisProd), QStringList{"P2"}); // CDPRODUTO, not the tree code
    }

    // The list button names what was picked (ten names, then "e mais N") and a count beside it
    // shows while "Lista" is checked; the report's criteria line names five.
    void pickIsShownBesideTheButton()
    {
        for (int i = 4; i <= 15; ++i)
            fx->db->exec(QStringLiteral("INSERT INTO FORNECEDOR (CDFORNECED, IDTPIJURFORN, "
                                        "NRINSJURFORN, NMRAZSOCFORN, NMFANTFORN) VALUES "
                                        "('F%1', 'X', '', 'Fornecedor %1', 'F%1')")
                             .arg(i, 3, 10, QLatin1Char('0')));
        auto *count = form->findChild<QLabel *>(QStringLiteral("sbtFornecedorCount"));
        QVERIFY(count);
        QVERIFY(!count->isVisible());
        form->rbtLisForn->click();
        Seen seen;
        answerPickList(&seen, {0, 1}, true);
        form->sbtFornecedor->click();
        QVERIFY(count->isVisible());
        QCOMPARE(count->text(), QStringLiteral("2 selecionados"));
        QCOMPARE(form->sbtFornecedor->toolTip(),
                 QStringLiteral("Selecionados:\nBuffet Alegria Ltda\nJosé da Silva"));
        QCOMPARE(pickSummaryText(LisForn, 5, QStringLiteral(", ")),
                 QStringLiteral("Buffet Alegria Ltda, José da Silva"));
        // Beside the button, whole inside the group, clear of the button and the radio caption.
        QVERIFY(count->parentWidget()->rect().contains(count->geometry()));
        QVERIFY(!count->geometry().intersects(form->sbtFornecedor->geometry()));
        QVERIFY(count->geometry().left() >=
                form->rbtLisForn->geometry().left() + form->rbtLisForn->sizeHint().width());
        form->rbtTdsForn->click();
        QVERIFY(!count->isVisible());
        form->rbtLisForn->click();
        QVERIFY(count->isVisible());

        Seen all;
        QList<int> rows;
        for (int r = 0; r < 15; ++r)
            rows << r;
        answerPickList(&all, rows, true);
        form->sbtFornecedor->click();
        QCOMPARE(count->text(), QStringLiteral("15 selecionados"));
        const QStringList lines = form->sbtFornecedor->toolTip().split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 12); // the heading, ten names, the rest
        QCOMPARE(lines.at(1), QStringLiteral("Buffet Alegria Ltda"));
        QCOMPARE(lines.last(), QStringLiteral("e mais 5"));
        QCOMPARE(pickSummaryText(LisForn, 5, QStringLiteral(", ")).count(QStringLiteral(", ")), 5);
        QVERIFY(pickSummaryText(LisForn, 5, QStringLiteral(", "))
                    .endsWith(QStringLiteral(", e mais 10")));
        // A pick-list string no pick list of this run wrote is only counted.
        QCOMPARE(pickSummaryText(QStringLiteral("[\"A\",\"B\"]"), 5, QStringLiteral(", ")),
                 QStringLiteral("2 selecionados"));
    }

    void emptyLookupShowsItsTextAndFocusesListRadio_data() { instances_data(); }
    void emptyLookupShowsItsTextAndFocusesListRadio()
    {
        QFETCH(int, index);
        const Instance &in = instance(index);
        if (index == 4)
            showProducts();
        fx->db->exec(QStringLiteral("DELETE FROM %1").arg(QLatin1String(in.table)));
        *in.list = QStringLiteral("[\"antigo\"]");
        get<TRadioButton>(in.listRadio)->click();
        form->medDeOrc->setFocus();
        QApplication::processEvents();
        get<TButtonFlat>(in.button)->click();
        QCOMPARE(fx->presenter.texts(), QStringList{QString::fromUtf8(in.emptyText)});
        QTRY_COMPARE(focusName(), QString::fromLatin1(in.listRadio));
        QCOMPARE(*in.list, QStringLiteral("[\"antigo\"]"));
    }

    void f9OpensThePickList_data()
    {
        QTest::addColumn<QString>("radio");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<bool>("opens");
        for (const char *r : {"rbtLisForn", "rbtLisCli", "rbtLisEvento", "rbtLisServ"}) {
            QTest::addRow("%s F9", r) << r << int(Qt::NoModifier) << true;
            QTest::addRow("%s Shift+F9", r) << r << int(Qt::ShiftModifier) << true;
            QTest::addRow("%s Ctrl+F9", r) << r << int(Qt::ControlModifier) << true;
        }
        QTest::newRow("Todos radio") << "rbtTdsForn" << int(Qt::NoModifier) << false;
        QTest::newRow("product Lista radio") << "rbtLisProd" << int(Qt::NoModifier) << false;
    }
    void f9OpensThePickList()
    {
        QFETCH(QString, radio);
        QFETCH(int, modifiers);
        QFETCH(bool, opens);
        if (radio == QLatin1String("rbtLisProd"))
            showProducts();
        auto *button = form->component<TRadioButton>(radio);
        button->click();
        button->setFocus();
        QApplication::processEvents();
        Seen seen;
        answerPickList(&seen, {}, false);
        QTest::keyClick(button, Qt::Key_F9, Qt::KeyboardModifiers(modifiers));
        QApplication::processEvents();
        QCOMPARE(!seen.title.isEmpty(), opens);
        if (!opens) {
            // Clean up the answering timer by opening and cancelling one list.
            form->rbtLisForn->click();
            form->sbtFornecedor->click();
        }
    }

    void productListIsReadAfreshAtEachClick()
    {
        showProducts();
        form->rbtLisProd->click();
        Seen first;
        answerPickList(&first, {}, false);
        form->sbtProduto->click();
        fx->db->exec(QStringLiteral("INSERT INTO PRODUTO (CDARVPROD, NMPRODUTO, CDPRODUTO) VALUES "
                                    "('102001', 'Bebidas', 'P3')"));
        Seen second;
        answerPickList(&second, {}, false);
        form->sbtProduto->click();
        QCOMPARE(second.firstColumn.size(), first.firstColumn.size() + 1);
        QVERIFY(second.firstColumn.contains(QStringLiteral("1.02.001")));
    }

    void displayTexts()
    {
        form->qryPesqFornecedor->Open();
        QStringList shown;
        for (form->qryPesqFornecedor->First(); !form->qryPesqFornecedor->Eof();
             form->qryPesqFornecedor->Next())
            shown << form->qryPesqFornecedorNRINSJURFORN->DisplayText();
        // The mask follows each row's person type; an empty number still goes through it.
        QCOMPARE(shown.size(), 3);
        QCOMPARE(shown.at(0), QStringLiteral("11.222.333/0001-81"));
        QCOMPARE(shown.at(1), QStringLiteral("529.982.247-25"));
        QCOMPARE(shown.at(2), FormatMaskText(PictPess(QStringLiteral("X")), QString()));
        form->qryPesqCliente->Open();
        QCOMPARE(form->qryPesqClienteNRINSJURCLIE->DisplayText(), QStringLiteral("111.444.777-35"));
        form->qryProduto->Open();
        QCOMPARE(form->qryProdutoCDARVPROD->DisplayText(), QStringLiteral("1.01.001"));
        QCOMPARE(form->qryProdutoCDARVPROD->EditMask(), DBPict(TPictType::ptArvProd));
    }

    void pickSurvivesTodosAndLayoutChanges()
    {
        form->rbtLisCli->click();
        Seen seen;
        answerPickList(&seen, {1}, true);
        form->sbtCliente->click();
        const QString picked = LisCli;
        QVERIFY(!picked.isEmpty());
        form->rbtTdsCli->click();
        showProducts();
        form->cbbReportNames->setCurrentIndex(0);
        form->ValidaRel();
        form->rbtLisCli->click();
        QCOMPARE(LisCli, picked);
        Seen next;
        answerPickList(&next, {}, false);
        form->sbtCliente->click();
        QCOMPARE(next.checked, 1);
    }
};

QTEST_MAIN(tst_ScreenPickLists)
#include "tst_screen_picklists.moc"
