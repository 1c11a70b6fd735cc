// The date edit that can be empty: typing, emptiness, day counts, the refusal of a text that is
// not a date, and its calendar popup.
#include "dateedit.h"
#include "errors.h"
#include "mask.h"
#include "testsupport.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTableView>
#include <QTest>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

const QStringList kNomeSemana = {QStringLiteral("Domingo"), QStringLiteral("Segunda"),
                                 QStringLiteral("Terça"),   QStringLiteral("Quarta"),
                                 QStringLiteral("Quinta"),  QStringLiteral("Sexta"),
                                 QStringLiteral("Sábado")};

// A window with another edit and the date edit, shown and active.
struct Window
{
    Window()
    {
        auto *layout = new QVBoxLayout(&top);
        other = new QLineEdit(&top);
        other->setObjectName(QStringLiteral("other"));
        date = new TDateEditPlus(&top);
        date->setObjectName(QStringLiteral("depData"));
        date->setNomeSemana(kNomeSemana);
        layout->addWidget(other);
        layout->addWidget(date);
        top.show();
        activate();
    }
    void activate()
    {
        top.activateWindow();
        QApplication::setActiveWindow(&top);
        QVERIFY(QTest::qWaitForWindowActive(&top));
    }
    QWidget top;
    QLineEdit *other;
    TDateEditPlus *date;
};

// Index of the calendar's cell that shows the day in the month on display.
QModelIndex dayCell(QCalendarWidget *calendar, int day)
{
    auto *view = calendar->findChild<QTableView *>();
    QAbstractItemModel *model = view->model();
    for (int r = 0; r < model->rowCount(); ++r)
        for (int c = 0; c < model->columnCount(); ++c) {
            const QModelIndex index = model->index(r, c);
            if (model->data(index).toString() == QString::number(day))
                return index;
        }
    return {};
}

} // namespace

class tst_DateEdit : public QObject
{
    Q_OBJECT
private slots:
    void emptyEdit();
    void typing_data();
    void typing();
    void getDate_data();
    void getDate();
    void setDate();
    void colour();
    void checkValidDate_data();
    void checkValidDate();
    void keyDownRouted();
    void calendarWeekdays();
    void calendarPickWithEnter();
    void calendarPickWithClick();
    void calendarEscape();
    void calendarSixWeeks();
    void calendarKeys_data();
    void calendarKeys();
    void calendarToday();
    void shortYear_data();
    void shortYear();
};

void tst_DateEdit::emptyEdit()
{
    TDateEditPlus edit;
    QCOMPARE(edit.Text(), QStringLiteral("  /  /    "));
    QVERIFY(EmptyString(edit.Text()));
    QCOMPARE(edit.GetDate(), 0.0);
    QVERIFY(!edit.date().isValid());

    edit.setText(QStringLiteral("05/06/2024"));
    QVERIFY(!EmptyString(edit.Text()));
    edit.Clear();
    QVERIFY(EmptyString(edit.Text()));
    QCOMPARE(edit.GetDate(), 0.0);
    edit.setText(QString());
    QVERIFY(EmptyString(edit.Text()));
    // The calendar button never takes the focus, the edit takes it for the widget.
    QCOMPARE(edit.calendarButton()->focusPolicy(), Qt::NoFocus);
    QCOMPARE(edit.focusProxy(), edit.lineEdit());
}

void tst_DateEdit::typing_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QDate>("date");
    QTest::newRow("digits only") << "25122024"
                                 << "25/12/2024" << QDate(2024, 12, 25);
    QTest::newRow("with separators") << "25/12/2024"
                                     << "25/12/2024" << QDate(2024, 12, 25);
    QTest::newRow("letters rejected") << "2a5x122024"
                                      << "25/12/2024" << QDate(2024, 12, 25);
    QTest::newRow("short day by separator") << "1/5/2024"
                                            << "1 /5 /2024" << QDate(2024, 5, 1);
    QTest::newRow("two-digit year") << "010524"
                                    << "01/05/24  " << QDate(2024, 5, 1);
    QTest::newRow("day and month only") << "0105"
                                        << "01/05/    " << QDate(QDate::currentDate().year(), 5, 1);
    QTest::newRow("two-digit year 20") << "010520"
                                       << "01/05/20  " << QDate(2020, 5, 1);
    QTest::newRow("half typed") << "01"
                                << "01/  /    " << QDate();
    QTest::newRow("no such day") << "31042024"
                                 << "31/04/2024" << QDate();
    QTest::newRow("extra digits ignored") << "010520249"
                                          << "01/05/2024" << QDate(2024, 5, 1);
}

void tst_DateEdit::typing()
{
    QFETCH(QString, typed);
    QFETCH(QString, text);
    QFETCH(QDate, date);
    Window w;
    w.date->SetFocus();
    QVERIFY(w.date->lineEdit()->hasFocus());
    w.date->lineEdit()->home(false);
    QTest::keyClicks(w.date->lineEdit(), typed);
    QCOMPARE(w.date->Text(), text);
    QCOMPARE(w.date->date(), date);
    QVERIFY(!EmptyString(w.date->Text()));
}

void tst_DateEdit::getDate_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("days");
    QTest::newRow("day zero") << "30/12/1899" << 0.0;
    QTest::newRow("day one") << "31/12/1899" << 1.0;
    QTest::newRow("1900") << "01/01/1900" << 2.0;
    QTest::newRow("after 1900 february") << "01/03/1900" << 61.0;
    QTest::newRow("leap day") << "29/02/2024" << 45351.0;
    QTest::newRow("christmas 2024") << "25/12/2024" << 45651.0;
    QTest::newRow("before day zero") << "29/12/1899" << -1.0;
    QTest::newRow("not a leap year") << "29/02/2023" << 0.0;
    QTest::newRow("day 0") << "00/01/2024" << 0.0;
    QTest::newRow("month 13") << "12/13/2024" << 0.0;
    QTest::newRow("year 0") << "01/01/0000" << 0.0;
    QTest::newRow("empty") << "" << 0.0;
    QTest::newRow("blank") << "  /  /    " << 0.0;
    QTest::newRow("no year, current year")
        << "01/01/    " << dateToDateTime(QDate(QDate::currentDate().year(), 1, 1));
    QTest::newRow("three-digit year") << "01/01/202 " << 0.0;
}

void tst_DateEdit::getDate()
{
    QFETCH(QString, text);
    QFETCH(double, days);
    TDateEditPlus edit;
    edit.setText(text);
    QCOMPARE(edit.GetDate(), days);
}

void tst_DateEdit::setDate()
{
    TDateEditPlus edit;
    edit.setDate(QDate(2025, 1, 7));
    QCOMPARE(edit.Text(), QStringLiteral("07/01/2025"));
    QCOMPARE(edit.date(), QDate(2025, 1, 7));
    QCOMPARE(edit.GetDate(), dateToDateTime(QDate(2025, 1, 7)));
    edit.setDate(QDate());
    QVERIFY(EmptyString(edit.Text()));
}

// A valid date shows in ValidDateColor; anything else in the normal text colour.
void tst_DateEdit::colour()
{
    TDateEditPlus edit;
    edit.setValidDateColor(Qt::blue);
    const QColor normal = edit.palette().color(QPalette::Text);
    QVERIFY(normal != QColor(Qt::blue));
    auto textColour = [&] {
        return edit.lineEdit()->palette().color(QPalette::Text);
    };
    QCOMPARE(textColour(), normal);
    edit.setText(QStringLiteral("10/10/2024"));
    QCOMPARE(textColour(), QColor(Qt::blue));
    edit.setText(QStringLiteral("32/10/2024"));
    QCOMPARE(textColour(), normal);
    edit.setText(QStringLiteral("10/10/2024"));
    edit.setValidDateColorName(QStringLiteral("clRed"));
    QCOMPARE(textColour(), QColor(255, 0, 0));
    edit.Clear();
    QCOMPARE(textColour(), normal);
}

void tst_DateEdit::checkValidDate_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("refused");
    QTest::newRow("empty") << "" << false;
    QTest::newRow("valid") << "15/08/2024" << false;
    QTest::newRow("no such day") << "30/02/2024" << true;
    QTest::newRow("day only") << "15/  /    " << true;
    QTest::newRow("three-digit year") << "15/08/202 " << true;
    QTest::newRow("one-digit year") << "15/08/2   " << true;
}

// A refusal puts the focus into the edit first, then shows the message, then aborts.
void tst_DateEdit::checkValidDate()
{
    QFETCH(QString, text);
    QFETCH(bool, refused);
    RecordingPresenter presenter;
    Window w;
    w.date->setText(text);
    w.other->setFocus();
    QVERIFY(w.other->hasFocus());

    bool aborted = false;
    try {
        w.date->CheckValidDate();
    } catch (const EAbort &) {
        aborted = true;
    }
    QCOMPARE(aborted, refused);
    if (!refused) {
        QVERIFY(presenter.entries.isEmpty());
        QVERIFY(w.other->hasFocus());
        return;
    }
    QCOMPARE(presenter.entries.size(), 1);
    QCOMPARE(presenter.entries.at(0).kind, MessagePresenter::Kind::Error);
    QCOMPARE(presenter.entries.at(0).text, QStringLiteral("Data inválida."));
    QCOMPARE(presenter.entries.at(0).focus.data(), w.date->lineEdit());
    QCOMPARE(w.date->Text(), text.isEmpty() ? QStringLiteral("  /  /    ") : text);
}

// Keys reach the OnKeyDown handler; a key the handler clears goes no further.
void tst_DateEdit::keyDownRouted()
{
    Window w;
    QList<quint16> seen;
    w.date->OnKeyDown = [&](QObject *sender, quint16 &key, TShiftState) {
        QCOMPARE(sender, w.date);
        seen << key;
        if (key == '7')
            key = 0;
    };
    w.date->SetFocus();
    w.date->lineEdit()->home(false);
    QTest::keyClick(w.date->lineEdit(), Qt::Key_F9);
    QTest::keyClicks(w.date->lineEdit(), QStringLiteral("1712"));
    QCOMPARE(seen, (QList<quint16>{120, '1', '7', '1', '2'}));
    QCOMPARE(w.date->Text(), QStringLiteral("11/2 /    "));
}

void tst_DateEdit::calendarWeekdays()
{
    Window w;
    QVERIFY(!w.date->calendar());
    QTest::mouseClick(w.date->calendarButton(), Qt::LeftButton);
    QCalendarWidget *calendar = w.date->calendar();
    QVERIFY(calendar);
    QTRY_VERIFY(calendar->isVisible());
    QVERIFY(calendar->isWindow());
    QCOMPARE(calendar->firstDayOfWeek(), Qt::Sunday);
    // The full names where they fit the columns, else their first three letters; the full name
    // is the tooltip either way, and no heading is wider than its column.
    QStringList shown;
    for (int column = 0; column < 7; ++column) {
        auto *label = calendar->findChild<QLabel *>(QStringLiteral("weekday%1").arg(column));
        QVERIFY(label);
        QVERIFY(label->isVisible());
        QCOMPARE(label->toolTip(), kNomeSemana.at(column));
        QVERIFY2(kNomeSemana.at(column).startsWith(label->text()) && label->text().size() >= 3,
                 qPrintable(label->text()));
        QVERIFY(label->fontMetrics().horizontalAdvance(label->text()) <= label->width());
        shown << label->text();
    }
    QVERIFY(shown == kNomeSemana ||
            shown == QStringList({"Dom", "Seg", "Ter", "Qua", "Qui", "Sex", "Sáb"}));
    QCOMPARE(w.date->weekdayName(Qt::Sunday), QStringLiteral("Domingo"));
    QCOMPARE(w.date->weekdayName(Qt::Saturday), QStringLiteral("Sábado"));
    // Names set while the calendar exists show at once; missing names fall back to the locale.
    w.date->setNomeSemana({QStringLiteral("D"), QStringLiteral("S")});
    auto *tuesday = calendar->findChild<QLabel *>(QStringLiteral("weekday2"));
    QCOMPARE(calendar->findChild<QLabel *>(QStringLiteral("weekday1"))->text(),
             QStringLiteral("S"));
    QCOMPARE(tuesday->text(), w.date->locale().dayName(Qt::Tuesday, QLocale::ShortFormat));
    QTest::keyClick(calendar->findChild<QTableView *>(), Qt::Key_Escape);
    QTRY_VERIFY(!calendar->isVisible());
}

void tst_DateEdit::calendarPickWithEnter()
{
    Window w;
    w.date->setText(QStringLiteral("10/03/2024"));
    w.date->SetFocus();
    w.date->showCalendar();
    QCalendarWidget *calendar = w.date->calendar();
    QTRY_VERIFY(calendar->isVisible());
    // The calendar opens on the edit's date; arrow keys move, Enter picks.
    QCOMPARE(calendar->selectedDate(), QDate(2024, 3, 10));
    auto *view = calendar->findChild<QTableView *>();
    QTest::keyClick(view, Qt::Key_Right);
    QTest::keyClick(view, Qt::Key_Down);
    QCOMPARE(calendar->selectedDate(), QDate(2024, 3, 18));
    QTest::keyClick(view, Qt::Key_Return);
    QTRY_VERIFY(!calendar->isVisible());
    QCOMPARE(w.date->Text(), QStringLiteral("18/03/2024"));
    QCOMPARE(w.date->GetDate(), dateToDateTime(QDate(2024, 3, 18)));
    QTRY_VERIFY(w.date->lineEdit()->hasFocus());
}

void tst_DateEdit::calendarPickWithClick()
{
    Window w;
    w.date->SetFocus();
    // An empty edit opens the calendar on today; F4 opens it from the keyboard.
    QTest::keyClick(w.date->lineEdit(), Qt::Key_F4);
    QCalendarWidget *calendar = w.date->calendar();
    QVERIFY(calendar);
    QTRY_VERIFY(calendar->isVisible());
    QCOMPARE(calendar->selectedDate(), QDate::currentDate());
    const QDate today = QDate::currentDate();
    const QModelIndex cell = dayCell(calendar, 15);
    QVERIFY(cell.isValid());
    auto *view = calendar->findChild<QTableView *>();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(cell).center());
    QTRY_VERIFY(!calendar->isVisible());
    QCOMPARE(w.date->date(), QDate(today.year(), today.month(), 15));
}

void tst_DateEdit::calendarEscape()
{
    Window w;
    w.date->setText(QStringLiteral("01/02/2024"));
    QTest::mouseClick(w.date->calendarButton(), Qt::LeftButton);
    QCalendarWidget *calendar = w.date->calendar();
    QTRY_VERIFY(calendar->isVisible());
    auto *view = calendar->findChild<QTableView *>();
    QTest::keyClick(view, Qt::Key_Right);
    QTest::keyClick(view, Qt::Key_Escape);
    QTRY_VERIFY(!calendar->isVisible());
    QCOMPARE(w.date->Text(), QStringLiteral("01/02/2024"));
}

// March 2024 spans six weeks: every row is on show, and moving to the last day keeps the first
// row in view (the grid never scrolls).
void tst_DateEdit::calendarSixWeeks()
{
    Window w;
    w.date->setText(QStringLiteral("01/03/2024"));
    w.date->SetFocus();
    w.date->showCalendar();
    QCalendarWidget *calendar = w.date->calendar();
    QTRY_VERIFY(calendar->isVisible());
    auto *view = calendar->findChild<QTableView *>();
    auto allRowsShown = [&] {
        const QRect viewport = view->viewport()->rect();
        for (int row = 0; row < view->model()->rowCount(); ++row) {
            const QRect cell = view->visualRect(view->model()->index(row, 0));
            if (!viewport.contains(cell))
                return false;
        }
        return true;
    };
    QCOMPARE(view->model()->rowCount(), 6);
    QVERIFY(allRowsShown());
    QVERIFY(dayCell(calendar, 31).isValid());
    QTest::keyClick(view, Qt::Key_End);
    QCOMPARE(calendar->selectedDate(), QDate(2024, 3, 31));
    QVERIFY(allRowsShown());
    QCOMPARE(view->verticalScrollBar()->value(), 0);
    QTest::keyClick(view, Qt::Key_Home);
    QCOMPARE(calendar->selectedDate(), QDate(2024, 3, 1));
    QVERIFY(allRowsShown());
    // The whole popup lies below or above the edit, on the screen.
    QVERIFY(calendar->screen()->availableGeometry().contains(calendar->geometry()));
}

void tst_DateEdit::calendarKeys_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<QList<int>>("keys");
    QTest::addColumn<QDate>("selected");
    QTest::newRow("right") << "31/03/2024" << QList<int>{Qt::Key_Right} << QDate(2024, 4, 1);
    QTest::newRow("left") << "01/03/2024" << QList<int>{Qt::Key_Left} << QDate(2024, 2, 29);
    QTest::newRow("down a week") << "28/03/2024" << QList<int>{Qt::Key_Down} << QDate(2024, 4, 4);
    QTest::newRow("up a week") << "05/03/2024" << QList<int>{Qt::Key_Up} << QDate(2024, 2, 27);
    QTest::newRow("page down") << "31/01/2024" << QList<int>{Qt::Key_PageDown}
                               << QDate(2024, 2, 29);
    QTest::newRow("page up") << "15/03/2024" << QList<int>{Qt::Key_PageUp} << QDate(2024, 2, 15);
    QTest::newRow("home") << "15/03/2024" << QList<int>{Qt::Key_Home} << QDate(2024, 3, 1);
    QTest::newRow("end of february")
        << "15/02/2024" << QList<int>{Qt::Key_End} << QDate(2024, 2, 29);
    QTest::newRow("page down, end")
        << "15/03/2024" << QList<int>{Qt::Key_PageDown, Qt::Key_End} << QDate(2024, 4, 30);
}

// Keys move the selection; Enter picks it into the edit and closes the popup.
void tst_DateEdit::calendarKeys()
{
    QFETCH(QString, from);
    QFETCH(QList<int>, keys);
    QFETCH(QDate, selected);
    Window w;
    w.date->setText(from);
    w.date->SetFocus();
    w.date->showCalendar();
    QCalendarWidget *calendar = w.date->calendar();
    QTRY_VERIFY(calendar->isVisible());
    auto *view = calendar->findChild<QTableView *>();
    for (int key : keys)
        QTest::keyClick(view, Qt::Key(key));
    QCOMPARE(calendar->selectedDate(), selected);
    QCOMPARE(calendar->monthShown(), selected.month());
    QTest::keyClick(view, Qt::Key_Return);
    QTRY_VERIFY(!calendar->isVisible());
    QCOMPARE(w.date->date(), selected);
}

// "Hoje" and the T key pick today.
void tst_DateEdit::calendarToday()
{
    Window w;
    w.date->setText(QStringLiteral("01/03/2024"));
    w.date->SetFocus();
    w.date->showCalendar();
    QCalendarWidget *calendar = w.date->calendar();
    QTRY_VERIFY(calendar->isVisible());
    auto *today = calendar->findChild<QPushButton *>(QStringLiteral("todayButton"));
    QVERIFY(today);
    QCOMPARE(today->text(), QStringLiteral("&Hoje"));
    QVERIFY(today->isVisible());
    today->click();
    QTRY_VERIFY(!calendar->isVisible());
    QCOMPARE(w.date->date(), QDate::currentDate());
    w.date->setText(QStringLiteral("01/03/2024"));
    w.date->showCalendar();
    QTRY_VERIFY(calendar->isVisible());
    QTest::keyClick(calendar->findChild<QTableView *>(), Qt::Key_T);
    QTRY_VERIFY(!calendar->isVisible());
    QCOMPARE(w.date->date(), QDate::currentDate());
}

// A two-digit year is read in a window of a hundred years (00-49 this century, 50-99 the last
// one), a missing year as the current one; leaving the edit writes the date out in full.
void tst_DateEdit::shortYear_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("text");
    const QString year = QString::number(QDate::currentDate().year());
    QTest::newRow("26") << "010126"
                        << "01/01/2026";
    QTest::newRow("00") << "291200"
                        << "29/12/2000";
    QTest::newRow("49") << "311249"
                        << "31/12/2049";
    QTest::newRow("50") << "010150"
                        << "01/01/1950";
    QTest::newRow("99") << "311299"
                        << "31/12/1999";
    QTest::newRow("separators") << "1/1/26"
                                << "01/01/2026";
    QTest::newRow("no year") << "0503"
                             << "05/03/" + year;
    QTest::newRow("leap day of 24") << "290224"
                                    << "29/02/2024";
    QTest::newRow("no leap day in 23") << "290223"
                                       << "29/02/23  ";
    QTest::newRow("four digits unchanged") << "01011926"
                                           << "01/01/1926";
}

void tst_DateEdit::shortYear()
{
    QFETCH(QString, typed);
    QFETCH(QString, text);
    RecordingPresenter presenter;
    Window w;
    w.date->SetFocus();
    w.date->lineEdit()->home(false);
    QTest::keyClicks(w.date->lineEdit(), typed);
    w.other->setFocus(Qt::TabFocusReason);
    QCOMPARE(w.date->Text(), text);
    // The check run by an action reads the same date, and writes it out as well.
    w.date->setText(typed);
    bool refused = false;
    try {
        w.date->CheckValidDate();
    } catch (const EAbort &) {
        refused = true;
    }
    QCOMPARE(refused, !w.date->date().isValid());
    if (!refused)
        QCOMPARE(w.date->Text(), text);
}

QTEST_MAIN(tst_DateEdit)
#include "tst_dateedit.moc"
