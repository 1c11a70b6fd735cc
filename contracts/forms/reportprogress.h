#pragma once

#include "forms_global.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QString>

#include <functional>

class QObject;
class QProgressDialog;
class QWidget;

// Progress of a long report run on the user-interface thread. Keeps the windows repainting by
// processing events now and then, shows a cancellable progress dialog once the run takes longer
// than a moment, and tells the run whether to go on.
class FORMS_EXPORT ReportProgress
{
public:
    // guard: the object whose destruction (the screen closing under the run) ends the run with
    // the silent abort; cancelFlag: set by whoever asks the run to stop (may be null).
    ReportProgress(QWidget *parent, QObject *guard, const QString &title, bool *cancelFlag);
    ~ReportProgress();
    ReportProgress(const ReportProgress &) = delete;
    ReportProgress &operator=(const ReportProgress &) = delete;

    // The text under the title and the range of the values given to step (max 0: unknown).
    void setPhase(const QString &text, int maximum);
    // Called every few rows or pages: false when the user cancelled.
    bool step(qint64 value);
    bool cancelled() const;
    // Takes the dialog down while another dialog asks the user something; the next steps show
    // it again if the run still takes long.
    void pause();
    // Called with the value at every step (the runner's progress signal).
    std::function<void(qint64)> onStep;

private:
    void update(qint64 value);

    QPointer<QWidget> m_parent;
    QPointer<QObject> m_guard;
    QString m_title;
    QString m_phase;
    int m_maximum = 0;
    bool *m_cancelFlag;
    bool m_cancelled = false;
    QElapsedTimer m_started;
    QElapsedTimer m_lastEvents;
    QPointer<QProgressDialog> m_dialog;
};
