#include "Dadosgerrel.h"

#include "application.h"
#include "componentregistry.h"
#include "criteriafile.h"
#include "errors.h"
#include "reportdesigner.h"
#include "reportpreview.h"
#include "screencriteria.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QScopeGuard>

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

void TfrmDadosGerRel::bindPickList(const TButtonFlat *listButton, const QString *list)
{
    m_pickLists.insert(listButton, list);
}

std::optional<QString> TfrmDadosGerRel::pickedList(const TButtonFlat *listButton) const
{
    const QString *list = m_pickLists.value(listButton);
    if (!list)
        return std::nullopt;
    return *list;
}

QString TfrmDadosGerRel::reportCode() const
{
    return lblCodRel->text();
}

QString TfrmDadosGerRel::screenCode() const
{
    return lblCodTela->text();
}

BatchScreen::Output TfrmDadosGerRel::runInto(const QString &path)
{
    const bool picture = path.endsWith(QLatin1String(".png"), Qt::CaseInsensitive);
    TButtonFlat *button = picture ? sbtPreview : sbtSalvarComo;
    if (!button || !button->OnClick)
        throw EAppError(QStringLiteral("A tela %1 não tem a ação de %2.")
                            .arg(screenCode(), picture ? QStringLiteral("visualizar")
                                                       : QStringLiteral("salvar como")));
    if (!picture) {
        // The screen's own handler: its checks, then the base action writing to the path.
        const QString asked = std::exchange(m_saveAsPath, path);
        const auto restore = qScopeGuard([&] { m_saveAsPath = asked; });
        m_lastSavedPath.clear();
        button->OnClick(button);
        return {m_lastSavedPath, m_lastSavedPath.isEmpty() ? -1 : rpddPadrao->lastLineCount()};
    }

    // A picture of the preview as the user would see it: the screen's own preview action,
    // then its window once the whole report is read and the first page painted.
    ReportPreviewDialog *before = rpddPadrao->lastPreview();
    button->OnClick(button);
    ReportPreviewDialog *preview = rpddPadrao->lastPreview();
    if (!preview || preview == before)
        return {};
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 1500 || (preview->isReading() && settle.elapsed() < 30000))
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    if (!preview->grab().save(path))
        throw EAppError(QStringLiteral("Não foi possível gravar o arquivo \"%1\".")
                            .arg(QDir::toNativeSeparators(path)));
    return {path, rpddPadrao->lastLineCount()};
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
    messagePresenter()->show(
        MessagePresenter::Kind::Information,
        QStringLiteral("Critérios gravados em '%1'.\n\nPara gerar o relatório sem a janela:\n%2")
            .arg(QDir::toNativeSeparators(path),
                 commandLineHint(code, cbbReportNames->currentIndex(), path)));
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
