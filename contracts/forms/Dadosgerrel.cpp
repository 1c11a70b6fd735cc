#include "Dadosgerrel.h"

#include "application.h"
#include "componentregistry.h"
#include "criteriafile.h"
#include "errors.h"
#include "reportdesigner.h"

#include <QAction>
#include <QDir>
#include <QFileDialog>

void registerFormsComponents()
{
    ComponentRegistry::registerObject(
        QStringLiteral("TReportDesignerDialog"),
        [](QObject *parent) -> QObject * { return new TReportDesignerDialog(parent); });
}

TfrmDadosGerRel::TfrmDadosGerRel(QWidget *parent)
    : TForm(parent)
{
    registerFormsComponents();
}

TfrmDadosGerRel::~TfrmDadosGerRel() = default;

QList<TForm::StoredLayout> TfrmDadosGerRel::layoutChain() const
{
    return {{QStringLiteral(":/forms/Dadosgerrel.ui"), QStringLiteral(":/forms/Dadosgerrel.json")}};
}

void TfrmDadosGerRel::collectHandlers(HandlerTable &table)
{
    table.add(QStringLiteral("FormCreate"), TNotifyEvent([this](QObject *s) { FormCreate(s); }));
    table.add(QStringLiteral("FormClose"),
              TCloseEvent([this](QObject *s, TCloseAction &a) { FormClose(s, a); }));
    table.add(QStringLiteral("sbtPreviewClick"),
              TNotifyEvent([this](QObject *s) { sbtPreviewClick(s); }));
    table.add(QStringLiteral("sbtPrintClick"),
              TNotifyEvent([this](QObject *s) { sbtPrintClick(s); }));
    table.add(QStringLiteral("sbtSalvarComoClick"),
              TNotifyEvent([this](QObject *s) { sbtSalvarComoClick(s); }));
}

void TfrmDadosGerRel::loaded()
{
    lblCodTela = component<TLabel>(QStringLiteral("lblCodTela"));
    grbDadosRel = component<TGroupBox>(QStringLiteral("grbDadosRel"));
    bvlSeparator = component<TBevel>(QStringLiteral("bvlSeparator"));
    panRelat = component<TPanel>(QStringLiteral("panRelat"));
    cbbReportNames = component<TComboBox>(QStringLiteral("cbbReportNames"));
    panMenu = component<TPanel>(QStringLiteral("panMenu"));
    lblCodRel = component<TLabel>(QStringLiteral("lblCodRel"));
    sbtPreview = component<TButtonFlat>(QStringLiteral("sbtPreview"));
    sbtPrint = component<TButtonFlat>(QStringLiteral("sbtPrint"));
    sbtSalvarComo = component<TButtonFlat>(QStringLiteral("sbtSalvarComo"));
    msgPadrao = component<TMessages>(QStringLiteral("msgPadrao"));
    rpddPadrao = component<TReportDesignerDialog>(QStringLiteral("rpddPadrao"));

    auto *saveCriteriaAction = new QAction(QStringLiteral("Salvar critérios..."), this);
    saveCriteriaAction->setObjectName(QStringLiteral("actSalvarCriterios"));
    saveCriteriaAction->setShortcut(QKeySequence(QStringLiteral("Ctrl+Shift+S")));
    saveCriteriaAction->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(saveCriteriaAction, &QAction::triggered, this,
            [this] { guarded([this] { salvarCriteriosClick(); }); });
    addAction(saveCriteriaAction);
}

void TfrmDadosGerRel::saveCriteria(const QString &path)
{
    ScreenCriteria(this).current().save(path);
}

void TfrmDadosGerRel::salvarCriteriosClick()
{
    const QString code = lblCodRel->text();
    const QString path = QFileDialog::getSaveFileName(
        this, QStringLiteral("Salvar critérios do relatório %1").arg(code),
        QStringLiteral("%1-criterios.txt").arg(code),
        QStringLiteral("Critérios de relatório (*.txt);;Todos os arquivos (*)"));
    if (path.isEmpty())
        return;
    saveCriteria(path);
    messagePresenter()->show(MessagePresenter::Kind::Information,
                             QStringLiteral("Critérios gravados em '%1'.\n\nPara gerar o relatório "
                                            "sem a janela:\nkmbhost --report %2 --layout %3 "
                                            "--criteria \"%1\" --out RELATORIO.pdf")
                                 .arg(QDir::toNativeSeparators(path), code,
                                      QString::number(cbbReportNames->currentIndex())));
}

QString TfrmDadosGerRel::reportsDirectory()
{
    const TApplication *app = TApplication::instance();
    return app ? app->settings().reportsDirectory : QString();
}

void TfrmDadosGerRel::FormCreate(QObject *)
{
    // The layout list of the report code, standard layout first and selected.
    cbbReportNames->clear();
    const QString code = lblCodRel->text();
    const QString dir = reportsDirectory();
    m_definitionsError.clear();
    try {
        cbbReportNames->addItems(rpddPadrao->loadDefinitions(code, dir));
    } catch (const EReportNotFound &) {
        m_definitionsError = FormatMsg(msgPadrao->Msg(QStringLiteral("Arq_Rel_Err")),
                                       {code, QDir::toNativeSeparators(dir)});
    } catch (const EAppError &e) {
        m_definitionsError = e.message(); // names the file and the fault
    }
    if (!m_definitionsError.isEmpty())
        MensErro(m_definitionsError, false);
    if (cbbReportNames->count() > 0)
        cbbReportNames->setCurrentIndex(0);
}

void TfrmDadosGerRel::FormClose(QObject *, TCloseAction &Action)
{
    if (rpddPadrao->isRunning()) {
        // Closing during a run cancels it and closes once the run has wound down.
        Action = TCloseAction::caNone;
        connect(
            rpddPadrao, &TReportDesignerDialog::runFinished, this, [this] { close(); },
            Qt::SingleShotConnection);
        rpddPadrao->cancel();
        return;
    }
    Action = TCloseAction::caFree;
}

int TfrmDadosGerRel::selectedReport()
{
    // Without definitions every action repeats what went wrong when they were loaded.
    if (rpddPadrao->count() == 0)
        MensErro(m_definitionsError.isEmpty()
                     ? FormatMsg(msgPadrao->Msg(QStringLiteral("Arq_Rel_Err")),
                                 {lblCodRel->text(), QDir::toNativeSeparators(reportsDirectory())})
                     : m_definitionsError,
                 true);
    const int index = cbbReportNames->currentIndex();
    if (index < 0 || index >= rpddPadrao->count())
        MensErro(QStringLiteral("Selecione um relatório."), true);
    return index;
}

void TfrmDadosGerRel::run(ReportAction action)
{
    const int index = selectedReport();
    if (m_runner) {
        m_runner(action, index);
        return;
    }
    switch (action) {
    case ReportAction::Preview:
        rpddPadrao->Preview(index, this);
        break;
    case ReportAction::Print:
        rpddPadrao->Print(index, this);
        break;
    case ReportAction::SaveAs:
        m_lastSavedPath = rpddPadrao->SaveAs(index, this, m_saveAsPath);
        break;
    }
}

void TfrmDadosGerRel::sbtPreviewClick(QObject *)
{
    run(ReportAction::Preview);
}

void TfrmDadosGerRel::sbtPrintClick(QObject *)
{
    run(ReportAction::Print);
}

void TfrmDadosGerRel::sbtSalvarComoClick(QObject *)
{
    run(ReportAction::SaveAs);
}
