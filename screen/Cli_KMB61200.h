#pragma once

#include "Dadosgerrel.h"
#include "btnpesquisa.h"
#include "controls.h"
#include "dataset.h"
#include "dateedit.h"
#include "netconnection.h"

#define KMB61200_EXPORT __attribute__((visibility("default")))

// The screen's component members, in declaration order.
#define KMB61200_MEMBERS(X)                                                                        \
    X(TLabel, Label1)                                                                              \
    X(TMaskEdit, medCDFilial)                                                                      \
    X(TBtnPesquisa, BtnFilial)                                                                     \
    X(TEdit, edtNmFilial)                                                                          \
    X(TGroupBox, GroupBox1)                                                                        \
    X(TLabel, lblde)                                                                               \
    X(TLabel, lblate)                                                                              \
    X(TMaskEdit, medDeOrc)                                                                         \
    X(TMaskEdit, medAteOrc)                                                                        \
    X(TGroupBox, GroupBox2)                                                                        \
    X(TLabel, Label2)                                                                              \
    X(TGroupBox, GroupBox3)                                                                        \
    X(TGroupBox, GroupBox5)                                                                        \
    X(TGroupBox, GroupBox6)                                                                        \
    X(TRadioButton, rbtTdsForn)                                                                    \
    X(TRadioButton, rbtLisForn)                                                                    \
    X(TRadioButton, rbtTdsEvento)                                                                  \
    X(TRadioButton, rbtLisEvento)                                                                  \
    X(TRadioButton, rbtLisServ)                                                                    \
    X(TRadioButton, rbtTdsServ)                                                                    \
    X(TDateEditPlus, depDeEvento)                                                                  \
    X(TDateEditPlus, depAteEvento)                                                                 \
    X(TNetConnection, netRelForn)                                                                  \
    X(TADOIBQuery, qryPesqFilial)                                                                  \
    X(TADOIBStringField, qryPesqFilialCDFILIAL)                                                    \
    X(TADOIBStringField, qryPesqFilialNMFILIAL)                                                    \
    X(TDataSource, dtsFilial__)                                                                    \
    X(TADOIBQuery, qryVDFilial)                                                                    \
    X(TADOIBStringField, qryVDFilialCDFILIAL)                                                      \
    X(TADOIBStringField, qryVDFilialNMFILIAL)                                                      \
    X(TADOIBQuery, qryPesqEvento)                                                                  \
    X(TADOIBQuery, qryPesqServico)                                                                 \
    X(TDataSource, dtsEvento__)                                                                    \
    X(TDataSource, dtsServico__)                                                                   \
    X(TButtonFlat, sbtFornecedor)                                                                  \
    X(TButtonFlat, sbtEvento)                                                                      \
    X(TButtonFlat, sbtServico)                                                                     \
    X(TADOIBStringField, qryPesqEventoCDTIPOEVENTO)                                                \
    X(TADOIBStringField, qryPesqEventoNMTIPOEVENTO)                                                \
    X(TADOIBStringField, qryPesqServicoCDTPSERVEVEN)                                               \
    X(TADOIBStringField, qryPesqServicoNMTPSERVEVEN)                                               \
    X(TDataSource, dtsFornecedor__)                                                                \
    X(TADOIBQuery, qryPesqFornecedor)                                                              \
    X(TADOIBStringField, qryPesqFornecedorCDFORNECED)                                              \
    X(TADOIBStringField, qryPesqFornecedorIDTPIJURFORN)                                            \
    X(TADOIBStringField, qryPesqFornecedorNRINSJURFORN)                                            \
    X(TADOIBStringField, qryPesqFornecedorNMRAZSOCFORN)                                            \
    X(TADOIBStringField, qryPesqFornecedorNMFANTFORN)                                              \
    X(TADOIBQuery, qryPesqCliente)                                                                 \
    X(TDataSource, dtsCliente__)                                                                   \
    X(TADOIBStringField, qryPesqClienteCDCLIENTE)                                                  \
    X(TADOIBStringField, qryPesqClienteIDTPIJURCLIE)                                               \
    X(TADOIBStringField, qryPesqClienteNRINSJURCLIE)                                               \
    X(TADOIBStringField, qryPesqClienteNMRAZSOCCLIE)                                               \
    X(TADOIBStringField, qryPesqClienteNMFANTCLIE)                                                 \
    X(TGroupBox, GroupBox7)                                                                        \
    X(TRadioButton, rbtTdsProd)                                                                    \
    X(TRadioButton, rbtLisProd)                                                                    \
    X(TButtonFlat, sbtProduto)                                                                     \
    X(TGroupBox, GroupBox4)                                                                        \
    X(TRadioButton, rbtTdsCli)                                                                     \
    X(TRadioButton, rbtLisCli)                                                                     \
    X(TButtonFlat, sbtCliente)                                                                     \
    X(TDataSource, dtsProduto)                                                                     \
    X(TADOIBQuery, qryProduto)                                                                     \
    X(TADOIBStringField, qryProdutoCDARVPROD)                                                      \
    X(TADOIBStringField, qryProdutoNMPRODUTO)                                                      \
    X(TADOIBStringField, qryProdutoCDPRODUTO)

// Criteria screen of the report "Relação de Fornecedores do Orçamento" (KMB612).
class KMB61200_EXPORT TfrmRelForn : public TfrmDadosGerRel
{
    Q_OBJECT
public:
    explicit TfrmRelForn(QWidget *parent = nullptr);
    ~TfrmRelForn() override;

#define KMB61200_DECLARE_MEMBER(Type, Name) Type *Name = nullptr;
    KMB61200_MEMBERS(KMB61200_DECLARE_MEMBER)
#undef KMB61200_DECLARE_MEMBER

    // The member names in declaration order.
    static QStringList memberNames();

    // Report layout list.
    void cbbReportNamesChange(QObject *Sender);
    void cbbReportNamesExit(QObject *Sender);
    // Branch, budget and date criteria.
    void medCDFilialChange(QObject *Sender);
    void medCDFilialExit(QObject *Sender);
    void BtnFilialBeforePesq(QObject *Sender, bool &Continue);
    void BtnFilialAfterPesq(QObject *Sender);
    void medDeOrcChange(QObject *Sender);
    void medDeOrcExit(QObject *Sender);
    void medAteOrcExit(QObject *Sender);
    void depDeEventoExit(QObject *Sender);
    void depAteEventoExit(QObject *Sender);
    // Pick-list criteria.
    void rbtTdsFornClick(QObject *Sender);
    void rbtLisFornClick(QObject *Sender);
    void rbtLisFornKeyDown(QObject *Sender, quint16 &Key, TShiftState Shift);
    void sbtFornecedorClick(QObject *Sender);
    void rbtTdsEventoClick(QObject *Sender);
    void rbtLisEventoClick(QObject *Sender);
    void rbtLisEventoKeyDown(QObject *Sender, quint16 &Key, TShiftState Shift);
    void sbtEventoClick(QObject *Sender);
    void rbtLisServClick(QObject *Sender);
    void rbtLisServKeyDown(QObject *Sender, quint16 &Key, TShiftState Shift);
    void rbtTdsServClick(QObject *Sender);
    void sbtServicoClick(QObject *Sender);
    void rbtTdsProdClick(QObject *Sender);
    void rbtLisProdClick(QObject *Sender);
    void sbtProdutoClick(QObject *Sender);
    void rbtTdsCliClick(QObject *Sender);
    void rbtLisCliClick(QObject *Sender);
    void rbtLisCliKeyDown(QObject *Sender, quint16 &Key, TShiftState Shift);
    void sbtClienteClick(QObject *Sender);
    // Display texts of lookup fields.
    void qryPesqFornecedorNRINSJURFORNGetText(TField *Sender, QString &Text, bool DisplayText);
    void qryPesqClienteNRINSJURCLIEGetText(TField *Sender, QString &Text, bool DisplayText);
    void qryProdutoCDARVPRODGetText(TField *Sender, QString &Text, bool DisplayText);
    // Report parameters, lifecycle, application-server connection.
    void rpddPadraoBeforeGetQueryParams(TParams *Params, bool &Flag);
    void netRelFornBeforeConnect(QObject *Sender);
    void FormCreate(QObject *Sender);
    void FormClose(QObject *Sender, TCloseAction &Action);
    // Report actions.
    void sbtPreviewClick(QObject *Sender);
    void sbtPrintClick(QObject *Sender);
    void sbtSalvarComoClick(QObject *Sender);

    // Checks and the layout switch.
    void Vd_Cdfilial();
    void Vd_DTEvento();
    void Valida_Campos();
    void ValidaRel();

protected:
    QList<StoredLayout> layoutChain() const override;
    void collectHandlers(HandlerTable &table) override;
    void loaded() override;

private:
    void runChecks();
    // Shows, beside each list button, what its pick list holds.
    void showPicks();
    void openPickList(TADOIBQuery *query, bool reopen, TDataSource *dataSource,
                      const QString &keyField, const QString &titleKey, const QString &emptyKey,
                      QString &list, TRadioButton *listRadio);
};
