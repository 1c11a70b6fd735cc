#pragma once

#include "dataset.h"
#include "pagedrowsmodel.h"

#include <QDialog>
#include <QHash>
#include <QStringList>
#include <QTimer>

class QLabel;
class QLineEdit;
class QTableView;

// The lookup dialog over a query dataset's rows, shared by the single-pick search (the search
// button) and the multi-pick list (PesquisaLista): a filter box served by the database after a
// short pause, and the rows read a page at a time as the list scrolls. Up/Down and PageUp/Down
// in the filter box move in the list.
//
// Single pick ("PesquisaDialog"): Enter, a double click or OK picks the current row; Esc
// cancels. Multiple pick ("PesquisaListaDialog"): a check box per row held as a set of keys,
// Space checks or unchecks the current row, "Marcar todos"/"Desmarcar todos" act on every row
// under the filter, Enter in the filter box filters at once, OK (also Enter in the list) accepts.
class COMPONENTS_EXPORT LookupDialog : public QDialog
{
public:
    enum class Mode { Single, Multiple };

    // keyField names the key of a multiple pick; picked are the keys picked when it opens.
    LookupDialog(Mode mode, TQueryDataset *dataset, const QString &keyField, const QString &title,
                 const QStringList &picked, QWidget *parent);

    // Reads the first page; raises on a database failure (before the dialog shows).
    void load();

    // Single pick: whether a row was picked, and its values.
    bool hasPick() const { return m_hasPick; }
    TRow pickedRow() const { return m_pickedRow; }
    // Multiple pick: the keys in the order they were picked (the incoming ones first).
    QStringList pickedKeys() const { return m_picked.keys(); }
    // Multiple pick: the names of the rows the list showed, by key.
    const QHash<QString, QString> &seenNames() const { return m_seenNames; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void applyColumnWidths();
    void applyFilter();
    void selectFirstRow();
    void pick();
    void markFiltered(bool mark);
    void updateCount();

    Mode m_mode;
    TQueryDataset *m_dataset;
    QString m_keyField;
    PickSet m_picked;
    QHash<QString, QString> m_seenNames;
    PagedRowsModel m_model;
    QLineEdit *m_filterEdit = nullptr;
    QTableView *m_view = nullptr;
    QLabel *m_countLabel = nullptr;
    QTimer m_filterTimer;
    bool m_hasPick = false;
    TRow m_pickedRow;
};
