#pragma once

#include "dataset.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QPointer>
#include <QStringList>

#include <functional>

// Picked keys in the order they were picked, with constant-time membership. Unpicking leaves a
// stale entry in the order that keys() skips; the order is compacted when stale entries
// outnumber the live ones.
class COMPONENTS_EXPORT PickSet
{
public:
    bool contains(const QString &key) const { return m_position.contains(key); }
    void insert(const QString &key);
    void remove(const QString &key);
    void clear();
    void reserve(qsizetype n);
    qsizetype size() const { return m_position.size(); }
    // The picked keys, each once, in the order they were picked.
    QStringList keys() const;

private:
    QHash<QString, qsizetype> m_position; // key -> 1 + index of its live entry in m_order
    QStringList m_order;
};

// The rows of a query dataset for the search and pick-list dialogs: the visible fields as
// columns, read a page at a time in paging order as the view scrolls, filtered by the
// database. Only the rows scrolled to are held. With a picked set the first column carries a
// check box per row, checked when the row's key is in the set.
class COMPONENTS_EXPORT PagedRowsModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    static constexpr int PageSize = 200;

    // Raises EAppError when keyField names no field of the query (an empty keyField: no key).
    PagedRowsModel(TQueryDataset *dataset, const QString &keyField, QObject *parent = nullptr);

    // Reads the first page for the filter text, replacing the rows; raises on a database failure.
    void setFilter(const QString &text);
    QString filter() const { return m_filter; }

    // Rows checkable against a set of keys the caller owns; onChange runs after a check changed.
    void setPicked(PickSet *picked, std::function<void()> onChange = {});
    // Checks or unchecks the row.
    void toggle(int row);
    // Tells the view the check state of every loaded row may have changed.
    void pickedReset();

    const TRow &rowValues(int row) const { return m_rows.at(row).values; }
    QString key(int row) const { return m_rows.at(row).key; }
    QList<TField *> columns() const { return m_columns; }
    TQueryDataset *dataset() const { return m_dataset; }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    bool canFetchMore(const QModelIndex &parent) const override;
    void fetchMore(const QModelIndex &parent) override;

    // A key as compared and stored: the text of the value without the trailing blanks of a
    // padded CHAR column.
    static QString keyText(const QVariant &value);
    static QString keyText(const QString &value);

private:
    struct Row
    {
        TRow values;
        QStringList texts; // display texts of the visible fields
        QString key;
    };
    // Reads the page after the last loaded row; raises on a database failure.
    QList<Row> readPage(const TRow *after) const;

    QPointer<TQueryDataset> m_dataset;
    QList<TField *> m_columns;
    QList<int> m_columnIndexes; // positions of the visible fields in a row
    int m_keyIndex = -1;
    QString m_filter;
    QList<Row> m_rows;
    bool m_atEnd = true;
    PickSet *m_picked = nullptr;
    std::function<void()> m_onPickedChange;
};
