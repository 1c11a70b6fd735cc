#include "pesquisalista.h"

#include "busycursor.h"
#include "errors.h"
#include "lookupdialog.h"
#include "pagedrowsmodel.h"

#include <QApplication>
#include <QSet>

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

    if (ScriptedPick *scripted = ScriptedPick::current()) {
        scripted->answer(dataset, keyField, title, list);
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

// ---------------------------------------------------------------------------------------------
// Scripted picks

namespace {

ScriptedPick *g_scriptedPick = nullptr;

} // namespace

ScriptedPick::ScriptedPick(Mode mode, QStringList keys)
    : m_mode(mode)
    , m_keys(std::move(keys))
    , m_previous(g_scriptedPick)
{
    g_scriptedPick = this;
}

ScriptedPick::~ScriptedPick()
{
    g_scriptedPick = m_previous;
}

ScriptedPick *ScriptedPick::current()
{
    return g_scriptedPick;
}

void ScriptedPick::answer(TQueryDataset *dataset, const QString &keyField, const QString &title,
                          QString &list)
{
    ++m_calls;
    m_title = title;
    m_received = pickListKeys(list);
    if (m_mode == Mode::Keep)
        return;

    // Only keys the user could have checked in the list count as a pick.
    QSet<QString> existing;
    {
        BusyCursor busy;
        const QStringList column = dataset->fetchColumn(keyField);
        existing.reserve(column.size());
        for (const QString &value : column)
            existing.insert(PagedRowsModel::keyText(value));
    }
    for (const QString &key : std::as_const(m_keys))
        if (!existing.contains(key))
            MensErro(QCoreApplication::translate("PesquisaLista", "%1: chave '%2' não encontrada.")
                         .arg(title, key),
                     true);

    // Ordered as the dialog orders its pick: in the order picked, each key once.
    PickSet picked;
    for (const QString &key : std::as_const(m_keys))
        picked.insert(key);
    list = pickListToString(picked.keys());
}
