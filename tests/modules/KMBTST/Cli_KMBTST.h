#pragma once

#include "Dadosgerrel.h"
#include "controls.h"
#include "dataset.h"

#define KMBTST_EXPORT __attribute__((visibility("default")))

// The branches whose name starts with a text (report KMBT01).
class KMBTST_EXPORT TfrmTeste : public TfrmDadosGerRel
{
    Q_OBJECT
public:
    explicit TfrmTeste(QWidget *parent = nullptr);
    ~TfrmTeste() override;

    TEdit *edtTexto = nullptr;

    void rpddPadraoBeforeGetQueryParams(TParams *Params, bool &Flag);
    void sbtPreviewClick(QObject *Sender);
    void sbtSalvarComoClick(QObject *Sender);

protected:
    QList<StoredLayout> layoutChain() const override;
    void collectHandlers(HandlerTable &table) override;
    void loaded() override;

private:
    void checkCriteria();
};
