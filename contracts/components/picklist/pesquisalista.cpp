#include "pesquisalista.h"

#include "errors.h"
#include "lookupdialog.h"
#include "pagedrowsmodel.h"
#include "pickresponder.h"

#include <QApplication>
#include <QCoreApplication>
#include <QLabel>
#include <QPointer>
#include <QSet>

// ---------------------------------------------------------------------------------------------
// The multi-choice pick list

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
        throw EAppError(
            QCoreApplication::translate("PesquisaLista", "Lista de pesquisa sem fonte de dados."));
    TADOIBQuery *query = dataset->query();
    query->Open();

    if (PickResponder *responder = PickResponder::installed()) {
        responder->answer(dataset, keyField, title, list);
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

    LookupDialog dialog(LookupDialog::Mode::Multiple, dataset, keyField, title, pickListKeys(list),
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
    return count == 1 ? QCoreApplication::translate("PesquisaLista", "1 selecionado")
                      : QCoreApplication::translate("PesquisaLista", "%1 selecionados").arg(count);
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
        text += separator +
                QCoreApplication::translate("PesquisaLista", "e mais %1").arg(count - limit);
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
    listButton->setToolTip(
        names.isEmpty() ? QCoreApplication::translate("PesquisaLista", "Escolher a lista (F9)")
                        : QCoreApplication::translate("PesquisaLista", "Selecionados:") +
                              QLatin1Char('\n') + names);
    label->setToolTip(listButton->toolTip());
}
