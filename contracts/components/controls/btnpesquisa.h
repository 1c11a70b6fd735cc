#pragma once

#include "controls.h"
#include "dataset.h"

#include <QPointer>

// Search button: opens a single-pick list over its data source and, after a pick, leaves the
// dataset on the picked row. Never takes the focus.
class COMPONENTS_EXPORT TBtnPesquisa : public TButtonFlat
{
    Q_OBJECT
    Q_PROPERTY(QString Associate READ associateName WRITE setAssociateName)
    Q_PROPERTY(QString Title READ Title WRITE setTitle)
    Q_PROPERTY(QString DataSource READ dataSourceName WRITE setDataSourceName)
    Q_PROPERTY(QString EmptyError READ EmptyError WRITE setEmptyError)
public:
    explicit TBtnPesquisa(QWidget *parent = nullptr);

    TBeforePesqEvent OnBeforePesq;
    TNotifyEvent OnAfterPesq;
    QStringList eventNames() const override;
    BindResult bindEvent(const QString &event, const std::any &handler) override;
    void resolveReferences(const ComponentLookup &lookup) override;

    QString associateName() const { return m_associateName; }
    void setAssociateName(const QString &n) { m_associateName = n; }
    QWidget *Associate() const { return m_associate; }
    QString Title() const { return m_title; }
    void setTitle(const QString &t) { m_title = t; }
    QString dataSourceName() const { return m_dataSourceName; }
    void setDataSourceName(const QString &n) { m_dataSourceName = n; }
    TDataSource *DataSource() const { return m_dataSource; }
    void setDataSource(TDataSource *ds) { m_dataSource = ds; }
    QString EmptyError() const { return m_emptyError; }
    void setEmptyError(const QString &e) { m_emptyError = e; }

    // The whole search: OnBeforePesq (its flag false cancels), open the query, EmptyError when
    // it has no row, the dialog, and OnAfterPesq after a pick; then the focus goes to the
    // Associate. Raises like a handler. The click runs it inside the event boundary.
    //
    // The dialog is the QDialog "PesquisaDialog" titled Title, with the children "filterEdit"
    // (QLineEdit "Filtrar:", served by the database after a short pause), "resultView"
    // (QTableView: the visible fields as columns, read a page at a time as it scrolls),
    // "okButton" ("OK") and "cancelButton" ("Cancelar"). Up/Down in the filter move in the
    // list; Enter or a double click picks the current row; Esc cancels.
    void Pesquisar();

protected:
    // F2 or Alt+Down in the Associate opens the search, as a click does.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QString m_associateName;
    QPointer<QWidget> m_associate;
    QString m_title;
    QString m_dataSourceName;
    QPointer<TDataSource> m_dataSource;
    QString m_emptyError;
};
