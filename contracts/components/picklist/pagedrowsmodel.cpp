#include "pagedrowsmodel.h"

#include "errors.h"

#include <QCoreApplication>

// Positions are stored plus one, so a fresh entry of operator[] (0) means "not picked" and a
// pick costs one hash lookup.
void PickSet::insert(const QString &key)
{
    qsizetype &position = m_position[key];
    if (position)
        return;
    m_order.append(key);
    position = m_order.size();
}

void PickSet::remove(const QString &key)
{
    if (!m_position.remove(key))
        return;
    if (m_order.size() > 2 * m_position.size() + 1024) {
        const QStringList live = keys();
        m_order = live;
        for (qsizetype i = 0; i < live.size(); ++i)
            m_position[live.at(i)] = i + 1;
    }
}

void PickSet::clear()
{
    m_position.clear();
    m_order.clear();
}

void PickSet::reserve(qsizetype n)
{
    m_position.reserve(n);
    m_order.reserve(n);
}

QStringList PickSet::keys() const
{
    if (m_order.size() == m_position.size())
        return m_order; // nothing was unpicked: every entry is live
    QStringList live;
    live.reserve(m_position.size());
    for (qsizetype i = 0; i < m_order.size(); ++i) {
        const auto it = m_position.constFind(m_order.at(i));
        if (it != m_position.constEnd() && it.value() == i + 1)
            live.append(m_order.at(i));
    }
    return live;
}

PagedRowsModel::PagedRowsModel(TQueryDataset *dataset, const QString &keyField, QObject *parent)
    : QAbstractTableModel(parent)
    , m_dataset(dataset)
{
    TADOIBQuery *query = dataset->query();
    const QList<TField *> fields = query->Fields();
    for (int i = 0; i < fields.size(); ++i) {
        if (fields.at(i)->Visible()) {
            m_columns << fields.at(i);
            m_columnIndexes << i;
        }
    }
    if (!keyField.isEmpty()) {
        TField *key = query->FindField(keyField);
        if (!key)
            throw EAppError(QCoreApplication::translate("PagedRowsModel",
                                                        "Campo '%1' não encontrado na consulta.")
                                .arg(keyField));
        m_keyIndex = query->fieldIndex(key);
    }
}

QString PagedRowsModel::keyText(const QString &value)
{
    return TField::valueText(value);
}

QString PagedRowsModel::keyText(const QVariant &value)
{
    return TField::valueText(value);
}

QList<PagedRowsModel::Row> PagedRowsModel::readPage(const TRow *after) const
{
    const QList<TRow> page = m_dataset->fetchPage(after, PageSize, m_filter);
    TADOIBQuery *query = m_dataset->query();
    // Display handlers read the fields of the current row, so each row is made current while
    // its texts are taken; the query's own current row is put back afterwards.
    const TRow saved = query->currentRow();
    QList<Row> rows;
    rows.reserve(page.size());
    for (const TRow &values : page) {
        Row row;
        row.values = values;
        m_dataset->setCurrentRow(values);
        for (int c = 0; c < m_columns.size(); ++c) {
            const int i = m_columnIndexes.at(c);
            const QVariant value = i < values.size() ? values.at(i) : QVariant();
            QString text;
            try {
                text = m_columns.at(c)->displayText(value);
            } catch (...) {
                // A failing display handler must not hide the row: show the value itself.
                text = value.toString();
            }
            row.texts << text;
        }
        if (m_keyIndex >= 0 && m_keyIndex < values.size())
            row.key = keyText(values.at(m_keyIndex));
        rows << row;
    }
    m_dataset->setCurrentRow(saved);
    return rows;
}

void PagedRowsModel::setFilter(const QString &text)
{
    m_filter = text;
    QList<Row> rows;
    bool atEnd = true;
    std::exception_ptr failure;
    try {
        rows = readPage(nullptr);
        atEnd = rows.size() < PageSize;
    } catch (...) {
        failure = std::current_exception();
    }
    beginResetModel();
    m_rows = rows;
    m_atEnd = atEnd;
    endResetModel();
    if (failure)
        std::rethrow_exception(failure);
}

void PagedRowsModel::setPicked(PickSet *picked, std::function<void()> onChange)
{
    m_picked = picked;
    m_onPickedChange = std::move(onChange);
    pickedReset();
}

void PagedRowsModel::pickedReset()
{
    if (!m_rows.isEmpty())
        emit dataChanged(index(0, 0), index(int(m_rows.size()) - 1, 0), {Qt::CheckStateRole});
}

void PagedRowsModel::toggle(int row)
{
    if (!m_picked || row < 0 || row >= m_rows.size())
        return;
    const QString &k = m_rows.at(row).key;
    if (m_picked->contains(k))
        m_picked->remove(k);
    else
        m_picked->insert(k);
    emit dataChanged(index(row, 0), index(row, 0), {Qt::CheckStateRole});
    if (m_onPickedChange)
        m_onPickedChange();
}

int PagedRowsModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int PagedRowsModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_columns.size());
}

QVariant PagedRowsModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return {};
    const Row &row = m_rows.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        return row.texts.value(index.column());
    case Qt::CheckStateRole:
        if (m_picked && index.column() == 0)
            return m_picked->contains(row.key) ? Qt::Checked : Qt::Unchecked;
        return {};
    default:
        return {};
    }
}

bool PagedRowsModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!m_picked || role != Qt::CheckStateRole || !index.isValid() || index.column() != 0)
        return false;
    const bool checked = value.toInt() == Qt::Checked;
    if (checked != m_picked->contains(m_rows.at(index.row()).key))
        toggle(index.row());
    return true;
}

Qt::ItemFlags PagedRowsModel::flags(const QModelIndex &index) const
{
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (m_picked && index.isValid() && index.column() == 0)
        f |= Qt::ItemIsUserCheckable;
    return f;
}

QVariant PagedRowsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
        section < m_columns.size())
        return m_columns.at(section)->DisplayLabel();
    return QAbstractTableModel::headerData(section, orientation, role);
}

bool PagedRowsModel::canFetchMore(const QModelIndex &parent) const
{
    return !parent.isValid() && !m_atEnd && !m_rows.isEmpty();
}

void PagedRowsModel::fetchMore(const QModelIndex &parent)
{
    if (!canFetchMore(parent))
        return;
    // Called by the view from the event loop: a failure is reported here and ends the paging.
    QList<Row> rows;
    const TRow last = m_rows.constLast().values;
    if (!guarded([&] { rows = readPage(&last); })) {
        m_atEnd = true;
        return;
    }
    m_atEnd = rows.size() < PageSize;
    if (rows.isEmpty())
        return;
    beginInsertRows({}, int(m_rows.size()), int(m_rows.size() + rows.size()) - 1);
    m_rows << rows;
    endInsertRows();
}
