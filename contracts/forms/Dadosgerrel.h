#pragma once

#include "controls.h"
#include "forms_global.h"
#include "messages.h"
#include "tform.h"

class TReportDesignerDialog;

// Base of every report-criteria screen: the report layout list of the screen's report code,
// the screen and report codes, the message table, the report runner, and the preview, print
// and save-as actions. A derived screen places its criteria inside grbDadosRel.
class FORMS_EXPORT TfrmDadosGerRel : public TForm
{
    Q_OBJECT
public:
    explicit TfrmDadosGerRel(QWidget *parent = nullptr);
    ~TfrmDadosGerRel() override;

    TLabel *lblCodTela = nullptr;
    TGroupBox *grbDadosRel = nullptr;
    TBevel *bvlSeparator = nullptr;
    TPanel *panRelat = nullptr;
    TComboBox *cbbReportNames = nullptr;
    TPanel *panMenu = nullptr;
    TLabel *lblCodRel = nullptr;
    TButtonFlat *sbtPreview = nullptr;
    TButtonFlat *sbtPrint = nullptr;
    TButtonFlat *sbtSalvarComo = nullptr;
    TMessages *msgPadrao = nullptr;
    TReportDesignerDialog *rpddPadrao = nullptr;

    // Base operations; a derived screen's handlers of the same names call them.
    void FormCreate(QObject *Sender);
    void FormClose(QObject *Sender, TCloseAction &Action);
    void sbtPreviewClick(QObject *Sender);
    void sbtPrintClick(QObject *Sender);
    void sbtSalvarComoClick(QObject *Sender);

    // The report definitions directory of the host's settings.
    static QString reportsDirectory();
    // What runs a report action; by default the report runner. Tests and command-line runs
    // may put their own in.
    enum class ReportAction { Preview, Print, SaveAs };
    using ReportRunner = std::function<void(ReportAction action, int reportIndex)>;
    void setReportRunner(ReportRunner runner) { m_runner = std::move(runner); }

    // Path the next save-as writes to without asking (command-line runs); empty asks the user.
    void setSaveAsPath(const QString &path) { m_saveAsPath = path; }
    QString lastSavedPath() const { return m_lastSavedPath; }

    // Writes the criteria the screen holds to a criteria file (criteriafile.h), so the same
    // report can run without the window. Raises EAppError when the file cannot be written;
    // a failure while reading a picked list propagates.
    void saveCriteria(const QString &path);
    // Ctrl+Shift+S: asks for a file name, writes the criteria to it and tells how to run them.
    void salvarCriteriosClick();

protected:
    QList<StoredLayout> layoutChain() const override;
    void collectHandlers(HandlerTable &table) override;
    void loaded() override;

private:
    int selectedReport();
    void run(ReportAction action);
    ReportRunner m_runner;
    QString m_definitionsError;
    QString m_saveAsPath;
    QString m_lastSavedPath;
};

// Registers the forms library's components with the layout loader.
FORMS_EXPORT void registerFormsComponents();
