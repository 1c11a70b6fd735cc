#include "btnpesquisa.h"

#include "errors.h"
#include "pagedrowsmodel.h"

#include <QApplication>
#include <QDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

namespace {

const int kFilterDelayMs = 300;

// The single-pick list of a search: the rows of the dataset, a filter box served by the
// database, Enter or a double click picks the current row, Esc cancels.
class PesquisaDialog : public QDialog
{
public:
    PesquisaDialog(TQueryDataset *dataset, const QString &title, QWidget *parent)
        : QDialog(parent)
        , m_model(dataset, QString(), this)
    {
        setObjectName(QStringLiteral("PesquisaDialog"));
        setWindowTitle(title.isEmpty() ? QStringLiteral("Pesquisar") : title);
        setModal(true);

        auto *filterLabel = new QLabel(QStringLiteral("Filtrar:"), this);
        m_filterEdit = createFilterEdit(this, filterLabel, this);
        m_view = createResultView(this, &m_model, this);
        m_model.applyColumnWidths(m_view);

        m_okButton = new QPushButton(QStringLiteral("OK"), this);
        m_okButton->setObjectName(QStringLiteral("okButton"));
        m_okButton->setAutoDefault(false);
        auto *cancelButton = new QPushButton(QStringLiteral("Cancelar"), this);
        cancelButton->setObjectName(QStringLiteral("cancelButton"));
        cancelButton->setAutoDefault(false);

        auto *filterRow = new QHBoxLayout;
        filterRow->addWidget(filterLabel);
        filterRow->addWidget(m_filterEdit, 1);
        auto *buttons = new QHBoxLayout;
        buttons->addStretch(1);
        buttons->addWidget(m_okButton);
        buttons->addWidget(cancelButton);
        auto *layout = new QVBoxLayout(this);
        layout->addLayout(filterRow);
        layout->addWidget(m_view, 1);
        layout->addLayout(buttons);

        int width = 0;
        for (int c = 0; c < m_model.columnCount(); ++c)
            width += m_view->columnWidth(c);
        resize(qBound(360, width + 80, 900), 420);

        m_filterTimer.setSingleShot(true);
        m_filterTimer.setInterval(kFilterDelayMs);
        connect(&m_filterTimer, &QTimer::timeout, this, [this] { applyFilter(); });
        connect(m_filterEdit, &QLineEdit::textChanged, this, [this] { m_filterTimer.start(); });
        connect(m_view, &QAbstractItemView::doubleClicked, this, [this] { pick(); });
        connect(m_okButton, &QPushButton::clicked, this, [this] { pick(); });
        connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
        connect(&m_model, &QAbstractItemModel::modelReset, this, [this] { selectFirstRow(); });
        m_filterEdit->setFocus();
    }

    // Reads the first page; raises on a database failure (before the dialog shows).
    void load()
    {
        m_model.setFilter(QString());
        selectFirstRow();
    }

    bool hasPick() const { return m_picked; }
    TRow pickedRow() const { return m_pickedRow; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::KeyPress)
            return QDialog::eventFilter(watched, event);
        auto *key = static_cast<QKeyEvent *>(event);
        switch (key->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            pick();
            return true;
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
        default:
            break;
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

    void selectFirstRow()
    {
        if (m_model.rowCount() > 0)
            m_view->setCurrentIndex(m_model.index(0, 0));
    }

    void pick()
    {
        if (m_filterTimer.isActive())
            applyFilter(); // a filter typed just before Enter applies first
        QModelIndex current = m_view->currentIndex();
        if (!current.isValid() && m_model.rowCount() > 0)
            current = m_model.index(0, 0);
        if (!current.isValid())
            return; // nothing to pick under this filter
        m_pickedRow = m_model.rowValues(current.row());
        m_picked = true;
        accept();
    }

    PagedRowsModel m_model;
    QLineEdit *m_filterEdit;
    QTableView *m_view;
    QPushButton *m_okButton;
    QTimer m_filterTimer;
    bool m_picked = false;
    TRow m_pickedRow;
};

} // namespace

TBtnPesquisa::TBtnPesquisa(QWidget *parent)
    : TButtonFlat(parent)
{
    setToolTip(QStringLiteral("Pesquisar (F2 ou Alt+Seta para baixo no campo)"));
    setGlyph(QStringLiteral(":/components/images/search.png"));
    setNumGlyphs(2);
    // The click is a boundary between Qt and the search: nothing may unwind through it.
    connect(this, &QAbstractButton::clicked, this, [this] { guarded([this] { Pesquisar(); }); });
}

QStringList TBtnPesquisa::eventNames() const
{
    return TButtonFlat::eventNames()
           << QStringLiteral("OnBeforePesq") << QStringLiteral("OnAfterPesq");
}

TEventSource::BindResult TBtnPesquisa::bindEvent(const QString &event, const std::any &handler)
{
    if (event == QLatin1String("OnBeforePesq"))
        return assign(OnBeforePesq, handler);
    if (event == QLatin1String("OnAfterPesq"))
        return assign(OnAfterPesq, handler);
    return TButtonFlat::bindEvent(event, handler);
}

void TBtnPesquisa::resolveReferences(const ComponentLookup &lookup)
{
    auto resolve = [&](const QString &name) -> QObject * {
        if (name.isEmpty())
            return nullptr;
        QObject *object = lookup(name);
        if (!object)
            throw EAppError(
                QStringLiteral("%1: componente '%2' não encontrado.").arg(objectName(), name));
        return object;
    };
    if (QObject *object = resolve(m_associateName)) {
        m_associate = qobject_cast<QWidget *>(object);
        if (!m_associate)
            throw EAppError(
                QStringLiteral("%1: '%2' não é um controle.").arg(objectName(), m_associateName));
        // F2 or Alt+Down in the edit opens the search.
        for (QWidget *w = m_associate; w; w = w->focusProxy())
            w->installEventFilter(this);
    }
    if (QObject *object = resolve(m_dataSourceName)) {
        m_dataSource = qobject_cast<TDataSource *>(object);
        if (!m_dataSource)
            throw EAppError(QStringLiteral("%1: '%2' não é uma fonte de dados.")
                                .arg(objectName(), m_dataSourceName));
    }
}

bool TBtnPesquisa::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress && isEnabled() && isVisible()) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if ((key->key() == Qt::Key_F2 && key->modifiers() == Qt::NoModifier) ||
            (key->key() == Qt::Key_Down && key->modifiers() == Qt::AltModifier)) {
            click();
            return true;
        }
    }
    return TButtonFlat::eventFilter(watched, event);
}

void TBtnPesquisa::Pesquisar()
{
    bool proceed = true;
    if (OnBeforePesq)
        OnBeforePesq(this, proceed);
    if (!proceed)
        return;

    TQueryDataset *dataset = m_dataSource ? m_dataSource->DataSet() : nullptr;
    if (!dataset || !dataset->query())
        throw EAppError(QStringLiteral("%1: pesquisa sem fonte de dados.").arg(objectName()));
    TADOIBQuery *query = dataset->query();
    query->Open();
    if (query->IsEmpty())
        MensErro(m_emptyError.isEmpty() ? QStringLiteral("Nenhum registro encontrado.")
                                        : m_emptyError,
                 true);

    PesquisaDialog dialog(dataset, m_title, window());
    dialog.load();
    dialog.exec();
    if (!dialog.hasPick())
        return;
    dataset->setCurrentRow(dialog.pickedRow());
    if (OnAfterPesq)
        OnAfterPesq(this);
    // The user goes on in the edit the search belongs to.
    if (auto *control = dynamic_cast<TWinControl *>(m_associate.data()))
        control->SetFocus();
    else if (m_associate)
        m_associate->setFocus(Qt::OtherFocusReason);
}
