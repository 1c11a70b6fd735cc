#pragma once

#include "components_global.h"

#include <QString>

class TQueryDataset;

// Answers the pick list in place of its dialog, for runs without a window. While a responder
// is alive, PesquisaLista asks it (the latest one) and shows no dialog. One at a time, on the
// user-interface thread.
class COMPONENTS_EXPORT PickResponder
{
public:
    PickResponder(const PickResponder &) = delete;
    PickResponder &operator=(const PickResponder &) = delete;

    // The responder alive, or null.
    static PickResponder *installed();

    // Called with the list's query open: writes the pick into list as the dialog's OK would,
    // or leaves it as it came.
    virtual void answer(TQueryDataset *dataset, const QString &keyField, const QString &title,
                        QString &list) = 0;

protected:
    PickResponder();
    virtual ~PickResponder();

private:
    PickResponder *m_previous;
};
