#include "btnpesquisa.h"

#include "errors.h"
#include "lookupdialog.h"

#include <QCoreApplication>
#include <QKeyEvent>

TBtnPesquisa::TBtnPesquisa(QWidget *parent)
    : TButtonFlat(parent)
{
    setToolTip(QCoreApplication::translate("TBtnPesquisa",
                                           "Pesquisar (F2 ou Alt+Seta para baixo no campo)"));
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
                QCoreApplication::translate("TBtnPesquisa", "%1: componente '%2' não encontrado.")
                    .arg(objectName(), name));
        return object;
    };
    if (QObject *object = resolve(m_associateName)) {
        m_associate = qobject_cast<QWidget *>(object);
        if (!m_associate)
            throw EAppError(
                QCoreApplication::translate("TBtnPesquisa", "%1: '%2' não é um controle.")
                    .arg(objectName(), m_associateName));
        // F2 or Alt+Down in the edit opens the search.
        for (QWidget *w = m_associate; w; w = w->focusProxy())
            w->installEventFilter(this);
    }
    if (QObject *object = resolve(m_dataSourceName)) {
        m_dataSource = qobject_cast<TDataSource *>(object);
        if (!m_dataSource)
            throw EAppError(
                QCoreApplication::translate("TBtnPesquisa", "%1: '%2' não é uma fonte de dados.")
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
        throw EAppError(
            QCoreApplication::translate("TBtnPesquisa", "%1: pesquisa sem fonte de dados.")
                .arg(objectName()));
    TADOIBQuery *query = dataset->query();
    query->Open();
    if (query->IsEmpty())
        MensErro(m_emptyError.isEmpty()
                     ? QCoreApplication::translate("TBtnPesquisa", "Nenhum registro encontrado.")
                     : m_emptyError,
                 true);

    LookupDialog dialog(LookupDialog::Mode::Single, dataset, QString(), m_title, {}, window());
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
