#include "scriptedpick.h"

#include "busycursor.h"
#include "criteriafile.h"
#include "dataset.h"
#include "errors.h"
#include "pagedrowsmodel.h"
#include "pesquisalista.h"

#include <QSet>

ScriptedPick::ScriptedPick(QStringList keys)
    : m_keys(std::move(keys))
{}

void ScriptedPick::answer(TQueryDataset *dataset, const QString &keyField, const QString &title,
                          QString &list)
{
    ++m_calls;
    m_title = title;
    m_received = pickListKeys(list);

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
            MensErro(QStringLiteral("%1: chave '%2' não encontrada.").arg(title, shownValue(key)),
                     true);

    // Ordered as the dialog orders its pick: in the order picked, each key once.
    PickSet picked;
    for (const QString &key : std::as_const(m_keys))
        picked.insert(key);
    list = pickListToString(picked.keys());
}
