#include "lookupdialog.h"

#include "busycursor.h"
#include "errors.h"

#include <QCoreApplication>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace {

const int kFilterDelayMs = 300;

QPushButton *makeButton(const QString &text, const char *name, QWidget *parent)
{
    auto *button = new QPushButton(text, parent);
    button->setObjectName(QLatin1String(name));
    button->setAutoDefault(false);
    return button;
}

} // namespace

LookupDialog::LookupDialog(Mode mode, TQueryDataset *dataset, const QString &keyField,
                           const QString &title, const QStringList &picked, QWidget *parent)
    : QDialog(parent)
    , m_mode(mode)
    , m_dataset(dataset)
    , m_keyField(mode == Mode::Multiple ? keyField : QString())
    , m_model(dataset, m_keyField, this)
{
    const bool multiple = mode == Mode::Multiple;
    setObjectName(multiple ? QStringLiteral("PesquisaListaDialog")
                           : QStringLiteral("PesquisaDialog"));
    setWindowTitle(title.isEmpty() && !multiple
                       ? QCoreApplication::translate("LookupDialog", "Pesquisar")
                       : title);
    setModal(true);

    auto *filterLabel = new QLabel(QCoreApplication::translate("LookupDialog", "Filtrar:"), this);
    m_filterEdit = new QLineEdit(this);
    m_filterEdit->setObjectName(QStringLiteral("filterEdit"));
    m_filterEdit->setClearButtonEnabled(true);
    filterLabel->setBuddy(m_filterEdit);
    m_filterEdit->installEventFilter(this);

    m_view = new QTableView(this);
    m_view->setObjectName(QStringLiteral("resultView"));
    m_view->setModel(&m_model);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setSelectionMode(QAbstractItemView::SingleSelection);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->setAlternatingRowColors(true);
    m_view->verticalHeader()->hide();
    m_view->verticalHeader()->setDefaultSectionSize(m_view->fontMetrics().height() + 6);
    m_view->installEventFilter(this);

    auto *buttons = new QHBoxLayout;
    if (multiple) {
        // Checks are held as a set of keys, never per row, so marking a million rows costs one
        // read of the key column and the list shows only the rows scrolled to.
        m_picked.reserve(picked.size());
        for (const QString &key : picked)
            m_picked.insert(key);
        m_model.setPicked(&m_picked, [this] { updateCount(); });

        m_countLabel = new QLabel(this);
        m_countLabel->setObjectName(QStringLiteral("countLabel"));
        auto *selectAll = makeButton(QCoreApplication::translate("LookupDialog", "Marcar todos"),
                                     "selectAllButton", this);
        auto *selectNone =
            makeButton(QCoreApplication::translate("LookupDialog", "Desmarcar todos"),
                       "selectNoneButton", this);
        auto *ok = makeButton(QCoreApplication::translate("LookupDialog", "OK"), "okButton", this);
        ok->setAutoDefault(true);
        ok->setDefault(true);
        auto *cancel = makeButton(QCoreApplication::translate("LookupDialog", "Cancelar"),
                                  "cancelButton", this);
        buttons->addWidget(selectAll);
        buttons->addWidget(selectNone);
        buttons->addWidget(m_countLabel, 1);
        buttons->addWidget(ok);
        buttons->addWidget(cancel);
        connect(selectAll, &QPushButton::clicked, this,
                [this] { guarded([this] { markFiltered(true); }); });
        connect(selectNone, &QPushButton::clicked, this,
                [this] { guarded([this] { markFiltered(false); }); });
        connect(ok, &QPushButton::clicked, this, &QDialog::accept);
        connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
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
    } else {
        auto *ok = makeButton(QCoreApplication::translate("LookupDialog", "OK"), "okButton", this);
        auto *cancel = makeButton(QCoreApplication::translate("LookupDialog", "Cancelar"),
                                  "cancelButton", this);
        buttons->addStretch(1);
        buttons->addWidget(ok);
        buttons->addWidget(cancel);
        connect(m_view, &QAbstractItemView::doubleClicked, this, [this] { pick(); });
        connect(ok, &QPushButton::clicked, this, [this] { pick(); });
        connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    }
    applyColumnWidths();

    auto *filterRow = new QHBoxLayout;
    filterRow->addWidget(filterLabel);
    filterRow->addWidget(m_filterEdit, 1);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(filterRow);
    layout->addWidget(m_view, 1);
    layout->addLayout(buttons);

    int width = 0;
    for (int c = 0; c < m_model.columnCount(); ++c)
        width += m_view->columnWidth(c);
    if (multiple)
        resize(qBound(480, width + 80, 900), 460);
    else
        resize(qBound(360, width + 80, 900), 420);

    m_filterTimer.setSingleShot(true);
    m_filterTimer.setInterval(kFilterDelayMs);
    connect(&m_filterTimer, &QTimer::timeout, this, [this] { applyFilter(); });
    connect(m_filterEdit, &QLineEdit::textChanged, this, [this] { m_filterTimer.start(); });
    connect(&m_model, &QAbstractItemModel::modelReset, this, [this] { selectFirstRow(); });
    m_filterEdit->setFocus();
}

void LookupDialog::load()
{
    m_model.setFilter(QString());
    selectFirstRow();
}

bool LookupDialog::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return QDialog::eventFilter(watched, event);
    auto *key = static_cast<QKeyEvent *>(event);
    switch (key->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (m_mode == Mode::Single) {
            pick();
            return true;
        }
        if (watched == m_filterEdit) {
            // Enter in the filter box filters at once instead of closing the dialog.
            applyFilter();
            return true;
        }
        break;
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        // The filter box steers the list, so the user can type and choose without the mouse.
        if (watched == m_filterEdit) {
            QKeyEvent copy(key->type(), key->key(), key->modifiers(), key->text());
            QCoreApplication::sendEvent(m_view, &copy);
            return true;
        }
        break;
    case Qt::Key_Space:
        if (m_mode == Mode::Multiple && watched == m_view) {
            // Space checks or unchecks the current row, whichever column is current.
            m_model.toggle(m_view->currentIndex().row());
            return true;
        }
        break;
    default:
        break;
    }
    return QDialog::eventFilter(watched, event);
}

void LookupDialog::applyColumnWidths()
{
    // The fields' display widths in characters of the view's font.
    const QFontMetrics fm(m_view->font());
    const int charWidth = fm.horizontalAdvance(QLatin1Char('0'));
    const QList<TField *> columns = m_model.columns();
    for (int c = 0; c < columns.size(); ++c) {
        const int chars = qBound(4, columns.at(c)->DisplayWidth(), 60);
        int width = chars * charWidth + 12;
        if (m_mode == Mode::Multiple && c == 0)
            width += 24; // room for the check box
        // Never narrower than the column's heading (its text, margins and sort arrow).
        const QFontMetrics headingMetrics(m_view->horizontalHeader()->font());
        const QString heading = m_model.headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
        width = qMax(width, headingMetrics.horizontalAdvance(heading) + 24);
        m_view->setColumnWidth(c, width);
    }
    if (!columns.isEmpty())
        m_view->horizontalHeader()->setStretchLastSection(true);
}

void LookupDialog::applyFilter()
{
    m_filterTimer.stop();
    if (m_model.filter() == m_filterEdit->text())
        return;
    guarded([this] { m_model.setFilter(m_filterEdit->text()); });
}

void LookupDialog::selectFirstRow()
{
    if (m_model.rowCount() > 0)
        m_view->setCurrentIndex(m_model.index(0, 0));
}

void LookupDialog::pick()
{
    if (m_filterTimer.isActive())
        applyFilter(); // a filter typed just before Enter applies first
    QModelIndex current = m_view->currentIndex();
    if (!current.isValid() && m_model.rowCount() > 0)
        current = m_model.index(0, 0);
    if (!current.isValid())
        return; // nothing to pick under this filter
    m_pickedRow = m_model.rowValues(current.row());
    m_hasPick = true;
    accept();
}

// Marks or unmarks every row under the current filter (all rows without one). Unmarking
// without a filter also drops picked keys that no row shows any more.
void LookupDialog::markFiltered(bool mark)
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

void LookupDialog::updateCount()
{
    const qsizetype n = m_picked.size();
    m_countLabel->setText(
        n == 1 ? QCoreApplication::translate("LookupDialog", "1 selecionado")
               : QCoreApplication::translate("LookupDialog", "%1 selecionados").arg(n));
}
