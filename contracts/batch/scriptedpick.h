#pragma once

#include "batch_global.h"
#include "pickresponder.h"

#include <QString>
#include <QStringList>

// The user's pick in a run without a window: the given keys, after checking that the key field
// of the list's data holds each of them (a missing key is refused with a message naming it,
// and the list stays as it came). Records the title and the keys the list held when asked.
class BATCH_EXPORT ScriptedPick final : public PickResponder
{
public:
    explicit ScriptedPick(QStringList keys);

    // How many times the pick list asked, and what it held the last time.
    int calls() const { return m_calls; }
    QString title() const { return m_title; }
    QStringList receivedKeys() const { return m_received; }

    void answer(TQueryDataset *dataset, const QString &keyField, const QString &title,
                QString &list) override;

private:
    QStringList m_keys;
    int m_calls = 0;
    QString m_title;
    QStringList m_received;
};
