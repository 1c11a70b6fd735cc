// The event layer: the boundary, exit tracking, key codes, change and click events, and the
// creation of a form from stored layouts with handlers bound by name.
#include "controls.h"
#include "errors.h"
#include "testsupport.h"
#include "tform.h"

#include <QApplication>
#include <QDialog>
#include <QTemporaryDir>
#include <QTest>

namespace {

const char *kBaseUi = R"(<?xml version="1.0" encoding="UTF-8"?>
<ui version="4.0"><class>TBase</class>
<widget class="TBase" name="frmBase">
 <property name="geometry"><rect><x>10</x><y>20</y><width>300</width><height>200</height></rect></property>
 <property name="OnCreate" stdset="0"><string>FormCreate</string></property>
 <widget class="TGroupBox" name="grbDados">
  <property name="geometry"><rect><x>0</x><y>0</y><width>300</width><height>160</height></rect></property>
 </widget>
 <widget class="TButtonFlat" name="sbtAcao">
  <property name="geometry"><rect><x>0</x><y>170</y><width>25</width><height>25</height></rect></property>
  <property name="OnClick" stdset="0"><string>sbtAcaoClick</string></property>
 </widget>
</widget></ui>)";

// The derived layout adds controls into the inherited group box.
const char *kDerivedUi = R"(<?xml version="1.0" encoding="UTF-8"?>
<ui version="4.0"><class>TDerived</class>
<widget class="TDerived" name="frmDerived">
 <widget class="TGroupBox" name="grbDados">
  <widget class="TMaskEdit" name="medA">
   <property name="geometry"><rect><x>10</x><y>10</y><width>80</width><height>21</height></rect></property>
   <property name="EditMask" stdset="0"><string>&gt;aaaa;0; </string></property>
   <property name="OnExit" stdset="0"><string>medAExit</string></property>
   <property name="OnChange" stdset="0"><string>medAChange</string></property>
  </widget>
  <widget class="TMaskEdit" name="medB">
   <property name="geometry"><rect><x>10</x><y>40</y><width>80</width><height>21</height></rect></property>
   <property name="OnExit" stdset="0"><string>medBExit</string></property>
  </widget>
  <widget class="TRadioButton" name="rbtUm">
   <property name="geometry"><rect><x>10</x><y>70</y><width>80</width><height>17</height></rect></property>
   <property name="text"><string>Um</string></property>
   <property name="checked"><bool>true</bool></property>
   <property name="OnKeyDown" stdset="0"><string>rbtKeyDown</string></property>
   <property name="OnClick" stdset="0"><string>rbtUmClick</string></property>
  </widget>
  <widget class="TRadioButton" name="rbtDois">
   <property name="geometry"><rect><x>10</x><y>90</y><width>80</width><height>17</height></rect></property>
   <property name="text"><string>Dois</string></property>
   <property name="OnClick" stdset="0"><string>rbtDoisClick</string></property>
  </widget>
  <widget class="TButtonFlat" name="sbtLista">
   <property name="geometry"><rect><x>100</x><y>90</y><width>25</width><height>21</height></rect></property>
  </widget>
 </widget>
</widget>
<tabstops><tabstop>medA</tabstop><tabstop>medB</tabstop><tabstop>rbtUm</tabstop></tabstops>
</ui>)";

class TBase : public TForm
{
public:
    QString uiDir;
    QStringList log;
    void FormCreate(QObject *) { log << QStringLiteral("base FormCreate"); }
    virtual void sbtAcaoClick(QObject *) { log << QStringLiteral("base sbtAcaoClick"); }

protected:
    QList<StoredLayout> layoutChain() const override
    {
        return {{uiDir + QStringLiteral("/base.ui"), {}}};
    }
    void collectHandlers(HandlerTable &t) override
    {
        t.add(QStringLiteral("FormCreate"), TNotifyEvent([this](QObject *s) { FormCreate(s); }));
        t.add(QStringLiteral("sbtAcaoClick"),
              TNotifyEvent([this](QObject *s) { TBase::sbtAcaoClick(s); }));
    }
};

class TDerived : public TBase
{
public:
    QString derivedUi = QStringLiteral("/derived.ui");
    std::function<void()> onAExit;
    std::function<void()> onBExit;
    std::function<void()> onAcao;
    QList<quint16> keys;
    QList<TShiftState> shifts;
    bool swallowKeys = false;
    int changes = 0;
    int clicksUm = 0;
    int clicksDois = 0;

    void sbtAcaoClick(QObject *sender) override
    {
        log << QStringLiteral("derived sbtAcaoClick");
        if (onAcao)
            onAcao();
        TBase::sbtAcaoClick(sender);
    }

protected:
    QList<StoredLayout> layoutChain() const override
    {
        return TBase::layoutChain() << StoredLayout{uiDir + derivedUi, {}};
    }
    void collectHandlers(HandlerTable &t) override
    {
        TBase::collectHandlers(t);
        t.add(QStringLiteral("sbtAcaoClick"),
              TNotifyEvent([this](QObject *s) { sbtAcaoClick(s); }));
        t.add(QStringLiteral("medAExit"), TNotifyEvent([this](QObject *) {
                  log << QStringLiteral("exit medA");
                  if (onAExit)
                      onAExit();
              }));
        t.add(QStringLiteral("medBExit"), TNotifyEvent([this](QObject *) {
                  log << QStringLiteral("exit medB");
                  if (onBExit)
                      onBExit();
              }));
        t.add(QStringLiteral("medAChange"), TNotifyEvent([this](QObject *) { ++changes; }));
        t.add(QStringLiteral("rbtKeyDown"),
              TKeyEvent([this](QObject *, quint16 &key, TShiftState shift) {
                  keys << key;
                  shifts << shift;
                  if (swallowKeys)
                      key = 0;
              }));
        t.add(QStringLiteral("rbtUmClick"), TNotifyEvent([this](QObject *) { ++clicksUm; }));
        t.add(QStringLiteral("rbtDoisClick"), TNotifyEvent([this](QObject *) { ++clicksDois; }));
    }
};

template <class T>
T *child(QWidget *form, const char *name)
{
    return form->findChild<T *>(QString::fromLatin1(name));
}

void activate(QWidget *w)
{
    w->show();
    w->activateWindow();
    QApplication::setActiveWindow(w);
    QVERIFY(QTest::qWaitForWindowActive(w));
}

} // namespace

class tst_Events : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    RecordingPresenter *m_presenter = nullptr;

    void write(const QString &name, const char *text)
    {
        QFile f(m_dir.filePath(name));
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text);
    }

    std::unique_ptr<TDerived> makeForm()
    {
        auto form = std::make_unique<TDerived>();
        form->uiDir = m_dir.path();
        form->createFromLayouts();
        return form;
    }

private slots:
    void initTestCase()
    {
        write(QStringLiteral("base.ui"), kBaseUi);
        write(QStringLiteral("derived.ui"), kDerivedUi);
    }
    void init() { m_presenter = new RecordingPresenter; }
    void cleanup()
    {
        delete m_presenter;
        m_presenter = nullptr;
    }

    void creationOrderAndDerivedBinding()
    {
        auto form = makeForm();
        QCOMPARE(form->creationOrder(), QStringList({"grbDados", "sbtAcao", "medA", "medB", "rbtUm",
                                                     "rbtDois", "sbtLista"}));
        // The derived controls live inside the inherited group box, not in a copy of it.
        QCOMPARE(child<QWidget>(form.get(), "medA")->parentWidget()->objectName(),
                 QStringLiteral("grbDados"));
        QCOMPARE(form->findChildren<TGroupBox *>().size(), 1);
        QCOMPARE(form->designedPosition(), QPoint(10, 20));
        QCOMPARE(form->log, QStringList{"base FormCreate"});
        // A binding of the base layout reaches the derived handler, which calls the base one.
        child<TButtonFlat>(form.get(), "sbtAcao")->click();
        QCOMPARE(form->log,
                 QStringList({"base FormCreate", "derived sbtAcaoClick", "base sbtAcaoClick"}));
        QCOMPARE(form->bindingCounts().value("sbtAcaoClick"), 1);
    }

    void badBindingsFailCreation_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<QString>("message");
        QTest::newRow("unknown handler") << "medBExit"
                                         << "naoExiste"
                                         << "naoExiste";
        QTest::newRow("handler bound twice") << "medBExit"
                                             << "medAExit"
                                             << "medAExit";
        QTest::newRow("handler of another type") << "medBExit"
                                                 << "rbtKeyDown"
                                                 << "rbtKeyDown";
    }
    void badBindingsFailCreation()
    {
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(QString, message);
        QString ui = QString::fromUtf8(kDerivedUi);
        ui.replace(QStringLiteral("<string>%1</string>").arg(from),
                   QStringLiteral("<string>%1</string>").arg(to));
        write(QStringLiteral("bad.ui"), ui.toUtf8().constData());
        TDerived form;
        form.uiDir = m_dir.path();
        form.derivedUi = QStringLiteral("/bad.ui");
        try {
            form.createFromLayouts();
            QFAIL("creation should fail");
        } catch (const EAppError &e) {
            QVERIFY2(e.message().contains(message), qPrintable(e.message()));
        }
    }

    void abortIsSilentAndOtherErrorsReportedOnce()
    {
        auto form = makeForm();
        auto *button = child<TButtonFlat>(form.get(), "sbtAcao");
        int runs = 0;
        form->onAcao = [&] {
            ++runs;
            if (runs == 1)
                throw EAbort{};
            if (runs == 2)
                throw EAppError(QStringLiteral("Falha de teste."));
        };
        button->click();
        QCOMPARE(m_presenter->entries.size(), 0);
        QCOMPARE(form->log.count("base sbtAcaoClick"), 0);
        button->click();
        QCOMPARE(m_presenter->texts(), QStringList{"Falha de teste."});
        button->click(); // the next event is handled normally
        QCOMPARE(runs, 3);
        QCOMPARE(form->log.count("base sbtAcaoClick"), 1);
        QCOMPARE(m_presenter->entries.size(), 1);
    }

    void exitFiresOnMovesBetweenControls()
    {
        auto form = makeForm();
        activate(form.get());
        auto *a = child<TMaskEdit>(form.get(), "medA");
        auto *b = child<TMaskEdit>(form.get(), "medB");
        a->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), a);
        form->log.clear();
        QTest::keyClick(a, Qt::Key_Tab);
        QTRY_COMPARE(QApplication::focusWidget(), b);
        QCOMPARE(form->log, QStringList{"exit medA"});
        // By mouse.
        QTest::mouseClick(a, Qt::LeftButton);
        QTRY_COMPARE(QApplication::focusWidget(), a);
        QCOMPARE(form->log, QStringList({"exit medA", "exit medB"}));

        // A dialog or another window taking the focus is no exit, nor is coming back.
        form->log.clear();
        QDialog other;
        other.resize(100, 50);
        activate(&other);
        activate(form.get());
        QTRY_COMPARE(QApplication::focusWidget(), a);
        QCOMPARE(form->log, QStringList{});
    }

    void exitHandlerPutsFocusBackWithoutLoop()
    {
        auto form = makeForm();
        activate(form.get());
        auto *a = child<TMaskEdit>(form.get(), "medA");
        auto *b = child<TMaskEdit>(form.get(), "medB");
        int exits = 0;
        form->onAExit = [&] {
            ++exits;
            MensErro(QStringLiteral("Recusado."), false);
            dynamic_cast<TWinControl *>(a)->SetFocus();
        };
        a->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), a);
        QTest::keyClick(a, Qt::Key_Tab);
        QTest::qWait(50);
        QCOMPARE(QApplication::focusWidget(), a);
        QCOMPARE(exits, 1);
        // Message first, focus after it.
        QCOMPARE(m_presenter->entries.size(), 1);
        QCOMPARE(m_presenter->entries.first().focusName, QStringLiteral("medB"));
        QCOMPARE(form->activeControl(), a);
        Q_UNUSED(b);
    }

    void refusedExitDuringMousePressCancelsTheClick()
    {
        auto form = makeForm();
        activate(form.get());
        auto *a = child<TMaskEdit>(form.get(), "medA");
        auto *dois = child<TRadioButton>(form.get(), "rbtDois");
        form->onAExit = [&] {
            MensErro(QStringLiteral("Recusado."), true);
        };
        a->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), a);
        QTest::mousePress(dois, Qt::LeftButton);
        QCOMPARE(m_presenter->texts(), QStringList{"Recusado."});
        QVERIFY(!dois->isDown());
        QTest::mouseRelease(dois, Qt::LeftButton);
        QCOMPARE(form->clicksDois, 0);
        QVERIFY(!dois->isChecked());
    }

    void keyDownUsesVirtualKeyCodes_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<int>("code");
        QTest::newRow("F9") << int(Qt::Key_F9) << int(Qt::NoModifier) << 120;
        QTest::newRow("Shift+F9") << int(Qt::Key_F9) << int(Qt::ShiftModifier) << 120;
        QTest::newRow("Ctrl+F9") << int(Qt::Key_F9) << int(Qt::ControlModifier) << 120;
        QTest::newRow("F1") << int(Qt::Key_F1) << int(Qt::NoModifier) << 112;
        QTest::newRow("A") << int(Qt::Key_A) << int(Qt::NoModifier) << 65;
        QTest::newRow("Enter") << int(Qt::Key_Return) << int(Qt::NoModifier) << 13;
    }
    void keyDownUsesVirtualKeyCodes()
    {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(int, code);
        auto form = makeForm();
        activate(form.get());
        auto *um = child<TRadioButton>(form.get(), "rbtUm");
        um->setFocus();
        QTest::keyClick(um, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        // A modifier held down reaches the handler first, as its own key.
        QVERIFY(!form->keys.isEmpty());
        QCOMPARE(form->keys.last(), quint16(code));
        QCOMPARE(form->shifts.last(), Qt::KeyboardModifiers(modifiers));
    }

    void keyDownSwallowsWhenCodeSetToZero()
    {
        auto form = makeForm();
        activate(form.get());
        auto *um = child<TRadioButton>(form.get(), "rbtUm");
        auto *dois = child<TRadioButton>(form.get(), "rbtDois");
        um->setFocus();
        form->swallowKeys = true;
        QTest::keyClick(um, Qt::Key_Down);
        QVERIFY(um->isChecked()); // the arrow never reached the radio button
        form->swallowKeys = false;
        QTest::keyClick(um, Qt::Key_Down);
        // The arrow checks the next button of the group and raises its click.
        QTRY_VERIFY(dois->isChecked());
        QCOMPARE(form->clicksDois, 1);
    }

    void changeEventOnRealChangesOnly()
    {
        auto form = makeForm();
        activate(form.get());
        auto *a = child<TMaskEdit>(form.get(), "medA");
        a->setText(QStringLiteral("AB"));
        QCOMPARE(form->changes, 1); // code setting the text raises it as typing does
        a->setFocus();
        a->setCursorPosition(2);
        QTest::keyClick(a, Qt::Key_Percent); // rejected by the mask
        QCOMPARE(a->text(), QStringLiteral("AB"));
        QCOMPARE(form->changes, 1);
        QTest::keyClick(a, Qt::Key_C);
        QCOMPARE(a->text(), QStringLiteral("ABC"));
        QCOMPARE(form->changes, 2);
    }

    void checkedRadioIsTheTabStop()
    {
        auto form = makeForm();
        activate(form.get());
        auto *b = child<TMaskEdit>(form.get(), "medB");
        auto *um = child<TRadioButton>(form.get(), "rbtUm");
        auto *dois = child<TRadioButton>(form.get(), "rbtDois");
        dois->click();
        QVERIFY(dois->isChecked());
        b->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), b);
        QTest::keyClick(b, Qt::Key_Tab);
        QTRY_COMPARE(QApplication::focusWidget(), dois);
        Q_UNUSED(um);
    }
};

QTEST_MAIN(tst_Events)
#include "tst_events.moc"
