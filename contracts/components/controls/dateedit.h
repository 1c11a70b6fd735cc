#pragma once

#include "controls.h"

#include <QColor>
#include <QDate>
#include <QTime>
#include <QWidget>

class QCalendarWidget;
class QLabel;
class QToolButton;

// Date edit that can be empty: a dd/mm/yyyy masked edit with a calendar button. A valid date
// shows in ValidDateColor. Besides the full form it reads a two-digit year (00-49 as 2000-2049,
// 50-99 as 1950-1999) and "dd/mm" alone as a day of the current year.
class COMPONENTS_EXPORT TDateEditPlus : public QWidget, public TWinControl
{
    Q_OBJECT
    Q_PROPERTY(QStringList NomeSemana READ NomeSemana WRITE setNomeSemana)
    Q_PROPERTY(QColor ValidDateColor READ ValidDateColor WRITE setValidDateColor)
    Q_PROPERTY(QString ValidDateColorName READ validDateColorName WRITE setValidDateColorName)
    Q_PROPERTY(bool SaveTime READ SaveTime WRITE setSaveTime)
    Q_PROPERTY(QString ButtonBitmap READ ButtonBitmap WRITE setButtonBitmap)
    Q_PROPERTY(QString Text READ Text WRITE setText)
public:
    explicit TDateEditPlus(QWidget *parent = nullptr);
    ~TDateEditPlus() override;

    // The edit's raw text ("  /  /    " when nothing is typed).
    QString Text() const;
    void setText(const QString &text);
    void Clear();
    // The date of the text as a day count from 30 December 1899; 0 when the edit is empty or
    // the text is not a date. Without SaveTime the time of day is 0; with it, the time of day
    // at which the date was entered.
    double GetDate() const;
    QDate date() const;
    void setDate(const QDate &date);
    // Refuses a non-empty text that is not a valid date: message "Data inválida." and focus back
    // in the edit, then the silent abort. A valid short form is written out in full
    // ("01/01/26" becomes "01/01/2026"), as it is when the edit loses the focus.
    void CheckValidDate();
    // Whether the text differs from the one the edit had when it was entered (typed, pasted,
    // picked in the calendar or cleared since).
    bool ChangedSinceEnter() const;
    void markEntered() override;

    QStringList NomeSemana() const { return m_nomeSemana; }
    void setNomeSemana(const QStringList &names);
    QColor ValidDateColor() const { return m_validColor; }
    void setValidDateColor(const QColor &c);
    QString validDateColorName() const;
    void setValidDateColorName(const QString &name);
    bool SaveTime() const { return m_saveTime; }
    void setSaveTime(bool s) { m_saveTime = s; }
    QString ButtonBitmap() const { return m_buttonBitmap; }
    void setButtonBitmap(const QString &resource);

    QLineEdit *lineEdit() const { return m_edit; }
    QToolButton *calendarButton() const { return m_button; }
    // Opens the calendar popup (the calendar button, F4 and Alt+Down do this): the
    // QCalendarWidget "DateEditCalendar", a popup window owned by the edit, tall enough for six
    // weeks. Its weekday header is the row of labels "weekday0".."weekday6" (Sunday first)
    // showing NomeSemana, abbreviated to three letters when the names do not fit, with the full
    // names as tooltips. Arrows move by day and week, Page Up/Down by month (Ctrl: year),
    // Home/End go to the month's first and last day; Enter, a click or a double click on a day
    // picks it; the "Hoje" button or T picks today; Esc closes the popup.
    void showCalendar();
    // The popup calendar; null until it was first shown.
    QCalendarWidget *calendar() const { return m_calendar; }
    // The name shown for a day of the week (Qt::Monday 1 .. Qt::Sunday 7): the NomeSemana entry
    // (Sunday first), or the locale's short name when there is none.
    QString weekdayName(int dayOfWeek) const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void updateColor();
    void ensureCalendar();
    void updateWeekdayHeader();
    void pickDate(const QDate &date);
    bool calendarKey(QKeyEvent *key);
    void normaliseText();
    QLineEdit *m_edit;
    QString m_textAtEnter;
    QToolButton *m_button;
    QCalendarWidget *m_calendar = nullptr;
    QList<QLabel *> m_weekdayLabels;
    QTime m_time; // time of day the date was entered (SaveTime)
    QStringList m_nomeSemana;
    QColor m_validColor = Qt::blue;
    bool m_saveTime = false;
    QString m_buttonBitmap;
};
