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
