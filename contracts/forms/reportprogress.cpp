#include "reportprogress.h"

#include "errors.h"
#include "ptbr.h"

#include <QApplication>
#include <QLocale>
#include <QProgressDialog>

namespace {
const qint64 kShowAfterMs = 400;
const qint64 kEventsEveryMs = 40;
} // namespace

ReportProgress::ReportProgress(QWidget *parent, QObject *guard, const QString &title,
                               bool *cancelFlag)
    : m_parent(parent)
    , m_guard(guard)
    , m_title(title)
    , m_cancelFlag(cancelFlag)
{
    m_started.start();
    m_lastEvents.start();
}

ReportProgress::~ReportProgress()
{
    delete m_dialog.data();
}

void ReportProgress::setPhase(const QString &text, int maximum)
{
    m_phase = text;
    m_maximum = maximum;
    if (m_dialog) {
        m_dialog->setLabelText(text);
        m_dialog->setRange(0, maximum);
    }
}

void ReportProgress::pause()
{
    if (m_dialog && m_dialog->wasCanceled())
        m_cancelled = true;
    delete m_dialog.data();
    m_started.restart();
}

bool ReportProgress::cancelled() const
{
    return m_cancelled || (m_cancelFlag && *m_cancelFlag) || (m_dialog && m_dialog->wasCanceled());
}

bool ReportProgress::step(qint64 value)
{
    if (onStep)
        onStep(value);
    if (m_lastEvents.elapsed() >= kEventsEveryMs) {
        update(value);
        m_lastEvents.restart();
        // Before the dialog shows (it blocks input to the screen), only paint: a click must not
        // start a second action in the middle of this one.
        QCoreApplication::processEvents(m_dialog && m_dialog->isVisible()
                                            ? QEventLoop::AllEvents
                                            : QEventLoop::ExcludeUserInputEvents);
        if (!m_guard)
            throw EAbort{}; // the screen was closed under the run: stop without a message
    }
    if (cancelled())
        m_cancelled = true;
    return !m_cancelled;
}

void ReportProgress::update(qint64 value)
{
    if (!m_dialog && m_started.elapsed() >= kShowAfterMs && qApp) {
        m_dialog = new QProgressDialog(m_parent);
        m_dialog->setWindowTitle(m_title);
        m_dialog->setWindowModality(Qt::WindowModal);
        m_dialog->setCancelButtonText(QStringLiteral("Cancelar"));
        m_dialog->setMinimumDuration(0);
        m_dialog->setAutoClose(false);
        m_dialog->setAutoReset(false);
        m_dialog->setLabelText(m_phase);
        m_dialog->setRange(0, m_maximum);
        m_dialog->setMinimumWidth(360);
        m_dialog->show();
    }
    if (m_dialog) {
        if (m_maximum > 0) {
            m_dialog->setValue(int(qMin<qint64>(value, m_maximum)));
        } else {
            m_dialog->setLabelText(QStringLiteral("%1\n%2 linhas lidas")
                                       .arg(m_phase, brazilianLocale().toString(qlonglong(value))));
        }
    }
}
