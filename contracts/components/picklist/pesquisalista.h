#pragma once

#include "dataset.h"
#include "picklistcodec.h"

#include <QAbstractButton>
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

// The names of the rows picked into a pick-list string by the pick list of this run that wrote
// it (the row's first name column, "NM...", else its first shown column), in pick order; a
// key whose row the list never showed stands for itself. Empty for a string no pick list of
// this run wrote (a scripted pick, an earlier run).
COMPONENTS_EXPORT QStringList pickListNames(const QString &list);
// "1 selecionado", "3 selecionados".
COMPONENTS_EXPORT QString pickCountText(qsizetype count);
// What a pick-list string holds, for a tooltip or a report line: up to limit names joined by
// separator, then "e mais N"; only the count when the names are unknown; empty for no pick.
COMPONENTS_EXPORT QString pickSummaryText(const QString &list, int limit, const QString &separator);
// Shows what a list button picked: the button's tooltip lists the names (up to ten), and a
// small label beside it ("<button>Count") gives the count while the "Lista" radio is checked.
COMPONENTS_EXPORT void showPickSummary(QWidget *listButton, QAbstractButton *listRadio,
                                       const QString &list);
