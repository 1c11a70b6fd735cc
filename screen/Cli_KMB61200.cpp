#include "Cli_KMB61200.h"

#include "Pkg_KMB61200.h"
#include "errors.h"
#include "mask.h"
#include "pesquisalista.h"

#include <QCoreApplication>

TfrmRelForn::TfrmRelForn(QWidget *parent)
    : TfrmDadosGerRel(parent)
{}

TfrmRelForn::~TfrmRelForn() = default;

QStringList TfrmRelForn::memberNames()
{
#define KMB61200_MEMBER_NAME(Type, Name) QStringLiteral(#Name),
    return {KMB61200_MEMBERS(KMB61200_MEMBER_NAME)};
#undef KMB61200_MEMBER_NAME
}

QList<TForm::StoredLayout> TfrmRelForn::layoutChain() const
{
    return TfrmDadosGerRel::layoutChain()
           << StoredLayout{QStringLiteral(":/KMB61200/Cli_KMB61200.ui"),
                           QStringLiteral(":/KMB61200/Cli_KMB61200.json")};
}

void TfrmRelForn::collectHandlers(HandlerTable &table)
{
    TfrmDadosGerRel::collectHandlers(table);
#define NOTIFY(h) table.add(QStringLiteral(#h), TNotifyEvent([this](QObject *s) { h(s); }))
#define KEYDOWN(h)                                                                                 \
    table.add(QStringLiteral(#h),                                                                  \
              TKeyEvent([this](QObject *s, quint16 &k, TShiftState sh) { h(s, k, sh); }))
#define GETTEXT(h)                                                                                 \
    table.add(QStringLiteral(#h),                                                                  \
              TFieldGetTextEvent([this](TField *f, QString &t, bool d) { h(f, t, d); }))
    NOTIFY(cbbReportNamesChange);
    NOTIFY(cbbReportNamesExit);
    NOTIFY(medCDFilialChange);
    NOTIFY(medCDFilialExit);
    table.add(QStringLiteral("BtnFilialBeforePesq"),
              TBeforePesqEvent([this](QObject *s, bool &c) { BtnFilialBeforePesq(s, c); }));
    NOTIFY(BtnFilialAfterPesq);
    NOTIFY(medDeOrcChange);
    NOTIFY(medDeOrcExit);
    NOTIFY(medAteOrcExit);
    NOTIFY(depDeEventoExit);
    NOTIFY(depAteEventoExit);
    NOTIFY(rbtTdsFornClick);
    NOTIFY(rbtLisFornClick);
    KEYDOWN(rbtLisFornKeyDown);
    NOTIFY(sbtFornecedorClick);
    NOTIFY(rbtTdsEventoClick);
    NOTIFY(rbtLisEventoClick);
    KEYDOWN(rbtLisEventoKeyDown);
    NOTIFY(sbtEventoClick);
    NOTIFY(rbtLisServClick);
    KEYDOWN(rbtLisServKeyDown);
    NOTIFY(rbtTdsServClick);
    NOTIFY(sbtServicoClick);
    NOTIFY(rbtTdsProdClick);
    NOTIFY(rbtLisProdClick);
    NOTIFY(sbtProdutoClick);
    NOTIFY(rbtTdsCliClick);
    NOTIFY(rbtLisCliClick);
    KEYDOWN(rbtLisCliKeyDown);
    NOTIFY(sbtClienteClick);
    GETTEXT(qryPesqFornecedorNRINSJURFORNGetText);
    GETTEXT(qryPesqClienteNRINSJURCLIEGetText);
    GETTEXT(qryProdutoCDARVPRODGetText);
    table.add(QStringLiteral("rpddPadraoBeforeGetQueryParams"),
              TBeforeGetQueryParamsEvent(
                  [this](TParams *p, bool &f) { rpddPadraoBeforeGetQueryParams(p, f); }));
    NOTIFY(netRelFornBeforeConnect);
    NOTIFY(FormCreate);
    table.add(QStringLiteral("FormClose"),
              TCloseEvent([this](QObject *s, TCloseAction &a) { FormClose(s, a); }));
    NOTIFY(sbtPreviewClick);
    NOTIFY(sbtPrintClick);
    NOTIFY(sbtSalvarComoClick);
#undef NOTIFY
#undef KEYDOWN
#undef GETTEXT
}

void TfrmRelForn::loaded()
{
    TfrmDadosGerRel::loaded();
#define KMB61200_FILL_MEMBER(Type, Name)                                                           \
    Name = component<Type>(QStringLiteral(#Name));                                                 \
    if (!Name)                                                                                     \
        throw EAppError(                                                                           \
            QCoreApplication::translate("TfrmRelForn", "Componente '%1' ausente do leiaute.")      \
                .arg(#Name));
    KMB61200_MEMBERS(KMB61200_FILL_MEMBER)
#undef KMB61200_FILL_MEMBER
    // What each list button hands to its pick list, for criteria written without opening it.
    bindPickList(sbtFornecedor, &LisForn);
    bindPickList(sbtCliente, &LisCli);
    bindPickList(sbtEvento, &LisEvento);
    bindPickList(sbtServico, &LisServ);
    bindPickList(sbtProduto, &LisProd);
}

// ---------------------------------------------------------------------------------------------
// Report layout variants

void TfrmRelForn::cbbReportNamesChange(QObject *)
{
    ValidaRel();
}

void TfrmRelForn::cbbReportNamesExit(QObject *)
{
    ValidaRel();
}

namespace {

void enableAll(std::initializer_list<QWidget *> widgets, bool enabled)
{
    for (QWidget *w : widgets)
        w->setEnabled(enabled);
}

void showAll(std::initializer_list<QWidget *> widgets, bool visible)
{
    for (QWidget *w : widgets)
        w->setVisible(visible);
}

} // namespace

void TfrmRelForn::ValidaRel()
{
    if (cbbReportNames->ItemIndex() == 1) {
        // Product layout: products in place of clients; event and service types greyed out.
        enableAll({GroupBox7, rbtTdsProd, rbtLisProd}, true);
        showAll({GroupBox7, rbtTdsProd, rbtLisProd, sbtProduto}, true);
        enableAll({GroupBox4, rbtTdsCli, rbtLisCli}, false);
        showAll({GroupBox4, rbtTdsCli, rbtLisCli}, false);
        enableAll({GroupBox5, rbtTdsEvento, rbtLisEvento, GroupBox6, rbtTdsServ, rbtLisServ},
                  false);
    } else {
        enableAll({GroupBox7, rbtTdsProd, rbtLisProd, sbtProduto}, false);
        showAll({GroupBox7, rbtTdsProd, rbtLisProd, sbtProduto}, false);
        enableAll({GroupBox4, rbtTdsCli, rbtLisCli}, true);
        showAll({GroupBox4, rbtTdsCli, rbtLisCli, sbtCliente}, true);
        enableAll({GroupBox5, rbtTdsEvento, rbtLisEvento, GroupBox6, rbtTdsServ, rbtLisServ}, true);
    }
}

// ---------------------------------------------------------------------------------------------
// Criteria entry

void TfrmRelForn::medCDFilialChange(QObject *)
{
    edtNmFilial->Clear();
}

void TfrmRelForn::medCDFilialExit(QObject *)
{
    Vd_Cdfilial();
}

void TfrmRelForn::BtnFilialBeforePesq(QObject *, bool &)
{
    qryPesqFilial->Close();
}

void TfrmRelForn::BtnFilialAfterPesq(QObject *)
{
    // The code first: setting it clears the name.
    medCDFilial->setText(qryPesqFilialCDFILIAL->AsString());
    edtNmFilial->setText(qryPesqFilialNMFILIAL->AsString());
}

void TfrmRelForn::medDeOrcChange(QObject *)
{
    medAteOrc->setText(medDeOrc->text());
}

void TfrmRelForn::medDeOrcExit(QObject *)
{
    medDeOrc->setText(Ajusta(medDeOrc->text(), 10));
}

void TfrmRelForn::medAteOrcExit(QObject *)
{
    medAteOrc->setText(Ajusta(medAteOrc->text(), 10));
}

void TfrmRelForn::depDeEventoExit(QObject *)
{
    depDeEvento->CheckValidDate();
    // The end follows the start as a typing convenience: only when the start was changed during
    // this visit and is really left. An action completing the exit only checks the date, so it
    // never changes a criterion the user did not touch.
    if (isCompletingExit() || !depDeEvento->ChangedSinceEnter())
        return;
    depAteEvento->setText(depDeEvento->Text());
}

void TfrmRelForn::depAteEventoExit(QObject *)
{
    depAteEvento->CheckValidDate();
}

// ---------------------------------------------------------------------------------------------
// Checks

void TfrmRelForn::Vd_Cdfilial()
{
    // Any failure puts the focus back into the branch edit after its message.
    try {
        if (EmptyString(medCDFilial->text()))
            MensErro(msgPadrao->Msg(QStringLiteral("FILI_N_INF")), true);
        medCDFilial->setText(Ajusta(medCDFilial->text(), 4));
        qryVDFilial->Close();
        qryVDFilial->ParamByName(QStringLiteral("P_CDFILIAL"))->SetAsString(medCDFilial->text());
        qryVDFilial->Open();
        if (qryVDFilial->IsEmpty())
            MensErro(msgPadrao->Msg(QStringLiteral("FILI_N_CAD")), true);
        edtNmFilial->setText(qryVDFilialNMFILIAL->AsString());
    } catch (...) {
        medCDFilial->SetFocus();
        throw;
    }
}

void TfrmRelForn::Vd_DTEvento()
{
    // A half-typed date is refused by its own edit rather than read as no date.
    depDeEvento->CheckValidDate();
    depAteEvento->CheckValidDate();
    if (EmptyString(depDeEvento->Text()) || EmptyString(depAteEvento->Text()))
        return;
    if (depAteEvento->GetDate() < depDeEvento->GetDate()) {
        depDeEvento->SetFocus();
        MensErro(msgPadrao->Msg(QStringLiteral("DT_EVEN_MAI")), true);
    }
}

void TfrmRelForn::Valida_Campos()
{
    auto refuse = [this](TWinControl *control, const char *key) {
        control->SetFocus();
        MensErro(msgPadrao->Msg(QString::fromLatin1(key)), true);
    };
    const QString inicio = medDeOrc->text();
    const QString fim = medAteOrc->text();
    const bool inicioVazio = EmptyString(inicio);
    const bool fimVazio = EmptyString(fim);
    // Plain ordinal comparison of the texts as they stand.
    if (!inicioVazio && !fimVazio && QString::compare(inicio, fim, Qt::CaseSensitive) > 0)
        refuse(medDeOrc, "NRINI>NRFIN");
    if (inicioVazio && !fimVazio)
        refuse(medDeOrc, "NRINI");
    if (!inicioVazio && fimVazio)
        refuse(medAteOrc, "NRFIN");
    if (rbtLisCli->Checked() && EmptyString(LisCli))
        refuse(rbtLisCli, "CLI_N_INF");
    if (rbtLisServ->Checked() && EmptyString(LisServ))
        refuse(rbtLisServ, "SERV_N_INF");
    if (rbtLisForn->Checked() && EmptyString(LisForn))
        refuse(rbtLisForn, "FOR_INF");
    if (rbtLisEvento->Checked() && EmptyString(LisEvento))
        refuse(rbtLisEvento, "TP_EVEN_INF");
    if (rbtLisProd->Checked() && EmptyString(LisProd))
        refuse(rbtLisProd, "PROD_N_INF");
}

void TfrmRelForn::runChecks()
{
    // The toolbar buttons take no focus: finish leaving the focused criteria control first, so
    // its normalisation and checks have run before the criteria are checked (its copies into
    // other criteria do not run: the focus has not left it).
    completeActiveExit();
    Vd_Cdfilial();
    Vd_DTEvento();
    Valida_Campos();
}

void TfrmRelForn::sbtPreviewClick(QObject *Sender)
{
    runChecks();
    TfrmDadosGerRel::sbtPreviewClick(Sender);
}

void TfrmRelForn::sbtPrintClick(QObject *Sender)
{
    runChecks();
    TfrmDadosGerRel::sbtPrintClick(Sender);
}

void TfrmRelForn::sbtSalvarComoClick(QObject *Sender)
{
    runChecks();
    TfrmDadosGerRel::sbtSalvarComoClick(Sender);
}

// ---------------------------------------------------------------------------------------------
// Pick lists

void TfrmRelForn::rbtTdsFornClick(QObject *)
{
    sbtFornecedor->setEnabled(false);
}

void TfrmRelForn::rbtLisFornClick(QObject *)
{
    sbtFornecedor->setEnabled(true);
}

void TfrmRelForn::rbtTdsEventoClick(QObject *)
{
    sbtEvento->setEnabled(false);
}

void TfrmRelForn::rbtLisEventoClick(QObject *)
{
    sbtEvento->setEnabled(true);
}

void TfrmRelForn::rbtLisServClick(QObject *)
{
    sbtServico->setEnabled(true);
}

void TfrmRelForn::rbtTdsServClick(QObject *)
{
    sbtServico->setEnabled(false);
}

void TfrmRelForn::rbtTdsProdClick(QObject *)
{
    sbtProduto->setEnabled(false);
}

void TfrmRelForn::rbtLisProdClick(QObject *)
{
    sbtProduto->setEnabled(true);
}

void TfrmRelForn::rbtTdsCliClick(QObject *)
{
    sbtCliente->setEnabled(false);
}

void TfrmRelForn::rbtLisCliClick(QObject *)
{
    sbtCliente->setEnabled(true);
}

void TfrmRelForn::openPickList(TADOIBQuery *query, bool reopen, TDataSource *dataSource,
                               const QString &keyField, const QString &titleKey,
                               const QString &emptyKey, QString &list, TRadioButton *listRadio)
{
    if (reopen)
        query->Close();
    query->Open();
    try {
        if (query->IsEmpty())
            MensErro(msgPadrao->Msg(emptyKey), true);
    } catch (...) {
        listRadio->SetFocus();
        throw;
    }
    const QString title = msgPadrao->Msg(titleKey);
    PesquisaLista(dataSource, keyField, title, false, list);
    showPicks();
}

void TfrmRelForn::showPicks()
{
    showPickSummary(sbtFornecedor, rbtLisForn, LisForn);
    showPickSummary(sbtCliente, rbtLisCli, LisCli);
    showPickSummary(sbtEvento, rbtLisEvento, LisEvento);
    showPickSummary(sbtServico, rbtLisServ, LisServ);
    showPickSummary(sbtProduto, rbtLisProd, LisProd);
}

void TfrmRelForn::sbtFornecedorClick(QObject *)
{
    openPickList(qryPesqFornecedor, false, dtsFornecedor__, QStringLiteral("CDFORNECED"),
                 QStringLiteral("FORNECEDOR"), QStringLiteral("FORN_N_CAD"), LisForn, rbtLisForn);
}

void TfrmRelForn::sbtClienteClick(QObject *)
{
    openPickList(qryPesqCliente, false, dtsCliente__, QStringLiteral("CDCLIENTE"),
                 QStringLiteral("CLIENTE"), QStringLiteral("N_CLI_CAD"), LisCli, rbtLisCli);
}

void TfrmRelForn::sbtEventoClick(QObject *)
{
    openPickList(qryPesqEvento, false, dtsEvento__, QStringLiteral("CDTIPOEVENTO"),
                 QStringLiteral("TP_EVEN"), QStringLiteral("TPEVEN_N_CAD"), LisEvento,
                 rbtLisEvento);
}

void TfrmRelForn::sbtServicoClick(QObject *)
{
    openPickList(qryPesqServico, false, dtsServico__, QStringLiteral("CDTPSERVEVEN"),
                 QStringLiteral("TP_SERV"), QStringLiteral("TPSERV_N_CAD"), LisServ, rbtLisServ);
}

void TfrmRelForn::sbtProdutoClick(QObject *)
{
    // The product table is read afresh at every click.
    openPickList(qryProduto, true, dtsProduto, QStringLiteral("CDPRODUTO"),
                 QStringLiteral("PRODUTO"), QStringLiteral("PROD_N_INF"), LisProd, rbtLisProd);
}

void TfrmRelForn::rbtLisFornKeyDown(QObject *, quint16 &Key, TShiftState)
{
    if (Key == VK::F9)
        sbtFornecedorClick(sbtFornecedor);
}

void TfrmRelForn::rbtLisEventoKeyDown(QObject *, quint16 &Key, TShiftState)
{
    if (Key == VK::F9)
        sbtEventoClick(sbtEvento);
}

void TfrmRelForn::rbtLisServKeyDown(QObject *, quint16 &Key, TShiftState)
{
    if (Key == VK::F9)
        sbtServicoClick(sbtServico);
}

void TfrmRelForn::rbtLisCliKeyDown(QObject *, quint16 &Key, TShiftState)
{
    if (Key == VK::F9)
        sbtClienteClick(sbtCliente);
}

void TfrmRelForn::qryPesqFornecedorNRINSJURFORNGetText(TField *, QString &Text, bool)
{
    Text = FormatMaskText(PictPess(qryPesqFornecedorIDTPIJURFORN->AsString()),
                          qryPesqFornecedorNRINSJURFORN->AsString());
}

void TfrmRelForn::qryPesqClienteNRINSJURCLIEGetText(TField *, QString &Text, bool)
{
    Text = FormatMaskText(PictPess(qryPesqClienteIDTPIJURCLIE->AsString()),
                          qryPesqClienteNRINSJURCLIE->AsString());
}

void TfrmRelForn::qryProdutoCDARVPRODGetText(TField *, QString &Text, bool)
{
    Text = FormatMaskText(DBPict(TPictType::ptArvProd), qryProdutoCDARVPROD->AsString());
}

// ---------------------------------------------------------------------------------------------
// Report parameters

void TfrmRelForn::rpddPadraoBeforeGetQueryParams(TParams *Params, bool &)
{
    auto setString = [Params](const char *name, const QString &value) {
        const QString n = QString::fromLatin1(name);
        if (ExistParam(Params, n))
            Params->ParamByName(n)->SetAsString(value);
    };
    auto setVariant = [Params](const char *name, const QString &value) {
        const QString n = QString::fromLatin1(name);
        if (ExistParam(Params, n))
            Params->ParamByName(n)->SetAsVariant(QVariant(value));
    };
    auto setDate = [Params](const char *name, const std::function<TDateTime()> &value) {
        const QString n = QString::fromLatin1(name);
        if (ExistParam(Params, n))
            Params->ParamByName(n)->SetAsDateTime(value());
    };
    const QString all = QStringLiteral("T");
    const QString none = QString(QLatin1String(""));

    setString("P_CDFILIAL", medCDFilial->text());

    const bool todosOrc = EmptyString(medDeOrc->text()) && EmptyString(medAteOrc->text());
    setVariant("P_TNRORCAEVENTO", todosOrc ? all : none);
    setVariant("P_NRORCAEVENTOINI", todosOrc ? none : medDeOrc->text());
    setVariant("P_NRORCAEVENTOFIN", todosOrc ? none : medAteOrc->text());

    const bool todasDatas = EmptyString(depDeEvento->Text()) && EmptyString(depAteEvento->Text());
    setVariant("P_TDTEVENTO", todasDatas ? all : none);
    setDate("P_DTINICIAL", [&] { return todasDatas ? 0.0 : depDeEvento->GetDate(); });
    setDate("P_DTFINAL", [&] { return todasDatas ? 0.0 : depAteEvento->GetDate(); });

    setString("P_TCLIENTE", rbtTdsCli->Checked() ? all : none);
    setString("P_CLIENTE", rbtLisCli->Checked() ? LisCli : none);
    setString("P_TTIPOEVENTO", rbtTdsEvento->Checked() ? all : LisEvento);
    setString("P_TIPOEVENTO", rbtLisEvento->Checked() ? LisEvento : none);
    setString("P_TCDTPSERVEVEN", rbtTdsServ->Checked() ? all : LisServ);
    setString("P_CDTPSERVEVEN", rbtLisServ->Checked() ? LisServ : none);
    setString("P_TCDFORNECED", rbtTdsForn->Checked() ? all : none);
    setString("P_CDFORNECED", rbtLisForn->Checked() ? LisForn : none);
    setString("P_TPRODUTO", rbtTdsProd->Checked() ? all : none);
    setString("P_CDPRODUTO", rbtLisProd->Checked() ? LisProd : none);
}

// ---------------------------------------------------------------------------------------------
// Lifecycle and the application-server connection

void TfrmRelForn::FormCreate(QObject *Sender)
{
    TfrmDadosGerRel::FormCreate(Sender);
    depDeEvento->Clear();
    depAteEvento->Clear();
    qryProdutoCDARVPROD->setEditMask(DBPict(TPictType::ptArvProd));
    netRelForn->SetConnected(true);
    showPicks(); // the picks outlive the screen
}

void TfrmRelForn::netRelFornBeforeConnect(QObject *)
{
    netRelForn->setHost(WebURL());
    netRelForn->setPort(WebPort());
}

void TfrmRelForn::FormClose(QObject *Sender, TCloseAction &Action)
{
    TfrmDadosGerRel::FormClose(Sender, Action);
    netRelForn->SetConnected(false);
}
