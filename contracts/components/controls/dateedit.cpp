#include "dateedit.h"

#include "dataset.h"
#include "errors.h"
#include "mask.h"

#include <QCalendarWidget>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QScreen>
#include <QTableView>
#include <QTime>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

const QString kDateFormat = QStringLiteral("dd/MM/yyyy");
const QString kDefaultButtonBitmap = QStringLiteral(":/components/images/calendar.png");

// The date of a dd/mm/yyyy text; invalid when a part is missing or the date does not exist.
// Day and month take one or two digits, the year exactly four.
QDate parseDateText(const QString &text)
{
    const QStringList parts = text.split(QLatin1Char('/'));
    if (parts.size() != 3)
        return {};
    int values[3];
    for (int i = 0; i < 3; ++i) {
        const QString part = parts.at(i).trimmed();
        const qsizetype minDigits = i == 2 ? 4 : 1;
        const qsizetype maxDigits = i == 2 ? 4 : 2;
        if (part.size() < minDigits || part.size() > maxDigits)
            return {};
        for (const QChar c : part)
            if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                return {};
        values[i] = part.toInt();
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
    if (EmptyString(Text()) || date().isValid())
        return;
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
    if (auto *box = qobject_cast<QBoxLayout *>(m_calendar->layout()))
        box->insertWidget(box->count() - 1, header);
    updateWeekdayHeader();

    m_calendar->installEventFilter(this);
    if (auto *view = m_calendar->findChild<QTableView *>())
        view->installEventFilter(this);
    // Enter or a double click (activated) and a click on a day pick the date.
    connect(m_calendar, &QCalendarWidget::activated, this, &TDateEditPlus::pickDate);
    connect(m_calendar, &QCalendarWidget::clicked, this, &TDateEditPlus::pickDate);
}

void TDateEditPlus::updateWeekdayHeader()
{
    if (!m_calendar)
        return;
    const int first = m_calendar->firstDayOfWeek();
    for (int column = 0; column < m_weekdayLabels.size(); ++column)
        m_weekdayLabels.at(column)->setText(weekdayName((first - 1 + column) % 7 + 1));
}

void TDateEditPlus::showCalendar()
{
    ensureCalendar();
    const QDate current = date();
    m_calendar->setSelectedDate(current.isValid() ? current : QDate::currentDate());
    m_calendar->adjustSize();
    // Below the edit, kept on the screen.
    QPoint pos = mapToGlobal(QPoint(0, height()));
    const QSize size = m_calendar->sizeHint();
    if (const QScreen *screen = this->screen()) {
        const QRect area = screen->availableGeometry();
        if (pos.y() + size.height() > area.bottom())
            pos.setY(mapToGlobal(QPoint(0, 0)).y() - size.height());
        pos.setX(qBound(area.left(), pos.x(), qMax(area.left(), area.right() - size.width())));
        pos.setY(qMax(area.top(), pos.y()));
    }
    m_calendar->move(pos);
    m_calendar->show();
    m_calendar->activateWindow();
    if (auto *view = m_calendar->findChild<QTableView *>())
        view->setFocus(Qt::PopupFocusReason);
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
    if (m_calendar && key->key() == Qt::Key_Escape) {
        m_calendar->hide();
        m_edit->setFocus(Qt::PopupFocusReason);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
