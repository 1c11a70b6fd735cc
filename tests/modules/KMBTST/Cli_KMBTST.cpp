#include "Cli_KMBTST.h"

#include "errors.h"

TfrmTeste::TfrmTeste(QWidget *parent)
    : TfrmDadosGerRel(parent)
{}

TfrmTeste::~TfrmTeste() = default;

QList<TForm::StoredLayout> TfrmTeste::layoutChain() const
{
    return TfrmDadosGerRel::layoutChain()
           << StoredLayout{QStringLiteral(":/KMBTST/Cli_KMBTST.ui"),
                           QStringLiteral(":/KMBTST/Cli_KMBTST.json")};
}

void TfrmTeste::collectHandlers(HandlerTable &table)
{
    TfrmDadosGerRel::collectHandlers(table);
    table.add(QStringLiteral("rpddPadraoBeforeGetQueryParams"),
              TBeforeGetQueryParamsEvent(
                  [this](TParams *p, bool &f) { rpddPadraoBeforeGetQueryParams(p, f); }));
    table.add(QStringLiteral("sbtPreviewClick"),
              TNotifyEvent([this](QObject *s) { sbtPreviewClick(s); }));
    table.add(QStringLiteral("sbtSalvarComoClick"),
              TNotifyEvent([this](QObject *s) { sbtSalvarComoClick(s); }));
}

void TfrmTeste::loaded()
{
    TfrmDadosGerRel::loaded();
    edtTexto = component<TEdit>(QStringLiteral("edtTexto"));
    if (!edtTexto)
        throw EAppError(QStringLiteral("Componente 'edtTexto' ausente do leiaute."));
}

void TfrmTeste::checkCriteria()
{
    if (edtTexto->text().trimmed().isEmpty()) {
        edtTexto->SetFocus();
        MensErro(msgPadrao->Msg(QStringLiteral("TXT_N_INF")), true);
    }
}

void TfrmTeste::rpddPadraoBeforeGetQueryParams(TParams *Params, bool &)
{
    if (ExistParam(Params, QStringLiteral("P_TEXTO")))
        Params->ParamByName(QStringLiteral("P_TEXTO"))->SetAsString(edtTexto->text().trimmed());
}

void TfrmTeste::sbtPreviewClick(QObject *Sender)
{
    checkCriteria();
    TfrmDadosGerRel::sbtPreviewClick(Sender);
}

void TfrmTeste::sbtSalvarComoClick(QObject *Sender)
{
    checkCriteria();
    TfrmDadosGerRel::sbtSalvarComoClick(Sender);
}
