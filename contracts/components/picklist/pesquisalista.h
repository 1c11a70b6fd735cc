#pragma once

#include "dataset.h"
#include "picklistcodec.h"

#include <QString>
#include <QStringList>

// The multi-choice pick list under the title, over the data source's rows. The keys come from
// keyField (shown or not); the keys already in list show as picked. OK writes the pick into
// list in one step, in the order picked (the keys that came in list first, in their order;
// "Marcar todos" adds rows in list order); Cancel or a failure leaves it as it came. The flag is
// reserved (always false from the screens).
//
// The dialog is the QDialog "PesquisaListaDialog" with the children "filterEdit" (QLineEdit
// "Filtrar:", served by the database after a short pause or at Enter), "resultView" (QTableView:
// the visible fields as columns through their display texts, a check box in the first column,
// rows read a page at a time as it scrolls), "selectAllButton" ("Marcar todos": every row under
// the filter), "selectNoneButton" ("Desmarcar todos": every row under the filter, or every
// key without one), "countLabel" (how many are picked), "okButton" ("OK", also Enter in the
// list) and "cancelButton" ("Cancelar", also Esc). Space checks or unchecks the current row.
COMPONENTS_EXPORT void PesquisaLista(TDataSource *dataSource, const QString &keyField,
                                     const QString &title, bool flag, QString &list);

// Automation of the pick list (reports run without a window, criteria written to a file):
// while a ScriptedPick is alive, PesquisaLista shows no dialog. Pick takes the given keys as
// the user's pick, after checking that the key field of the data source holds each of them (a
// missing key is refused with a message naming it, and the list stays as it came); Keep leaves
// the list as it came. Either records the title and the keys the list held when it was called.
// One at a time, on the user-interface thread.
class COMPONENTS_EXPORT ScriptedPick
{
public:
    enum class Mode { Pick, Keep };
    explicit ScriptedPick(Mode mode, QStringList keys = {});
    ~ScriptedPick();
    ScriptedPick(const ScriptedPick &) = delete;
    ScriptedPick &operator=(const ScriptedPick &) = delete;

    // The one installed, or null.
    static ScriptedPick *current();

    // How many times PesquisaLista ran while this was installed, and what it got last time.
    int calls() const { return m_calls; }
    QString title() const { return m_title; }
    QStringList receivedKeys() const { return m_received; }

    // Answers PesquisaLista in place of the dialog.
    void answer(TQueryDataset *dataset, const QString &keyField, const QString &title,
                QString &list);

private:
    Mode m_mode;
    QStringList m_keys;
    ScriptedPick *m_previous;
    int m_calls = 0;
    QString m_title;
    QStringList m_received;
};
