#include "pesquisalista.h"

#include "errors.h"
#include "lookupdialog.h"
#include "pagedrowsmodel.h"
#include "pickresponder.h"

#include <QApplication>

// ---------------------------------------------------------------------------------------------
// The multi-choice pick list

void PesquisaLista(TDataSource *dataSource, const QString &keyField, const QString &title,
                   bool flag, QString &list)
{
    Q_UNUSED(flag) // reserved: the screens always pass false
    TQueryDataset *dataset = dataSource ? dataSource->DataSet() : nullptr;
    if (!dataset || !dataset->query())
        throw EAppError(
            QCoreApplication::translate("PesquisaLista", "Lista de pesquisa sem fonte de dados."));
    TADOIBQuery *query = dataset->query();
    query->Open();

    if (PickResponder *responder = PickResponder::installed()) {
        responder->answer(dataset, keyField, title, list);
        return;
    }

    // The list shows rows by making each current in turn; the caller's current row comes back.
    const TRow saved = query->currentRow();
    struct RestoreRow
    {
        TQueryDataset *dataset;
        const TRow &row;
        ~RestoreRow()
        {
            try {
                dataset->setCurrentRow(row);
            } catch (...) {
                // Nothing to restore into: the query is gone or closed.
            }
        }
    } restore{dataset, saved};

    LookupDialog dialog(LookupDialog::Mode::Multiple, dataset, keyField, title, pickListKeys(list),
                        QApplication::activeWindow());
    dialog.load();
    if (dialog.exec() != QDialog::Accepted)
        return;
    // Written in one step, only once the new string is complete.
    list = pickListToString(dialog.pickedKeys());
}
