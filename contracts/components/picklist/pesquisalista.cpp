#include "pesquisalista.h"

#include "errors.h"
#include "pagedrowsmodel.h"

#include <QApplication>
#include <QDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QJsonArray>
#include <QJsonDocument>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include <optional>

// ---------------------------------------------------------------------------------------------
// The pick-list string

QString pickListToString(const QStringList &keys)
{
    if (keys.isEmpty())
        return {};
    QJsonArray array;
    for (const QString &key : keys)
        array.append(key);
    return QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Compact));
}

namespace {

// The keys of a well-formed pick-list string; nothing for the empty text or a malformed one.
std::optional<QStringList> parsePickList(const QString &list)
{
    if (list.isEmpty())
        return QStringList();
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(list.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !doc.isArray())
        return std::nullopt;
    const QJsonArray array = doc.array();
    if (array.isEmpty())
        return std::nullopt; // nothing picked is the empty text, never "[]"
    QStringList keys;
    keys.reserve(array.size());
    for (const QJsonValue &value : array) {
        if (!value.isString())
            return std::nullopt;
        keys << value.toString();
    }
    return keys;
}

} // namespace

QStringList pickListKeys(const QString &list)
{
    return parsePickList(list).value_or(QStringList());
}

bool isPickListString(const QString &list)
{
    return parsePickList(list).has_value();
}

// ---------------------------------------------------------------------------------------------
// The multi-choice dialog

namespace {

const int kFilterDelayMs = 300;

// Restores the cursor however the busy section ends.
struct BusyCursor
{
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor &) = delete;
    BusyCursor &operator=(const BusyCursor &) = delete;
};

// Checks are held as a set of keys, never per row, so marking a million rows costs one read
// of the key column and the list shows only the rows scrolled to. OK hands back the keys in the
// order they were picked: those of the incoming string first, in their order, then each pick;
// "Marcar todos" adds the rows in list order.
class PesquisaListaDialog : public QDialog
{
public:
    PesquisaListaDialog(TQueryDataset *dataset, const QString &keyField, const QString &title,
                        const QStringList &picked, QWidget *parent)
        : QDialog(parent)
        , m_dataset(dataset)
        , m_keyField(keyField)
        , m_model(dataset, keyField, this)
    {
        setObjectName(QStringLiteral("PesquisaListaDialog"));
        setWindowTitle(title);
        setModal(true);
        m_picked.reserve(picked.size());
        for (const QString &key : picked)
            m_picked.insert(key);

        auto *filterLabel = new QLabel(QStringLiteral("Filtrar:"), this);
        m_filterEdit = createFilterEdit(this, filterLabel, this);
        m_view = createResultView(this, &m_model, this);
        m_model.setPicked(&m_picked, [this] { updateCount(); });
        m_model.applyColumnWidths(m_view);

        m_countLabel = new QLabel(this);
        m_countLabel->setObjectName(QStringLiteral("countLabel"));
        auto *selectAll = new QPushButton(QStringLiteral("Marcar todos"), this);
        selectAll->setObjectName(QStringLiteral("selectAllButton"));
        selectAll->setAutoDefault(false);
        auto *selectNone = new QPushButton(QStringLiteral("Desmarcar todos"), this);
        selectNone->setObjectName(QStringLiteral("selectNoneButton"));
        selectNone->setAutoDefault(false);
        auto *ok = new QPushButton(QStringLiteral("OK"), this);
        ok->setObjectName(QStringLiteral("okButton"));
        ok->setDefault(true);
        auto *cancel = new QPushButton(QStringLiteral("Cancelar"), this);
        cancel->setObjectName(QStringLiteral("cancelButton"));
        cancel->setAutoDefault(false);

        auto *filterRow = new QHBoxLayout;
        filterRow->addWidget(filterLabel);
        filterRow->addWidget(m_filterEdit, 1);
        auto *buttons = new QHBoxLayout;
        buttons->addWidget(selectAll);
        buttons->addWidget(selectNone);
        buttons->addWidget(m_countLabel, 1);
        buttons->addWidget(ok);
        buttons->addWidget(cancel);
        auto *layout = new QVBoxLayout(this);
        layout->addLayout(filterRow);
        layout->addWidget(m_view, 1);
        layout->addLayout(buttons);

        int width = 0;
        for (int c = 0; c < m_model.columnCount(); ++c)
            width += m_view->columnWidth(c);
        resize(qBound(480, width + 80, 900), 460);

        m_filterTimer.setSingleShot(true);
        m_filterTimer.setInterval(kFilterDelayMs);
        connect(&m_filterTimer, &QTimer::timeout, this, [this] { applyFilter(); });
        connect(m_filterEdit, &QLineEdit::textChanged, this, [this] { m_filterTimer.start(); });
        connect(selectAll, &QPushButton::clicked, this,
                [this] { guarded([this] { markFiltered(true); }); });
        connect(selectNone, &QPushButton::clicked, this,
                [this] { guarded([this] { markFiltered(false); }); });
        connect(ok, &QPushButton::clicked, this, &QDialog::accept);
        connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
        connect(&m_model, &QAbstractItemModel::modelReset, this, [this] {
            if (m_model.rowCount() > 0)
                m_view->setCurrentIndex(m_model.index(0, 0));
        });
        // Names of the rows shown, so the pick can be named after the dialog is gone.
        auto noteNames = [this](int first, int last) {
            int nameColumn = -1;
            const QList<TField *> columns = m_model.columns();
            for (int c = 0; c < columns.size() && nameColumn < 0; ++c)
                if (columns.at(c)->FieldName().startsWith(QLatin1String("NM"), Qt::CaseInsensitive))
                    nameColumn = c;
            for (int c = 0; c < columns.size() && nameColumn < 0; ++c)
                if (columns.at(c)->FieldName().compare(m_keyField, Qt::CaseInsensitive) != 0)
                    nameColumn = c;
            if (nameColumn < 0)
                return;
            for (int r = first; r <= last && r < m_model.rowCount(); ++r)
                m_seenNames.insert(
                    m_model.key(r),
                    m_model.data(m_model.index(r, nameColumn), Qt::DisplayRole).toString());
        };
        connect(&m_model, &QAbstractItemModel::rowsInserted, this,
                [noteNames](const QModelIndex &, int first, int last) { noteNames(first, last); });
        connect(&m_model, &QAbstractItemModel::modelReset, this,
                [this, noteNames] { noteNames(0, m_model.rowCount() - 1); });
        updateCount();
        m_filterEdit->setFocus();
    }

    // Reads the first page; raises on a database failure (before the dialog shows).
    void load() { m_model.setFilter(QString()); }

    QStringList pickedKeys() const { return m_picked.keys(); }
    // The names of the rows the list showed, by key.
    const QHash<QString, QString> &seenNames() const { return m_seenNames; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::KeyPress)
            return QDialog::eventFilter(watched, event);
        auto *key = static_cast<QKeyEvent *>(event);
        if (watched == m_filterEdit) {
            switch (key->key()) {
            case Qt::Key_Return:
            case Qt::Key_Enter:
                // Enter in the filter box filters at once instead of closing the dialog.
                applyFilter();
                return true;
            case Qt::Key_Up:
            case Qt::Key_Down:
            case Qt::Key_PageUp:
            case Qt::Key_PageDown: {
                QKeyEvent copy(key->type(), key->key(), key->modifiers(), key->text());
                QCoreApplication::sendEvent(m_view, &copy);
                return true;
            }
            default:
                break;
            }
        } else if (watched == m_view && key->key() == Qt::Key_Space) {
            // Space checks or unchecks the current row, whichever column is current.
            m_model.toggle(m_view->currentIndex().row());
            return true;
        }
        return QDialog::eventFilter(watched, event);
    }

private:
    void applyFilter()
    {
        m_filterTimer.stop();
        if (m_model.filter() == m_filterEdit->text())
            return;
        guarded([this] { m_model.setFilter(m_filterEdit->text()); });
    }

    // Marks or unmarks every row under the current filter (all rows without one). Unmarking
    // without a filter also drops picked keys that no row shows any more.
    void markFiltered(bool mark)
    {
        if (m_filterTimer.isActive())
            applyFilter();
        const QString filter = m_model.filter();
        if (!mark && filter.isEmpty()) {
            m_picked.clear();
        } else {
            BusyCursor busy;
            // The column's texts are keys as the rows give them (trailing blanks trimmed).
            const QStringList keys = m_dataset->fetchColumn(m_keyField, filter);
            if (mark) {
                m_picked.reserve(m_picked.size() + keys.size());
                for (const QString &key : keys)
                    m_picked.insert(key);
            } else {
                for (const QString &key : keys)
                    m_picked.remove(key);
            }
        }
        m_model.pickedReset();
        updateCount();
    }

    void updateCount()
    {
        const qsizetype n = m_picked.size();
        m_countLabel->setText(n == 1 ? QStringLiteral("1 selecionado")
                                     : QStringLiteral("%1 selecionados").arg(n));
    }

    TQueryDataset *m_dataset;
    QString m_keyField;
    QHash<QString, QString> m_seenNames;
    PickSet m_picked;
    PagedRowsModel m_model;
    QLineEdit *m_filterEdit;
    QTableView *m_view;
    QLabel *m_countLabel;
    QTimer m_filterTimer;
};

} // namespace

// Names of the pick-list strings written in this run, by string.
static QHash<QString, QStringList> &pickNames()
{
    static QHash<QString, QStringList> names;
    return names;
}

void PesquisaLista(TDataSource *dataSource, const QString &keyField, const QString &title,
                   bool flag, QString &list)
{
    Q_UNUSED(flag) // reserved: the screens always pass false
    TQueryDataset *dataset = dataSource ? dataSource->DataSet() : nullptr;
    if (!dataset || !dataset->query())
        throw EAppError(QStringLiteral("Lista de pesquisa sem fonte de dados."));
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

    PesquisaListaDialog dialog(dataset, keyField, title, pickListKeys(list),
                               QApplication::activeWindow());
    dialog.load();
    if (dialog.exec() != QDialog::Accepted)
        return;
    // Written in one step, only once the new string is complete.
    const QStringList keys = dialog.pickedKeys();
    QString picked = pickListToString(keys);
    QStringList names;
    const QStringList earlier = pickListNames(list);
    const QStringList earlierKeys = pickListKeys(list);
    for (const QString &key : keys) {
        QString name = dialog.seenNames().value(key);
        if (name.isEmpty() && earlierKeys.indexOf(key) >= 0 &&
            earlierKeys.indexOf(key) < earlier.size())
            name = earlier.at(earlierKeys.indexOf(key));
        names << (name.isEmpty() ? key : name);
    }
    pickNames().insert(picked, names);
    list = picked;
}

QStringList pickListNames(const QString &list)
{
    return pickNames().value(list);
}

QString pickCountText(qsizetype count)
{
    return count == 1 ? QStringLiteral("1 selecionado")
                      : QStringLiteral("%1 selecionados").arg(count);
}

QString pickSummaryText(const QString &list, int limit, const QString &separator)
{
    const qsizetype count = pickListKeys(list).size();
    if (count == 0)
        return {};
    const QStringList names = pickListNames(list);
    if (names.size() != count)
        return pickCountText(count);
    QStringList shown = names.mid(0, limit);
    QString text = shown.join(separator);
    if (count > limit)
        text += separator + QStringLiteral("e mais %1").arg(count - limit);
    return text;
}

void showPickSummary(QWidget *listButton, QAbstractButton *listRadio, const QString &list)
{
    if (!listButton || !listRadio || !listButton->parentWidget())
        return;
    const QString labelName = listButton->objectName() + QStringLiteral("Count");
    auto *label = listButton->parentWidget()->findChild<QLabel *>(labelName);
    if (!label) {
        label = new QLabel(listButton->parentWidget());
        label->setObjectName(labelName);
        QFont small = label->font();
        small.setPointSizeF(small.pointSizeF() * 0.9);
        label->setFont(small);
        QPointer<QLabel> guard = label;
        QObject::connect(listRadio, &QAbstractButton::toggled, label, [guard, listRadio] {
            if (guard)
                guard->setVisible(listRadio->isChecked() && !guard->text().isEmpty());
        });
    }
    const qsizetype count = pickListKeys(list).size();
    label->setText(count > 0 ? pickCountText(count) : QString());
    label->adjustSize();
    // Beside the button, on the side with room for it inside the group (between the radio's
    // caption and the button, as a rule).
    const QRect button = listButton->geometry();
    const int y = button.center().y() - label->height() / 2;
    if (button.right() + 4 + label->width() <= listButton->parentWidget()->width())
        label->move(button.right() + 4, y);
    else
        label->move(qMax(0, button.left() - 4 - label->width()), y);
    label->setVisible(listRadio->isChecked() && count > 0);
    const QString names = pickSummaryText(list, 10, QStringLiteral("\n"));
    listButton->setToolTip(names.isEmpty() ? QStringLiteral("Escolher a lista (F9)")
                                           : QStringLiteral("Selecionados:\n") + names);
    label->setToolTip(listButton->toolTip());
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
            MensErro(QStringLiteral("%1: chave '%2' não encontrada.").arg(title, key), true);

    // Ordered as the dialog orders its pick: in the order picked, each key once.
    PickSet picked;
    for (const QString &key : std::as_const(m_keys))
        picked.insert(key);
    list = pickListToString(picked.keys());
}
