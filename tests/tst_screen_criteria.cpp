// Criteria entry and the checks that guard preview, print and save-as.
#include "screenfixture.h"

#include <QCalendarWidget>
#include <QSqlQuery>
#include <QTableView>

using Action = TfrmDadosGerRel::ReportAction;

class tst_ScreenCriteria : public QObject
{
    Q_OBJECT

    std::unique_ptr<ScreenFixture> fx;
    TfrmRelForn *form = nullptr;
    QList<Action> ran;

    // Presses an action button as a user would (the buttons take no focus).
    void press(Action action)
    {
        TButtonFlat *button = action == Action::Preview ? form->sbtPreview
                              : action == Action::Print ? form->sbtPrint
                                                        : form->sbtSalvarComo;
        button->click();
        QApplication::processEvents();
    }
    void setBranch(const QString &code) { form->medCDFilial->setText(code); }
    QString focusName()
    {
        QWidget *c = form->controlOf(QApplication::focusWidget());
        return c ? c->objectName() : QString();
    }

private slots:
    void init()
    {
        fx = std::make_unique<ScreenFixture>();
        form = fx->open();
        ran.clear();
        form->setReportRunner([this](Action a, int) { ran << a; });
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

    void emptyBranchRefusesEveryAction_data()
    {
        QTest::addColumn<int>("action");
        QTest::newRow("preview") << int(Action::Preview);
        QTest::newRow("print") << int(Action::Print);
        QTest::newRow("save as") << int(Action::SaveAs);
    }
    void emptyBranchRefusesEveryAction()
    {
        QFETCH(int, action);
        // Other criteria are wrong too: only the branch is reported.
        form->medAteOrc->setText(QStringLiteral("5"));
        form->medDeOrc->setFocus();
        QApplication::processEvents();
        press(Action(action));
        QCOMPARE(fx->presenter.texts(), QStringList{"Filial não informada."});
        QVERIFY(ran.isEmpty());
        // Message first, then the focus goes to the branch.
        QTRY_COMPARE(focusName(), QStringLiteral("medCDFilial"));
    }

    void validCriteriaRunTheBaseActionOnce_data() { emptyBranchRefusesEveryAction_data(); }
    void validCriteriaRunTheBaseActionOnce()
    {
        QFETCH(int, action);
        setBranch(QStringLiteral("1"));
        press(Action(action));
        QCOMPARE(fx->presenter.texts(), QStringList{});
        QCOMPARE(ran, QList<Action>{Action(action)});
        QCOMPARE(form->medCDFilial->text(), QStringLiteral("0001"));
        QCOMPARE(form->edtNmFilial->text(), QStringLiteral("Matriz São Paulo"));
    }

    void branchLookup_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("message");
        QTest::newRow("registered, normalised") << "1"
                                                << "0001"
                                                << "Matriz São Paulo"
                                                << "";
        QTest::newRow("letters in capitals") << "ab"
                                             << "00AB"
                                             << "Filial Santos"
                                             << "";
        // The normalised code replaces the typed one, which clears any name shown before.
        QTest::newRow("not registered") << "9"
                                        << "0009"
                                        << ""
                                        << "Filial não cadastrada.";
        QTest::newRow("empty") << ""
                               << ""
                               << "antigo"
                               << "Filial não informada.";
        QTest::newRow("quote rejected by the mask") << "'"
                                                    << ""
                                                    << "antigo"
                                                    << "Filial não informada.";
    }
    void branchLookup()
    {
        QFETCH(QString, typed);
        QFETCH(QString, code);
        QFETCH(QString, name);
        QFETCH(QString, message);
        form->medCDFilial->setFocus();
        QApplication::processEvents();
        QTest::keyClicks(form->medCDFilial, typed);
        form->edtNmFilial->setText(QStringLiteral("antigo"));
        QTest::keyClick(form->medCDFilial, Qt::Key_Tab); // leaving runs the branch check
        QApplication::processEvents();
        QCOMPARE(form->medCDFilial->text(), code);
        QCOMPARE(form->edtNmFilial->text(), name);
        if (message.isEmpty()) {
            QCOMPARE(fx->presenter.texts(), QStringList{});
            QTRY_COMPARE(focusName(), QStringLiteral("medDeOrc"));
        } else {
            QCOMPARE(fx->presenter.texts(), QStringList{message});
            // The message is shown before the focus comes back.
            QCOMPARE(fx->presenter.entries.first().focusName, QStringLiteral("medDeOrc"));
            QTRY_COMPARE(focusName(), QStringLiteral("medCDFilial"));
        }
    }

    void typingClearsTheNameAndSearchPickKeepsIt()
    {
        setBranch(QStringLiteral("0001"));
        form->Vd_Cdfilial();
        QCOMPARE(form->edtNmFilial->text(), QStringLiteral("Matriz São Paulo"));
        form->medCDFilial->setFocus();
        QTest::keyClick(form->medCDFilial, Qt::Key_Backspace);
        QCOMPARE(form->edtNmFilial->text(), QString());
        // After a pick the code is set first, then the name, which therefore stays.
        form->qryPesqFilial->Open();
        form->qryPesqFilial->Next();
        form->BtnFilialAfterPesq(form->BtnFilial);
        QCOMPARE(form->medCDFilial->text(), QStringLiteral("0002"));
        QCOMPARE(form->edtNmFilial->text(), QStringLiteral("Filial Campinas"));
        bool go = true;
        form->BtnFilialBeforePesq(form->BtnFilial, go);
        QVERIFY(go);
        QVERIFY(!form->qryPesqFilial->Active());
    }

    void databaseErrorInBranchLookup()
    {
        fx->db->exec(QStringLiteral("DROP TABLE FILIAL"));
        setBranch(QStringLiteral("1"));
        press(Action::Preview);
        QCOMPARE(fx->presenter.entries.size(), 1);
        QVERIFY(!fx->presenter.texts().first().isEmpty());
        QVERIFY(ran.isEmpty());
        QTRY_COMPARE(focusName(), QStringLiteral("medCDFilial"));
    }

    void validaCamposChecks_data()
    {
        QTest::addColumn<QString>("de");
        QTest::addColumn<QString>("ate");
        QTest::addColumn<QStringList>("lists"); // radio buttons set to "Lista" with nothing picked
        QTest::addColumn<QString>("focus");
        QTest::addColumn<QString>("message");
        const QStringList none;
        QTest::newRow("start greater") << "0000000020"
                                       << "0000000003" << none << "medDeOrc"
                                       << "Intervalo inicial do orçamento deve ser menor ou "
                                          "igual a intervalo final do orçamento.";
        QTest::newRow("texts 9 and 10") << "9"
                                        << "10" << none << "medDeOrc"
                                        << "Intervalo inicial do orçamento deve ser menor ou "
                                           "igual a intervalo final do orçamento.";
        QTest::newRow("equal texts") << "5"
                                     << "5" << none << ""
                                     << "";
        QTest::newRow("end only") << ""
                                  << "5" << none << "medDeOrc"
                                  << "Intervalo inicial deve ser informado.";
        QTest::newRow("start only") << "5"
                                    << "" << none << "medAteOrc"
                                    << "Intervalo final deve ser informado.";
        QTest::newRow("client list") << ""
                                     << "" << QStringList{"rbtLisCli"} << "rbtLisCli"
                                     << "Cliente deve ser informado.";
        QTest::newRow("service list") << ""
                                      << "" << QStringList{"rbtLisServ"} << "rbtLisServ"
                                      << "Tipo de serviço deve ser informado.";
        QTest::newRow("supplier list") << ""
                                       << "" << QStringList{"rbtLisForn"} << "rbtLisForn"
                                       << "Fornecedor deve ser informado";
        QTest::newRow("event list") << ""
                                    << "" << QStringList{"rbtLisEvento"} << "rbtLisEvento"
                                    << "Tipo de evento deve ser informado.";
        QTest::newRow("budget before lists") << ""
                                             << "5" << QStringList{"rbtLisCli"} << "medDeOrc"
                                             << "Intervalo inicial deve ser informado.";
        QTest::newRow("first list in check order")
            << ""
            << "" << QStringList{"rbtLisEvento", "rbtLisForn", "rbtLisServ"} << "rbtLisServ"
            << "Tipo de serviço deve ser informado.";
    }
    void validaCamposChecks()
    {
        QFETCH(QString, de);
        QFETCH(QString, ate);
        QFETCH(QStringList, lists);
        QFETCH(QString, focus);
        QFETCH(QString, message);
        setBranch(QStringLiteral("1"));
        form->medDeOrc->setText(de);
        form->medAteOrc->setText(ate); // after the start, which copies itself into the end
        for (const QString &radio : lists)
            form->component<TRadioButton>(radio)->click();
        form->medCDFilial->setFocus();
        QApplication::processEvents();
        fx->presenter.clear();
        press(Action::SaveAs);
        if (message.isEmpty()) {
            QCOMPARE(fx->presenter.texts(), QStringList{});
            QCOMPARE(ran.size(), 1);
            return;
        }
        QCOMPARE(fx->presenter.texts(), QStringList{message});
        // Focus first, then the message.
        QCOMPARE(fx->presenter.entries.first().focusName, focus);
        QVERIFY(ran.isEmpty());
    }

    void listCheckPassesWithAnEarlierPick()
    {
        setBranch(QStringLiteral("1"));
        form->rbtLisForn->click();
        LisForn = QStringLiteral("[\"F001\"]");
        form->rbtTdsForn->click();
        form->rbtLisForn->click();
        press(Action::Preview);
        QCOMPARE(fx->presenter.texts(), QStringList{});
        QCOMPARE(ran.size(), 1);
    }

    void listCheckInAHiddenGroupStillRefuses()
    {
        setBranch(QStringLiteral("1"));
        form->rbtLisCli->click();
        form->cbbReportNames->setCurrentIndex(1);
        form->ValidaRel(); // the client group is hidden now
        form->medDeOrc->setFocus();
        QApplication::processEvents();
        press(Action::Print);
        QCOMPARE(fx->presenter.texts(), QStringList{"Cliente deve ser informado."});
        QVERIFY(ran.isEmpty());
        QCOMPARE(focusName(), QStringLiteral("medDeOrc")); // the focus stays where it was
    }

    void budgetCopyAndNormalisation()
    {
        form->medDeOrc->setFocus();
        QTest::keyClicks(form->medDeOrc, QStringLiteral("12"));
        QCOMPARE(form->medAteOrc->text(), QStringLiteral("12")); // follows every keystroke
        QTest::keyClick(form->medDeOrc, Qt::Key_Tab);
        QApplication::processEvents();
        QCOMPARE(form->medDeOrc->text(), QStringLiteral("0000000012"));
        QCOMPARE(form->medAteOrc->text(), QStringLiteral("0000000012"));
        form->medAteOrc->clear();
        QTest::keyClicks(form->medAteOrc, QStringLiteral("123"));
        QTest::keyClick(form->medAteOrc, Qt::Key_Tab);
        QApplication::processEvents();
        QCOMPARE(form->medAteOrc->text(), QStringLiteral("0000000123"));
        // Emptying the start empties the end; an empty range stays empty after leaving.
        form->medDeOrc->setFocus();
        QApplication::processEvents();
        form->medDeOrc->clear();
        QCOMPARE(form->medAteOrc->text(), QString());
        QTest::keyClick(form->medDeOrc, Qt::Key_Tab);
        QApplication::processEvents();
        QCOMPARE(form->medDeOrc->text(), QString());
    }

    void unfinishedEditIsLeftBeforeTheChecks()
    {
        // Typed "20" in the start, left it (normalised), then "3" into the end and pressed
        // preview without leaving: the end is normalised first, and the range is refused.
        setBranch(QStringLiteral("1"));
        form->medDeOrc->setFocus();
        QTest::keyClicks(form->medDeOrc, QStringLiteral("20"));
        QTest::keyClick(form->medDeOrc, Qt::Key_Tab);
        QApplication::processEvents();
        form->medAteOrc->selectAll();
        QTest::keyClicks(form->medAteOrc, QStringLiteral("3"));
        fx->presenter.clear();
        press(Action::Preview);
        QCOMPARE(form->medAteOrc->text(), QStringLiteral("0000000003"));
        QCOMPARE(fx->presenter.texts(),
                 QStringList{"Intervalo inicial do orçamento deve ser menor ou igual a intervalo "
                             "final do orçamento."});
        QVERIFY(ran.isEmpty());
    }

    void dates_data()
    {
        QTest::addColumn<QString>("de");
        QTest::addColumn<QString>("ate");
        QTest::addColumn<QString>("focus");
        QTest::addColumn<QString>("message");
        QTest::newRow("equal") << "10/05/2026"
                               << "10/05/2026"
                               << ""
                               << "";
        QTest::newRow("end a day before") << "10/05/2026"
                                          << "09/05/2026"
                                          << "depDeEvento"
                                          << "Data inicial deve ser menor ou igual à final.";
        QTest::newRow("start only") << "10/05/2026"
                                    << ""
                                    << ""
                                    << "";
        QTest::newRow("end only") << ""
                                  << "09/05/2026"
                                  << ""
                                  << "";
        QTest::newRow("half-typed end") << "10/05/2026"
                                        << "31/02/2026"
                                        << "depAteEvento"
                                        << "Data inválida.";
    }
    void dates()
    {
        QFETCH(QString, de);
        QFETCH(QString, ate);
        QFETCH(QString, focus);
        QFETCH(QString, message);
        setBranch(QStringLiteral("1"));
        form->depDeEvento->setText(de);
        form->depAteEvento->setText(ate);
        form->medCDFilial->setFocus();
        QApplication::processEvents();
        fx->presenter.clear();
        press(Action::Preview);
        if (message.isEmpty()) {
            QCOMPARE(fx->presenter.texts(), QStringList{});
            QCOMPARE(ran.size(), 1);
            return;
        }
        QCOMPARE(fx->presenter.texts(), QStringList{message});
        QCOMPARE(fx->presenter.entries.first().focusName, focus);
        QVERIFY(ran.isEmpty());
    }

    void leavingStartDateOverwritesEnd()
    {
        form->depAteEvento->setText(QStringLiteral("20/12/2026"));
        form->depDeEvento->SetFocus();
        QApplication::processEvents();
        form->depDeEvento->setText(QStringLiteral("01/12/2026")); // changed during the visit
        moveFocus(form->depAteEvento->lineEdit());
        QCOMPARE(form->depAteEvento->Text(), QStringLiteral("01/12/2026"));
        // An invalid start is refused and nothing is copied.
        form->depAteEvento->setText(QStringLiteral("20/12/2026"));
        form->depDeEvento->SetFocus();
        QApplication::processEvents();
        form->depDeEvento->setText(QStringLiteral("32/12/2026"));
        fx->presenter.clear();
        moveFocus(form->medDeOrc);
        QCOMPARE(fx->presenter.texts(), QStringList{"Data inválida."});
        QCOMPARE(form->depAteEvento->Text(), QStringLiteral("20/12/2026"));
        QTRY_COMPARE(focusName(), QStringLiteral("depDeEvento"));
    }

    // Focus moves and typing as a user makes them, one step per entry:
    //   "set NAME TEXT"  text set from code before the visit (not a user change)
    //   "click NAME"     focus by the mouse, cursor at the start of the edit
    //   "tab", "backtab" the keys
    //   "type TEXT"      keys typed into the focused edit
    //   "clear"          the whole text selected and deleted
    //   "calendar KEY"   the calendar opened from the focused date edit, KEY pressed, Enter
    //   "preview"        the preview button
    // Then the texts of the four range edits, the focused control and its selected text, the
    // messages shown and whether the report ran.
    void focusMoves_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QStringList>("texts"); // medDeOrc medAteOrc depDeEvento depAteEvento
        QTest::addColumn<QString>("focus");
        QTest::addColumn<QString>("selected");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<bool>("ran");
        const QString blank = QStringLiteral("  /  /    ");
        const QString order = QStringLiteral("Data inicial deve ser menor ou igual à final.");

        QTest::newRow("action in a typed start date never copies it")
            << QStringList{"set medCDFilial 1", "click depAteEvento", "type 05042024",
                           "click depDeEvento", "type 10042024",      "preview"}
            << QStringList{"", "", "10/04/2024", "05/04/2024"} << "depDeEvento"
            << "" << QStringList{order} << false;
        QTest::newRow("passing through an unchanged start keeps the end")
            << QStringList{"click depDeEvento", "type 01012026",     "tab",
                           "type 31122026",     "click depDeEvento", "click medDeOrc"}
            << QStringList{"", "", "01/01/2026", "31/12/2026"} << "medDeOrc"
            << "" << QStringList{} << false;
        QTest::newRow("tabbing back through an unchanged start keeps the end")
            << QStringList{"set medDeOrc 0000000007",
                           "set depDeEvento 01/01/2026",
                           "set depAteEvento 31/12/2026",
                           "click depAteEvento",
                           "backtab",
                           "backtab"}
            << QStringList{"0000000007", "0000000007", "01/01/2026", "31/12/2026"} << "medAteOrc"
            << "0000000007" << QStringList{} << false;
        QTest::newRow("a changed start is copied and selected in the end")
            << QStringList{"set depAteEvento 31/12/2026", "click depDeEvento", "type 01012026",
                           "tab"}
            << QStringList{"", "", "01/01/2026", "01/01/2026"} << "depAteEvento"
            << "01/01/2026" << QStringList{} << false;
        QTest::newRow("typing after Tab replaces the copied end date")
            << QStringList{"click depDeEvento", "type 01012026", "tab", "type 20012026", "tab"}
            << QStringList{"", "", "01/01/2026", "20/01/2026"} << "rbtTdsForn"
            << "" << QStringList{} << false;
        QTest::newRow("a click into the end places the cursor")
            << QStringList{"click depDeEvento", "type 01012026", "click depAteEvento"}
            << QStringList{"", "", "01/01/2026", "01/01/2026"} << "depAteEvento"
            << "" << QStringList{} << false;
        QTest::newRow("a cleared start clears the end")
            << QStringList{"set depDeEvento 01/01/2026", "set depAteEvento 31/12/2026",
                           "click depDeEvento", "clear", "tab"}
            << QStringList{"", "", blank, blank} << "depAteEvento" << blank << QStringList{}
            << false;
        QTest::newRow("a calendar pick is a change")
            << QStringList{"set depDeEvento 10/03/2024", "set depAteEvento 31/03/2024",
                           "click depDeEvento", "calendar Right", "tab"}
            << QStringList{"", "", "11/03/2024", "11/03/2024"} << "depAteEvento"
            << "11/03/2024" << QStringList{} << false;
        QTest::newRow("retyping the same start is no change")
            << QStringList{"set depDeEvento 01/01/2026",
                           "set depAteEvento 31/12/2026",
                           "click depDeEvento",
                           "clear",
                           "type 010126",
                           "tab"}
            << QStringList{"", "", "01/01/2026", "31/12/2026"} << "depAteEvento"
            << "31/12/2026" << QStringList{} << false;
        QTest::newRow("an action ends the visit's change")
            << QStringList{"set medCDFilial 1", "set depAteEvento 30/04/2024",
                           "click depDeEvento", "type 10042024",
                           "preview",           "tab"}
            << QStringList{"", "", "10/04/2024", "30/04/2024"} << "depAteEvento"
            << "30/04/2024" << QStringList{} << true;
        QTest::newRow("a half-typed start is still refused by the action")
            << QStringList{"set medCDFilial 1", "click depDeEvento", "type 3102", "preview"}
            << QStringList{"", "", "31/02/    ", blank} << "depDeEvento"
            << "" << QStringList{"Data inválida."} << false;
        QTest::newRow("budget start normalised and selected in the end")
            << QStringList{"click medDeOrc", "type 12", "tab"}
            << QStringList{"0000000012", "0000000012", blank, blank} << "medAteOrc"
            << "0000000012" << QStringList{} << false;
        QTest::newRow("typing after Tab replaces the copied budget end")
            << QStringList{"click medDeOrc", "type 12", "tab", "type 20", "tab"}
            << QStringList{"0000000012", "0000000020", blank, blank} << "depDeEvento" << blank
            << QStringList{} << false;
        QTest::newRow("Shift+Tab selects the start budget")
            << QStringList{"set medDeOrc 0000000012", "click medAteOrc", "backtab"}
            << QStringList{"0000000012", "0000000012", blank, blank} << "medDeOrc"
            << "0000000012" << QStringList{} << false;
        QTest::newRow("action in a half-typed budget normalises it, no report")
            << QStringList{"set medCDFilial 1",
                           "set medDeOrc 0000000020",
                           "click medAteOrc",
                           "clear",
                           "type 3",
                           "preview"}
            << QStringList{"0000000020", "0000000003", blank, blank} << "medDeOrc"
            << "0000000020"
            << QStringList{"Intervalo inicial do orçamento deve ser menor ou igual a intervalo "
                           "final do orçamento."}
            << false;
        QTest::newRow("focus put back by a refusal selects the code")
            << QStringList{"click medCDFilial", "type 9", "tab"}
            << QStringList{"", "", blank, blank} << "medCDFilial"
            << "0009" << QStringList{"Filial não cadastrada."} << false;
    }
    void focusMoves()
    {
        QFETCH(QStringList, steps);
        QFETCH(QStringList, texts);
        QFETCH(QString, focus);
        QFETCH(QString, selected);
        QFETCH(QStringList, messages);
        QFETCH(bool, ran);
        auto settle = [] {
            for (int i = 0; i < 3; ++i)
                QApplication::processEvents();
        };
        auto edit = [this](const QString &name) -> QLineEdit * {
            QObject *c = form->FindComponent(name);
            if (auto *d = qobject_cast<TDateEditPlus *>(c))
                return d->lineEdit();
            return qobject_cast<QLineEdit *>(c);
        };
        for (const QString &step : steps) {
            const QString verb = step.section(QLatin1Char(' '), 0, 0);
            const QString arg = step.section(QLatin1Char(' '), 1);
            QWidget *focused = QApplication::focusWidget();
            if (verb == QLatin1String("set")) {
                QLineEdit *e = edit(arg.section(QLatin1Char(' '), 0, 0));
                QVERIFY2(e, qPrintable(step));
                e->setText(arg.section(QLatin1Char(' '), 1));
            } else if (verb == QLatin1String("click")) {
                QLineEdit *e = edit(arg);
                QVERIFY2(e, qPrintable(step));
                e->setFocus(Qt::MouseFocusReason);
                settle();
                e->home(false);
            } else if (verb == QLatin1String("tab") || verb == QLatin1String("backtab")) {
                QVERIFY(focused);
                QTest::keyClick(focused,
                                verb == QLatin1String("tab") ? Qt::Key_Tab : Qt::Key_Backtab);
            } else if (verb == QLatin1String("type")) {
                QVERIFY(focused);
                QTest::keyClicks(focused, arg);
            } else if (verb == QLatin1String("clear")) {
                auto *e = qobject_cast<QLineEdit *>(focused);
                QVERIFY(e);
                e->selectAll();
                QTest::keyClick(e, Qt::Key_Delete);
            } else if (verb == QLatin1String("calendar")) {
                auto *d = qobject_cast<TDateEditPlus *>(form->controlOf(focused));
                QVERIFY(d);
                d->showCalendar();
                auto *view = d->calendar()->findChild<QTableView *>();
                QTest::keyClick(view, arg == QLatin1String("Right") ? Qt::Key_Right : Qt::Key_Left);
                QTest::keyClick(view, Qt::Key_Return);
                // The popup gone, the screen's window is active again (offscreen does not).
                QTRY_VERIFY(!d->calendar()->isVisible());
                form->activateWindow();
                QApplication::setActiveWindow(form);
                QVERIFY(QTest::qWaitForWindowActive(form));
                QTRY_VERIFY(d->lineEdit()->hasFocus());
            } else if (verb == QLatin1String("preview")) {
                press(Action::Preview);
            } else {
                QFAIL(qPrintable(step));
            }
            settle();
        }
        const QStringList actual{form->medDeOrc->text(), form->medAteOrc->text(),
                                 form->depDeEvento->Text(), form->depAteEvento->Text()};
        QCOMPARE(actual, texts);
        QTRY_COMPARE(focusName(), focus);
        auto *focusedEdit = qobject_cast<QLineEdit *>(QApplication::focusWidget());
        QCOMPARE(focusedEdit ? focusedEdit->selectedText() : QString(), selected);
        QCOMPARE(fx->presenter.texts(), messages);
        QCOMPARE(!this->ran.isEmpty(), ran);
    }

    void hostileInputIsData_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("sql") << "1' OR '1'='1";
        QTest::newRow("drop") << "'; DROP TABLE FILIAL; --";
        QTest::newRow("long") << QString(10000, QLatin1Char('9'));
        QTest::newRow("control") << QStringLiteral("\x01\x02\t\n");
        QTest::newRow("non-ascii") << QStringLiteral("ção€😀");
    }
    void hostileInputIsData()
    {
        QFETCH(QString, text);
        form->medCDFilial->setFocus();
        QApplication::clipboard();
        form->medCDFilial->insert(text);
        form->medDeOrc->insert(text);
        press(Action::Preview);
        QCOMPARE(fx->presenter.entries.size(), 1);
        const QString shown = fx->presenter.texts().first();
        QVERIFY2(shown == QStringLiteral("Filial não cadastrada.") ||
                     shown == QStringLiteral("Filial não informada."),
                 qPrintable(shown));
        QSqlQuery q(dtmDBGeral()->database());
        QVERIFY(q.exec(QStringLiteral("SELECT COUNT(*) FROM FILIAL")));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toInt(), 3);
        QVERIFY(form->medDeOrc->text().size() <= 10);
        QVERIFY(form->medCDFilial->text().size() <= 4);
    }
};

QTEST_MAIN(tst_ScreenCriteria)
#include "tst_screen_criteria.moc"
