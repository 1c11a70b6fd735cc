#include "dateedit.h"

#include "dataset.h"
#include "errors.h"
#include "mask.h"

#include <QCalendarWidget>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QScreen>
#include <QTableView>
#include <QTime>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

const QString kDateFormat = QStringLiteral("dd/MM/yyyy");
const QString kDefaultButtonBitmap = QStringLiteral(":/components/images/calendar.png");

// The date of a dd/mm/yyyy text; invalid when a part is missing or the date does not exist.
// Day and month take one or two digits. The year takes four digits, or two (00-49 are read as
// 2000-2049, 50-99 as 1950-1999), or none at all ("dd/mm" alone is a day of the current year).
QDate parseDateText(const QString &text)
{
    const QStringList parts = text.split(QLatin1Char('/'));
    if (parts.size() != 3)
        return {};
    int values[3];
    for (int i = 0; i < 3; ++i) {
        const QString part = parts.at(i).trimmed();
        for (const QChar c : part)
            if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                return {};
        if (i < 2) {
            if (part.isEmpty() || part.size() > 2)
                return {};
            values[i] = part.toInt();
            continue;
        }
        switch (part.size()) {
        case 0:
            values[i] = QDate::currentDate().year();
            break;
        case 2:
            values[i] = part.toInt() + (part.toInt() < 50 ? 2000 : 1900);
            break;
        case 4:
            values[i] = part.toInt();
            break;
        default:
            return {};
        }
    }
    return QDate(values[2], values[1], values[0]);
}

} // namespace

TDateEditPlus::TDateEditPlus(QWidget *parent)
    : QWidget(parent)
    , TWinControl(this)
    , m_edit(new QLineEdit(this))
    , m_button(new QToolButton(this))
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_edit, 1);
    layout->addWidget(m_button);

    m_edit->setObjectName(QStringLiteral("dateLineEdit"));
    // Blank positions show as blanks, so an empty edit reads "  /  /    ".
    m_edit->setInputMask(qtInputMask(QStringLiteral("99/99/9999;1; ")));
    m_textAtEnter = m_edit->displayText();
    m_edit->installEventFilter(this);
    setFocusProxy(m_edit);
    setFocusPolicy(m_edit->focusPolicy());

    m_button->setObjectName(QStringLiteral("calendarButton"));
    m_button->setFocusPolicy(Qt::NoFocus);
    m_button->setAutoRaise(false);
    m_button->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    m_button->setToolTip(QCoreApplication::translate("TDateEditPlus", "Calendário"));
    setButtonBitmap(QString());
    connect(m_button, &QToolButton::clicked, this, [this] { guarded([this] { showCalendar(); }); });

    connect(m_edit, &QLineEdit::textChanged, this, [this] {
        if (m_saveTime && date().isValid())
            m_time = QTime::currentTime();
        updateColor();
    });
    updateColor();
}

TDateEditPlus::~TDateEditPlus() = default;

QString TDateEditPlus::Text() const
{
    return m_edit->displayText();
}

void TDateEditPlus::normaliseText()
{
    // A short form that is a date ("01/01/26", "01/01") is written out in full.
    const QDate d = date();
    if (d.isValid() && Text() != d.toString(kDateFormat))
        setText(d.toString(kDateFormat));
}

void TDateEditPlus::markEntered()
{
    m_textAtEnter = Text();
}

bool TDateEditPlus::ChangedSinceEnter() const
{
    return Text() != m_textAtEnter;
}

void TDateEditPlus::setText(const QString &text)
{
    m_edit->setText(text);
}

void TDateEditPlus::Clear()
{
    m_edit->clear();
}

QDate TDateEditPlus::date() const
{
    return parseDateText(Text());
}

void TDateEditPlus::setDate(const QDate &date)
{
    if (!date.isValid() || date.year() < 1 || date.year() > 9999) {
        Clear();
        return;
    }
    setText(date.toString(kDateFormat));
}

double TDateEditPlus::GetDate() const
{
    const QDate d = date();
    if (!d.isValid())
        return 0;
    double value = dateToDateTime(d);
    if (m_saveTime && m_time.isValid())
        value += m_time.msecsSinceStartOfDay() / 86400000.0;
    return value;
}

void TDateEditPlus::CheckValidDate()
{
    if (EmptyString(Text()))
        return;
    if (date().isValid()) {
        normaliseText();
        return;
    }
    SetFocus();
    MensErro(QCoreApplication::translate("TDateEditPlus", "Data inválida."), true);
}

void TDateEditPlus::setNomeSemana(const QStringList &names)
{
    m_nomeSemana = names;
    updateWeekdayHeader();
}

QString TDateEditPlus::weekdayName(int dayOfWeek) const
{
    // NomeSemana holds the names Sunday first; a missing name falls back to the locale's.
    const int index = dayOfWeek % 7; // Qt: Monday 1 .. Sunday 7
    if (index < m_nomeSemana.size() && !m_nomeSemana.at(index).isEmpty())
        return m_nomeSemana.at(index);
    return locale().dayName(dayOfWeek, QLocale::ShortFormat);
}

void TDateEditPlus::setValidDateColor(const QColor &c)
{
    m_validColor = c;
    updateColor();
}

QString TDateEditPlus::validDateColorName() const
{
    return m_validColor.name();
}

void TDateEditPlus::setValidDateColorName(const QString &name)
{
    setValidDateColor(systemColor(name));
}

void TDateEditPlus::setButtonBitmap(const QString &resource)
{
    m_buttonBitmap = resource;
    QIcon icon(resource.isEmpty() ? kDefaultButtonBitmap : resource);
    if (icon.isNull())
        icon = QIcon(kDefaultButtonBitmap);
    m_button->setIcon(icon);
    m_button->setIconSize(QSize(16, 16));
}

void TDateEditPlus::updateColor()
{
    QPalette pal = m_edit->palette();
    const QColor text = date().isValid() ? m_validColor : palette().color(QPalette::Text);
    pal.setColor(QPalette::Active, QPalette::Text, text);
    pal.setColor(QPalette::Inactive, QPalette::Text, text);
    m_edit->setPalette(pal);
}

void TDateEditPlus::ensureCalendar()
{
    if (m_calendar)
        return;
    // A popup window of its own (child of the edit, so it goes with it): focus moving into it
    // is not an exit of the edit.
    m_calendar = new QCalendarWidget(this);
    m_calendar->setObjectName(QStringLiteral("DateEditCalendar"));
    m_calendar->setWindowFlags(Qt::Popup);
    m_calendar->setFirstDayOfWeek(Qt::Sunday);
    m_calendar->setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
    m_calendar->setGridVisible(true);
    // The calendar names weekdays from its locale only: its own header is replaced by a row of
    // labels with the NomeSemana names, one per column, over the day grid.
    m_calendar->setHorizontalHeaderFormat(QCalendarWidget::NoHorizontalHeader);
    auto *header = new QWidget(m_calendar);
    header->setObjectName(QStringLiteral("weekdayHeader"));
    auto *headerLayout = new QHBoxLayout(header);
    headerLayout->setContentsMargins(0, 0, 0, 0);
    headerLayout->setSpacing(0);
    for (int column = 0; column < 7; ++column) {
        auto *label = new QLabel(header);
        label->setObjectName(QStringLiteral("weekday%1").arg(column));
        label->setAlignment(Qt::AlignCenter);
        headerLayout->addWidget(label, 1);
        m_weekdayLabels << label;
    }
    auto *today = new QPushButton(QStringLiteral("&Hoje"), m_calendar);
    today->setObjectName(QStringLiteral("todayButton"));
    today->setFocusPolicy(Qt::NoFocus);
    today->setToolTip(QStringLiteral("Escolhe a data de hoje (tecla T)"));
    connect(today, &QPushButton::clicked, this, [this] { pickDate(QDate::currentDate()); });
    if (auto *box = qobject_cast<QBoxLayout *>(m_calendar->layout())) {
        box->insertWidget(box->count() - 1, header);
        box->addWidget(today, 0, Qt::AlignRight);
    }

    if (auto *view = m_calendar->findChild<QTableView *>()) {
        // Every row of a six-week month stays on show: the grid never scrolls.
        view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        view->setMinimumHeight(6 * view->verticalHeader()->minimumSectionSize() +
                               2 * view->frameWidth());
        view->installEventFilter(this);
    }
    updateWeekdayHeader();

    m_calendar->installEventFilter(this);
    // Enter or a double click (activated) and a click on a day pick the date.
    connect(m_calendar, &QCalendarWidget::activated, this, &TDateEditPlus::pickDate);
    connect(m_calendar, &QCalendarWidget::clicked, this, &TDateEditPlus::pickDate);
}

void TDateEditPlus::updateWeekdayHeader()
{
    if (!m_calendar)
        return;
    // Full names where every one fits its column, otherwise the first three letters ("Dom",
    // "Seg", ...); the full name is always the label's tooltip.
    const int first = m_calendar->firstDayOfWeek();
    QStringList names;
    for (int column = 0; column < m_weekdayLabels.size(); ++column)
        names << weekdayName((first - 1 + column) % 7 + 1);
    bool fits = true;
    for (int column = 0; column < m_weekdayLabels.size(); ++column) {
        const QLabel *label = m_weekdayLabels.at(column);
        const int room = label->width() > 0 && label->isVisible()
                             ? label->width()
                             : m_calendar->sizeHint().width() / 7;
        if (label->fontMetrics().horizontalAdvance(names.at(column)) + 4 > room)
            fits = false;
    }
    for (int column = 0; column < m_weekdayLabels.size(); ++column) {
        QLabel *label = m_weekdayLabels.at(column);
        label->setText(fits ? names.at(column) : names.at(column).left(3));
        label->setToolTip(names.at(column));
    }
}

void TDateEditPlus::showCalendar()
{
    ensureCalendar();
    const QDate current = date();
    m_calendar->setSelectedDate(current.isValid() ? current : QDate::currentDate());
    // The calendar's own size hint knows nothing of the weekday row and the "Hoje" button: the
    // popup takes the size its layout asks for, so the sixth week is never cut off.
    m_calendar->adjustSize();
    QSize size = m_calendar->sizeHint().expandedTo(m_calendar->layout()->minimumSize());
    size.setHeight(qMax(size.height(), m_calendar->layout()->sizeHint().height()));
    m_calendar->resize(size);
    // Below the edit, kept on the screen.
    QPoint pos = mapToGlobal(QPoint(0, height()));
    if (const QScreen *screen = this->screen()) {
        const QRect area = screen->availableGeometry();
        if (pos.y() + size.height() > area.bottom())
            pos.setY(mapToGlobal(QPoint(0, 0)).y() - size.height());
        pos.setX(qBound(area.left(), pos.x(), qMax(area.left(), area.right() - size.width())));
        pos.setY(qMax(area.top(), pos.y()));
    }
    m_calendar->move(pos);
    m_calendar->show();
    updateWeekdayHeader();
    m_calendar->activateWindow();
    if (auto *view = m_calendar->findChild<QTableView *>())
        view->setFocus(Qt::PopupFocusReason);
}

bool TDateEditPlus::calendarKey(QKeyEvent *key)
{
    // The calendar's keys: arrows by day and week, Page Up/Down by month (with Ctrl by year),
    // Home/End to the first and last day of the month, Enter picks, T picks today, Esc closes.
    const QDate at = m_calendar->selectedDate();
    QDate to;
    const bool ctrl = key->modifiers() & Qt::ControlModifier;
    switch (key->key()) {
    case Qt::Key_Escape:
        m_calendar->hide();
        m_edit->setFocus(Qt::PopupFocusReason);
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        pickDate(at);
        return true;
    case Qt::Key_T:
        pickDate(QDate::currentDate());
        return true;
    case Qt::Key_Left:
        to = at.addDays(-1);
        break;
    case Qt::Key_Right:
        to = at.addDays(1);
        break;
    case Qt::Key_Up:
        to = at.addDays(-7);
        break;
    case Qt::Key_Down:
        to = at.addDays(7);
        break;
    case Qt::Key_PageUp:
        to = ctrl ? at.addYears(-1) : at.addMonths(-1);
        break;
    case Qt::Key_PageDown:
        to = ctrl ? at.addYears(1) : at.addMonths(1);
        break;
    case Qt::Key_Home:
        to = QDate(at.year(), at.month(), 1);
        break;
    case Qt::Key_End:
        to = QDate(at.year(), at.month(), at.daysInMonth());
        break;
    default:
        return false;
    }
    if (to.isValid()) {
        m_calendar->setSelectedDate(to);
        m_calendar->setCurrentPage(to.year(), to.month());
    }
    return true;
}

void TDateEditPlus::pickDate(const QDate &date)
{
    if (m_calendar)
        m_calendar->hide();
    setDate(date);
    m_edit->setFocus(Qt::PopupFocusReason);
}

bool TDateEditPlus::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_edit && event->type() == QEvent::FocusOut)
        normaliseText();
    if (event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    auto *key = static_cast<QKeyEvent *>(event);
    if (watched == m_edit) {
        // Tab moves the focus before any control sees it, as in the other edits.
        if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab)
            return false;
        if (dispatchKeyDown(key))
            return true;
        // F4 or Alt+Down opens the calendar, as in a drop-down.
        if (key->key() == Qt::Key_F4 ||
            (key->key() == Qt::Key_Down && key->modifiers() & Qt::AltModifier)) {
            guarded([this] { showCalendar(); });
            return true;
        }
        return false;
    }
    if (m_calendar &&
        (watched == m_calendar || m_calendar->isAncestorOf(qobject_cast<QWidget *>(watched))))
        if (calendarKey(key))
            return true;
    return QWidget::eventFilter(watched, event);
}
