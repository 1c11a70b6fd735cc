#pragma once

#include "controls.h"
#include "dataset.h"
#include "errors.h"
#include "forms_global.h"

#include <QObject>
#include <QStringList>

#include <memory>

class QPrinter;
class QWidget;
class ReportDocument;
class ReportPreviewDialog;
class ReportProgress;
struct ReportDefinition;

// No definition of the report code in the directory; the base screen shows "Arq_Rel_Err".
class FORMS_EXPORT EReportNotFound : public EAppError
{
public:
    EReportNotFound(const QString &code, const QString &directory);
    QString code;
    QString directory;
};

// The report runner: loads the definitions of a report code, and runs one of them to a
// preview, a printer or a file. Before the report's query opens, BeforeGetQueryParams fires
// with the query's parameter collection and a flag by reference: the flag arrives true and a
// handler that sets it to false cancels the run without a message. The collection holds every
// parameter the definition declares, none assigned; a handler that raises ends the run with
// its exception (nothing is shown or written), and a parameter still unassigned afterwards
// ends it with an EAppError naming the parameter, before any query runs.
class FORMS_EXPORT TReportDesignerDialog : public QObject, public TComponent
{
    Q_OBJECT
public:
    explicit TReportDesignerDialog(QObject *parent = nullptr);
    ~TReportDesignerDialog() override;

    TBeforeGetQueryParamsEvent BeforeGetQueryParams;
    QStringList eventNames() const override { return {QStringLiteral("BeforeGetQueryParams")}; }
    BindResult bindEvent(const QString &event, const std::any &handler) override;

    // Loads the definitions of the code from the directory, in their fixed order, and returns
    // their names. Raises EReportNotFound when there is none, EAppError naming the file and the
    // fault for a malformed one.
    QStringList loadDefinitions(const QString &reportCode, const QString &directory);
    QStringList reportNames() const;
    int count() const;

    // Runs the definition at index. Each raises on failure (unset parameter, database error,
    // unwritable file) after which no file is left behind.
    void Preview(int index, QWidget *parent);
    void Print(int index, QWidget *parent);
    // Asks for a file (PDF or CSV) when path is empty; returns the path written or empty when
    // the user cancelled.
    QString SaveAs(int index, QWidget *parent, const QString &path = {});
    // Lines of the last run (rows of the report's query).
    qint64 lastLineCount() const;

    // The definition at index (loadDefinitions' order); EAppError when there is none.
    const ReportDefinition &definition(int index) const;
    QString reportCode() const;
    QString directory() const;
    // Runs against this named connection instead of the application's data module (tools).
    void setConnectionName(const QString &connectionName);
    // Prints to a printer set up by the caller, without the print dialog.
    void PrintTo(int index, QPrinter *printer, QWidget *parent);
    // Pages of the last run's document (0 for CSV).
    int lastPageCount() const;
    // The preview window the last Preview opened, while it is open.
    ReportPreviewDialog *lastPreview() const;

    // A run in progress: an action still reading or writing, or a preview still reading rows.
    bool isRunning() const;
    // Asks the run in progress to stop: an action returns without a file, a preview keeps the
    // rows read so far and says it is incomplete. Runs stop at their next step.
    void cancel();

signals:
    // Rows read (or pages written) so far, every few rows of a run.
    void progress(qint64 value);
    // An action ended (completed, cancelled or failed).
    void runFinished();

private:
    struct Run;
    class RunScope;
    bool prepareRun(int index, Run &run);
    std::unique_ptr<ReportDocument> buildDocument(Run &run, ReportProgress &progress);

    struct Private;
    std::unique_ptr<Private> d;
};
